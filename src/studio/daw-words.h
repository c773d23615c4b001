#pragma once
// The studio assistant's vocabulary, as data: the plug-in kinds, the
// parameter words and EQ bands, sizes and directions, and the phrases each
// family of requests listens for. Understanding reads only these tables.

#include <string_view>
#include <vector>

namespace orvo::dawwords {

using Words = std::vector<std::string_view>;

struct FxKind {
  std::string_view label;  // spoken: "compressor", "EQ"
  Words asks;              // words that ask for it
  Words inNames;           // found in the names of plug-ins of this kind
  std::string_view stock;  // REAPER's own
};
const std::vector<FxKind>& fxKinds();

struct ParamWord {
  std::string_view param;  // "threshold", "room size" ...
  Words words;
};
const std::vector<ParamWord>& paramWords();

struct EqBand {
  std::string_view band;  // "low mids" ...
  Words words;
  double lowHz, highHz;  // where its "Freq" parameter sits
};
const std::vector<EqBand>& eqBands();

const Words& smallSizes();  // a nudge of 0.03
const Words& largeSizes();  // 0.12; otherwise 0.06
const Words& upWords();
const Words& downWords();
const Words& trackNoise();  // ignored when track names are compared
const Words& vocalWords();

}  // namespace orvo::dawwords
