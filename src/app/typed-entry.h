#pragma once
// A line typed on the computer keyboard while the key reader hands every byte
// over (a piece's name, a question for the AI): the prompt, the keys echoed in
// a terminal, Delete taking back a whole character, Return and Escape.
//
// Threads: with the engine lock held.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/window.h"

namespace orvo {

class TypedEntry {
 public:
  enum class Key { more, done, cancelled };

  TypedEntry(Window& window, std::size_t maxBytes) : window_(window), maxBytes_(maxBytes) {}

  // Shown without a line end in a terminal; a line of its own to the app window.
  void begin(const std::string& prompt, bool show = true);
  Key key(std::uint8_t byte);
  const std::string& text() const { return text_; }
  void set(std::string text) { text_ = std::move(text); }
  void clear() { text_.clear(); }

 private:
  void echo(std::string_view bytes);

  Window& window_;
  std::size_t maxBytes_;
  std::string text_;
  bool shown_ = true;
};

}  // namespace orvo
