#pragma once
// What travels between the engine and the bridge inside REAPER: numbers
// written and read without the locale, and the shapes of the answers the
// bridge gives (its own header comment says the same).
//
//   fx_params      one "index|name|shown|norm" line per parameter
//   fx_preset      with no choice: the current preset (empty when none),
//                  then the preset names, all separated by "|"
//   peak           the master's peak in decibels, -150 for silence
//   tracks         one "number|label" line per track
//   fx_list, fx_search   one raw plug-in name per line
//   action_search  one "id|name" line per action
//   fx_add         a failure contains "could not find"
//   fx_param_to    out of range: "out of range: " and a plain reason
//   undo, redo     "nothing to undo" / "nothing to redo"
//   unknown        "unknown command " + its name
// Any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text-pieces.h"

namespace orvo::wire {

// The shortest text that reads back as the same double, with ".0" on whole
// numbers ("-6.0", "0.25", "120.0"). Never a comma, whatever the locale.
std::string number(double value);

// A finite decimal that fills the whole text; nothing for "nan", "inf",
// "1e999", "", "3 dB".
std::optional<double> real(std::string_view text);
std::optional<int> integer(std::string_view text);

// An answer's fields and lines.
using text::lines;
using text::split;

}  // namespace orvo::wire
