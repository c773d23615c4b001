#pragma once
// Running an outside program for its output: the one helper every part that
// runs a tool uses. The time limit runs on the runtime's clock, so tests run
// it on the virtual clock; the program itself runs for real.
//
// Threads: blocks the calling activity until the program ends or the time
// runs out; never on the MIDI thread or with a lock held.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/runtime.h"

namespace orvo {

struct ToolRun {
  bool ok = false;  // started, ended in time, exit status 0
  std::string out;  // its standard output; "could not start" or "timed out" on those failures
};

// Runs `path` with `args`, `input` on its standard input, in `cwd` when given.
// Standard error is read too (an unread pipe would block the program) and
// dropped, unless `withErrors` puts it after the output: for tools that tell
// their failures there. Past the time limit the program is asked to stop
// (SIGTERM), then killed a second later.
ToolRun runTool(Runtime& runtime, const std::string& path, const std::vector<std::string>& args,
                const std::string& input, double timeout = 20.0,
                const std::filesystem::path& cwd = {}, bool withErrors = false);

// A process of exactly this name runs (pgrep, with a 3 s limit).
bool processNamed(Runtime& runtime, const std::string& name);

}  // namespace orvo
