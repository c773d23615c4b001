#pragma once
// Process-wide switches from the command line: set once in main before any
// other thread starts, read-only afterwards.

namespace orvo {

struct Opt {
  bool textMode = false;  // --text: sentences are printed, not spoken
  bool fast = false;      // diagnostic runs: no waits, no sounds, no files written
};

}  // namespace orvo
