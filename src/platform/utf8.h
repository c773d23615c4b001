#pragma once

#include <string>

namespace orvo {

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string repairUtf8(const std::string& bytes);

}  // namespace orvo
