#pragma once
// A pretend app for the routing trace, read from a file of one element a
// line: its kind, a TAB, its value. The first line is "app" and the app's
// name; "menu" takes a path ("Track > New Audio Track"), optionally followed
// by a TAB and "disabled"; "window" names the window; "button", "text" (a
// line the window shows) and "password" add to the window; "dialog" opens a
// dialog in front with that text, and the buttons after it are the dialog's.
// Pressing anything succeeds and is reported.

#include <functional>
#include <optional>
#include <string>

#include "doubles/memory-tree.h"

namespace orvo {

struct PretendApp {
  std::string name;
  std::size_t menuItems = 0;
};

// Builds the app in `tree`; an error names the line that is wrong.
std::optional<PretendApp> readPretendApp(const std::string& text, MemoryTree& tree,
                                         std::function<void(const std::string&)> pressed,
                                         std::string* error);

}  // namespace orvo
