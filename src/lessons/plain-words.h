#pragma once

#include <string>
#include <vector>

namespace orvo {

// The text in lower case (ASCII letters; other bytes, UTF-8 among them, kept).
std::string lowerCase(std::string text);

// Lower-case words of a text, punctuation gone ("What's" reads "whats").
std::vector<std::string> plainWords(const std::string& text);

}  // namespace orvo
