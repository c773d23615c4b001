#pragma once

#include <string>
#include <vector>

namespace orvo {

// Lower-case words of a text, punctuation gone ("What's" reads "whats").
std::vector<std::string> plainWords(const std::string& text);

}  // namespace orvo
