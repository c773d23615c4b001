#include "studio/daw-words.h"

namespace orvo::dawwords {

const std::vector<FxKind>& fxKinds() {
  static const std::vector<FxKind> kinds = {
      {"compressor",
       {"compressor", "compressors", "compression", "compress", "comp"},
       {"comp", "1176", "la-2a", "la2a"},
       "ReaComp"},
      {"EQ", {"eq", "equalizer", "equaliser", "equalization", "eqs"}, {"eq", "pultec"}, "ReaEQ"},
      {"reverb", {"reverb", "reverbs", "verb"}, {"verb", "room", "hall", "plate"}, "ReaVerbate"},
      {"delay", {"delay", "delays", "echo"}, {"delay", "echo"}, "ReaDelay"},
      {"limiter", {"limiter", "limiters"}, {"limit"}, "ReaLimit"},
      {"gate", {"gate", "noise gate"}, {"gate"}, "ReaGate"},
      {"tuner", {"tuner", "autotune", "auto tune", "pitch correction"}, {"tune"}, "ReaTune"},
  };
  return kinds;
}

const std::vector<ParamWord>& paramWords() {
  static const std::vector<ParamWord> words = {
      {"threshold", {"threshold"}},
      {"ratio", {"ratio"}},
      {"attack", {"attack"}},
      {"release", {"release"}},
      {"knee", {"knee"}},
      {"wet", {"wet", "wetter", "wetness"}},
      {"dry", {"dry", "drier"}},
      {"size", {"room size", "size", "bigger", "smaller", "roomier"}},
      {"damping", {"dampening", "damping"}},
      {"width", {"width", "wider", "narrower"}},
      {"low pass", {"low pass", "lowpass"}},
      {"high pass", {"high pass", "highpass", "hipass"}},
      {"feedback", {"feedback"}},
      {"ceiling", {"ceiling"}},
      {"mix", {"mix"}},
      {"gain", {"gain", "output"}},
  };
  return words;
}

const std::vector<EqBand>& eqBands() {
  // Tried in this order: "low mids" before "lows", "high mids" before "highs".
  static const std::vector<EqBand> bands = {
      {"low mids", {"low mids", "low mid", "lower mids", "mud", "boxiness"}, 200, 800},
      {"high mids", {"high mids", "high mid", "upper mids", "presence"}, 2000, 6000},
      {"lows", {"lows", "low end", "bass", "low shelf", "bottom"}, 0, 200},
      {"highs",
       {"highs", "high end", "treble", "air", "high shelf", "top end", "brightness"},
       6000,
       30000},
      {"mids", {"mids", "midrange", "middle"}, 500, 2000},
  };
  return bands;
}

const Words& smallSizes() {
  static const Words words = {"a little", "slightly", "a bit", "a touch", "a tad", "little"};
  return words;
}
const Words& largeSizes() {
  static const Words words = {"a lot", "much", "way", "loads"};
  return words;
}
const Words& upWords() {
  static const Words words = {"raise", "increase", "more",   "up",     "higher",
                              "boost", "louder",   "longer", "bigger", "wetter",
                              "wider", "brighter", "add"};
  return words;
}
const Words& downWords() {
  static const Words words = {"lower",    "decrease", "less",    "down",    "reduce",
                              "cut",      "quieter",  "shorter", "smaller", "drier",
                              "narrower", "darker",   "soften"};
  return words;
}
const Words& trackNoise() {
  static const Words words = {"track", "bus", "the", "a", "my", "of", "and"};
  return words;
}
const Words& vocalWords() {
  static const Words words = {"vocal", "vocals", "voice"};
  return words;
}

}  // namespace orvo::dawwords
