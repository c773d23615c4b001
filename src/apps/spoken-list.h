#pragma once
// Lists and names as they are spoken. Pure functions.

#include <string>
#include <vector>

namespace orvo {

// "a, b, and c"; past `limit` items, "a, b, and 3 more".
std::string spokenList(const std::vector<std::string>& items, int limit);

// Text from another app made fit to speak: control characters and line
// breaks become spaces, spaces are collapsed, broken UTF-8 is repaired.
std::string spokenText(const std::string& raw);

// A name from another app made fit to speak: control characters and line
// breaks become spaces, accelerator text after a tab goes, a trailing ellipsis
// goes, spaces are collapsed, broken UTF-8 is repaired.
std::string spokenName(const std::string& raw);

}  // namespace orvo
