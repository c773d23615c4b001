#pragma once

#include <string>

namespace orvo {

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string repairUtf8(const std::string& bytes);

// At most `maxBytes` of the text, never ending inside a character.
std::string cutUtf8(const std::string& text, std::size_t maxBytes);

// The text safe inside XML or HTML: &, <, > and " as entities.
std::string escapeMarkup(const std::string& text);

}  // namespace orvo
