#pragma once
// Cutting an outside program's answer into pieces: fields at a separator,
// and lines with the carriage returns of other systems' line ends dropped.
// Pure; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace orvo::text {

// The text split at every `separator`, empty pieces kept.
std::vector<std::string_view> split(std::string_view text, char separator);
// The text's lines, carriage returns dropped and empty lines left out.
std::vector<std::string> lines(std::string_view text);

}  // namespace orvo::text
