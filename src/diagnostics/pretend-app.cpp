#include "diagnostics/pretend-app.h"

#include <map>
#include <sstream>

#include "platform/files.h"

namespace orvo {
namespace {

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> names;
  std::size_t at = 0;
  while (true) {
    std::size_t next = path.find(" > ", at);
    names.push_back(files::trim(path.substr(at, next - at)));
    if (next == std::string::npos) break;
    at = next + 3;
  }
  return names;
}

}  // namespace

std::optional<PretendApp> readPretendApp(const std::string& text, MemoryTree& tree,
                                         std::function<void(const std::string&)> pressed,
                                         std::string* error) {
  auto fail = [&](int line, const std::string& why) -> std::optional<PretendApp> {
    if (error) *error = "line " + std::to_string(line) + ": " + why;
    return std::nullopt;
  };
  std::istringstream in(text);
  std::string line;
  int number = 0;
  PretendApp app;
  AccessNode appNode = 0, window = 0, bar = 0, place = 0;
  std::map<std::string, AccessNode> menus;  // by the path so far
  auto pressable = [&](AccessNode node, const std::string& what) {
    tree.node(node).onAction = [pressed, what] {
      if (pressed) pressed(what);
      return true;
    };
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (files::trim(line).empty()) continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return fail(number, "no TAB between the kind and its value");
    std::string kind = files::trim(line.substr(0, tab));
    std::string value = line.substr(tab + 1);
    if (appNode == 0) {
      if (kind != "app" || files::trim(value).empty()) return fail(number, "the first line is app");
      app.name = files::trim(value);
      appNode = tree.addApp(app.name, 4242);
      window = tree.add(appNode, "frame", app.name);
      tree.node(window).info.active = true;
      bar = tree.add(window, "menu bar", "");
      place = window;
      continue;
    }
    if (kind == "menu") {
      bool disabled = false;
      if (std::size_t flag = value.find('\t'); flag != std::string::npos) {
        disabled = files::trim(value.substr(flag + 1)) == "disabled";
        value = value.substr(0, flag);
      }
      auto names = splitPath(value);
      if (names.size() < 2) return fail(number, "a menu item needs a menu: Menu > Item");
      AccessNode parent = bar;
      std::string key;
      for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        key += names[i] + "\n";
        auto found = menus.find(key);
        if (found == menus.end())
          found = menus.emplace(key, tree.add(parent, "menu", names[i])).first;
        parent = found->second;
      }
      AccessNode item = tree.add(parent, "menu item", names.back());
      tree.node(item).info.sensitive = !disabled;
      pressable(item, value);
      ++app.menuItems;
    } else if (kind == "window") {
      tree.node(window).info.name = files::trim(value);
    } else if (kind == "button") {
      pressable(tree.add(place, "push button", files::trim(value)), files::trim(value));
    } else if (kind == "text") {
      tree.add(place, "label", files::trim(value));
    } else if (kind == "password") {
      AccessNode box = tree.add(place, "password text", files::trim(value));
      tree.node(box).info.focused = true;
    } else if (kind == "dialog") {
      tree.node(window).info.active = false;
      place = tree.add(appNode, "dialog", "");
      tree.node(place).info.active = true;
      tree.add(place, "label", files::trim(value));
    } else {
      return fail(number, "unknown kind " + kind);
    }
  }
  if (appNode == 0) return fail(number, "the first line is app");
  return app;
}

}  // namespace orvo
