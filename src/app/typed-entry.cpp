#include "app/typed-entry.h"

namespace orvo {

void TypedEntry::echo(std::string_view bytes) {
  // The app window shows what is typed from its "typing" lines; a terminal
  // shows the keys themselves.
  if (shown_ && !window_.on()) window_.printRaw(bytes);
}

void TypedEntry::begin(const std::string& prompt, bool show) {
  text_.clear();
  shown_ = show;
  if (!show) return;
  if (window_.on()) {
    // A line of its own: the prompt's leading line break would be an empty line.
    const auto start = prompt.find_first_not_of('\n');
    window_.print(start == std::string::npos ? "" : std::string_view(prompt).substr(start));
  } else {
    window_.printRaw(prompt);
  }
}

TypedEntry::Key TypedEntry::key(std::uint8_t byte) {
  if (byte == 10 || byte == 13 || byte == 27) {
    echo("\n");
    return byte == 27 ? Key::cancelled : Key::done;
  }
  if (byte == 127 || byte == 8) {
    if (text_.empty()) return Key::more;
    // A whole character goes: its continuation bytes, then its first byte.
    while (!text_.empty() && (static_cast<unsigned char>(text_.back()) & 0xC0) == 0x80)
      text_.pop_back();
    if (!text_.empty()) text_.pop_back();
    echo("\b \b");
    return Key::more;
  }
  if (text_.size() >= maxBytes_) return Key::more;
  text_.push_back(static_cast<char>(byte));
  const char typed = static_cast<char>(byte);
  echo(std::string_view(&typed, 1));
  return Key::more;
}

}  // namespace orvo
