#pragma once
// What another app shows, said as sentences: where the player is, a window's
// text and buttons, the menus, the selection and the clipboard. Pure: each
// takes what the accessibility backend reported; any thread.

#include <optional>
#include <string>
#include <vector>

#include "apps/access-backend.h"

namespace orvo::appsentences {

// Said after an app's name when nothing in its window can be read.
inline constexpr const char* kCantRead =
    " I can't read anything inside it. Some apps don't describe their windows.";

// The texts as sentences, each with its full stop, at most `limit` of them.
std::string sentences(const std::vector<std::string>& texts, std::size_t limit);
std::vector<std::string> names(const std::vector<ScreenItem>& items);

std::string clipboard(const std::string& text);
// The app and its front window; with `focus`, what has the keyboard's focus.
std::string where(const std::string& app, const std::optional<ScreenItem>& window,
                  const std::optional<Focus>& focus);
// The dialog in front, else the window: its title, its texts and its buttons.
std::string window(const std::string& app, const std::optional<ScreenItem>& dialog,
                   const std::optional<ScreenItem>& shown, const WindowContents& contents);
std::string buttons(const std::string& app, const std::vector<ScreenItem>& controls);
std::string menus(const std::string& app, const std::optional<AppMenus>& menus);
// What is in the menu the words name.
std::string menuItems(const std::string& app, const std::optional<AppMenus>& menus,
                      const std::string& words);
std::string selection(const std::string& app, const std::optional<std::string>& selected);

}  // namespace orvo::appsentences
