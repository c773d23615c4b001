#include "desks/app-sentences.h"

#include <algorithm>

#include "apps/command-match.h"
#include "apps/spoken-list.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace orvo::appsentences {
namespace {

// Longer clipboards are cut at a word and said to go on.
constexpr std::size_t kClipboardBytes = 300;

}  // namespace

std::string sentences(const std::vector<std::string>& texts, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < texts.size() && i < limit; ++i) {
    std::string text = spokenText(texts[i]);
    if (text.empty()) continue;
    if (std::string(".?!:").find(text.back()) == std::string::npos) text += ".";
    out += (out.empty() ? "" : " ") + text;
  }
  return out;
}

std::vector<std::string> names(const std::vector<ScreenItem>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(item.name);
  return out;
}

std::string clipboard(const std::string& text) {
  std::string clean = spokenText(text);
  if (clean.empty()) return "The clipboard has no text on it.";
  if (clean.size() <= kClipboardBytes) return "The clipboard says: " + sentences({clean}, 1);
  std::string start = cutUtf8(clean, kClipboardBytes);
  if (std::size_t space = start.rfind(' '); space != std::string::npos && space > 100)
    start.erase(space);
  return "The clipboard says: " + start + ". And it goes on.";
}

std::string where(const std::string& app, const std::optional<ScreenItem>& window,
                  const std::optional<Focus>& focus) {
  if (!window) return app + " has no window open.";
  std::string sentence = "You're in " + app +
                         (window->name.empty() ? ", in a window with no title."
                                               : ", in the window called " + window->name + ".");
  if (focus && !focus->name.empty()) {
    const std::string& role = focus->roleDescription.empty() ? focus->role : focus->roleDescription;
    sentence += " The focus is on " + focus->name + ", a " + role + ".";
  }
  return sentence;
}

std::string window(const std::string& app, const std::optional<ScreenItem>& dialog,
                   const std::optional<ScreenItem>& shown, const WindowContents& contents) {
  if (!shown) return app + " has no window open.";
  if (contents.texts.empty() && contents.controls.empty()) return app + "." + kCantRead;
  std::string sentence = dialog ? app + " is showing a dialog." : "";
  if (!dialog && !shown->name.empty()) sentence = shown->name + ".";
  std::string texts = sentences(contents.texts, 20);
  if (!texts.empty()) sentence += (sentence.empty() ? "" : " ") + texts;
  if (!contents.controls.empty()) {
    sentence += " Buttons: " + spokenList(names(contents.controls), 10) + ".";
  }
  return files::trim(sentence);
}

std::string buttons(const std::string& app, const std::vector<ScreenItem>& controls) {
  if (controls.empty()) return "I can't find any buttons in this " + app + " window.";
  return "In " + app + " you can press: " + spokenList(names(controls), 12) +
         ". Say click, and its name.";
}

std::string menus(const std::string& app, const std::optional<AppMenus>& menus) {
  if (!menus || menus->titles.empty()) {
    return menus && menus->complete ? app + " shows no menus." : app + "." + kCantRead;
  }
  return app + " has these menus: " + spokenList(menus->titles, 20) +
         ". Ask what's in any of them, or just tell me what you want done.";
}

std::string menuItems(const std::string& app, const std::optional<AppMenus>& menus,
                      const std::string& words) {
  if (!menus || menus->titles.empty()) return app + "." + kCantRead;
  std::vector<std::string> wanted;
  for (auto& word : commandWords(words)) {
    if (word != "menu" && !commandNoise().count(word)) wanted.push_back(word);
  }
  // A title of exactly the words said wins over titles holding some of them.
  std::vector<std::string> exact, partly;
  for (const auto& title : menus->titles) {
    auto titleWords = commandWords(title);
    std::size_t both = 0;
    for (const auto& word : wanted) {
      both += std::count(titleWords.begin(), titleWords.end(), word) > 0;
    }
    if (both == 0) continue;
    (both == wanted.size() && both == titleWords.size() ? exact : partly).push_back(title);
  }
  const auto& found = exact.empty() ? partly : exact;
  if (found.empty()) return "I can't find that menu in " + app + ".";
  if (found.size() > 1) return "I found " + spokenList(found, 6) + ". Tell me which one you want.";
  std::vector<std::string> items;
  for (const auto& entry : menus->entries) {
    if (entry.path.size() < 2 || entry.path[0] != found[0]) continue;
    if (std::find(items.begin(), items.end(), entry.path[1]) == items.end())
      items.push_back(entry.path[1]);
  }
  return items.empty() ? "The " + found[0] + " menu is empty."
                       : "In " + found[0] + ", " + spokenList(items, 15) + ".";
}

std::string selection(const std::string& app, const std::optional<std::string>& selected) {
  std::string text = selected ? spokenText(*selected) : "";
  if (text.empty()) return "Nothing is selected in " + app + ", or it won't tell me what is.";
  return "Selected: " + cutUtf8(text, 600);
}

}  // namespace orvo::appsentences
