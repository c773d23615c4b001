#include "apps/tree-access.h"

#include <algorithm>
#include <functional>
#include <set>

#include "apps/spoken-list.h"

namespace orvo {
namespace {

enum class Visit { descend, skip, stop };

bool isWindow(const std::string& role) {
  return role == "frame" || role == "dialog" || role == "alert" || role == "window" ||
         role == "file chooser";
}

bool isControl(const std::string& role) {
  static const std::set<std::string> roles = {"push button",  "toggle button", "check box",
                                              "radio button", "page tab",      "link",
                                              "table cell",   "button"};
  return roles.count(role) > 0;
}

bool isText(const std::string& role) {
  return role == "label" || role == "static" || role == "heading" || role == "paragraph" ||
         role == "caption";
}

bool isMenuItem(const std::string& role) {
  return role == "menu item" || role == "check menu item" || role == "radio menu item" ||
         role == "menu";
}

// Depth first, in order, within the caps; false when the walk was cut short
// (the caps, or a node that did not answer).
bool walk(AccessTree& tree, AccessNode root, const TreeAccess::Caps& caps,
          const std::function<Visit(AccessNode, const NodeInfo&, int depth)>& visit) {
  std::vector<std::pair<AccessNode, int>> todo = {{root, 0}};
  std::size_t seen = 0;
  while (!todo.empty()) {
    auto [node, depth] = todo.back();
    todo.pop_back();
    if (++seen > caps.nodes) return false;
    auto info = tree.info(node);
    if (!info) return false;
    Visit next = node == root ? Visit::descend : visit(node, *info, depth);
    if (next == Visit::stop) return true;
    if (next == Visit::skip) continue;
    if (depth >= caps.depth) return false;
    auto children = tree.children(node, caps.nodes);
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      todo.emplace_back(*child, depth + 1);
    }
  }
  return true;
}

std::string nameOf(const NodeInfo& info) {
  for (const auto* text : {&info.name, &info.description, &info.value}) {
    std::string name = spokenName(*text);
    if (!name.empty()) return name;
  }
  return "";
}

}  // namespace

bool TreeAccess::trusted() {
  return tree_.reachable();
}

std::vector<RunningApp> TreeAccess::apps() {
  std::vector<RunningApp> out;
  tree_.use([&] {
    for (AccessNode app : tree_.children(0, 400)) {
      auto info = tree_.info(app);
      if (info && !spokenName(info->name).empty()) {
        out.push_back({spokenName(info->name), info->pid, app});
      }
    }
  });
  return out;
}

std::vector<std::pair<AccessNode, NodeInfo>> TreeAccess::windows(AccessNode app) {
  std::vector<std::pair<AccessNode, NodeInfo>> out;
  for (AccessNode window : tree_.children(app, 200)) {
    auto info = tree_.info(window);
    if (info && isWindow(info->role)) out.emplace_back(window, std::move(*info));
  }
  return out;
}

std::optional<std::pair<AccessNode, NodeInfo>> TreeAccess::frontWindow(AccessNode app) {
  auto all = windows(app);
  for (auto& window : all) {
    if (window.second.active) return window;
  }
  if (all.empty()) return std::nullopt;
  return all.front();
}

std::optional<RunningApp> TreeAccess::frontApp() {
  std::optional<RunningApp> front;
  tree_.use([&] {
    for (AccessNode app : tree_.children(0, 400)) {
      auto info = tree_.info(app);
      if (!info) continue;
      for (auto& window : windows(app)) {
        if (window.second.active) {
          front = RunningApp{spokenName(info->name), info->pid, app};
          return;
        }
      }
    }
  });
  return front;
}

std::optional<AppMenus> TreeAccess::menus(const RunningApp& app) {
  std::optional<AppMenus> out;
  tree_.use([&] {
    // The menu bar sits a few levels down in the front window; a dialog in
    // front (a welcome screen) has none, so the other windows are looked in.
    auto all = windows(app.node);
    std::stable_partition(all.begin(), all.end(), [](const auto& w) { return w.second.active; });
    std::optional<AccessNode> bar;
    Caps near{6, caps_.nodes};
    for (const auto& window : all) {
      walk(tree_, window.first, near, [&](AccessNode node, const NodeInfo& info, int) {
        if (info.role != "menu bar") return Visit::descend;
        bar = node;
        return Visit::stop;
      });
      if (bar) break;
    }
    if (!bar) return;
    AppMenus menus;
    std::vector<std::string> path;
    // Each titled item joins the path of its menu; a submenu's items follow it.
    std::function<bool(AccessNode, int)> items = [&](AccessNode menu, int depth) {
      if (depth > caps_.depth) return false;
      for (AccessNode item : tree_.children(menu, caps_.nodes)) {
        if (menus.entries.size() >= caps_.nodes) return false;
        auto info = tree_.info(item);
        if (!info) return false;
        std::string name = spokenName(info->name);
        if (name.empty() || !isMenuItem(info->role)) continue;
        path.push_back(name);
        bool submenu = info->role == "menu" && !tree_.children(item, 1).empty();
        bool whole = true;
        if (submenu) {
          whole = items(item, depth + 1);
        } else {
          menus.entries.push_back({path, item, info->sensitive && info->enabled});
        }
        path.pop_back();
        if (!whole) return false;
      }
      return true;
    };
    for (AccessNode top : tree_.children(*bar, 200)) {
      auto info = tree_.info(top);
      if (!info) {
        menus.complete = false;
        break;
      }
      std::string title = spokenName(info->name);
      if (title.empty()) continue;
      menus.titles.push_back(title);
      path = {title};
      if (!items(top, 1)) {
        menus.complete = false;
        break;
      }
    }
    out = std::move(menus);
  });
  return out;
}

std::optional<ScreenItem> TreeAccess::focusedWindow(const RunningApp& app) {
  std::optional<ScreenItem> out;
  tree_.use([&] {
    if (auto window = frontWindow(app.node)) {
      out = ScreenItem{window->second.role, spokenName(window->second.name), window->first};
    }
  });
  return out;
}

std::optional<ScreenItem> TreeAccess::dialog(const RunningApp& app) {
  std::optional<ScreenItem> out;
  tree_.use([&] {
    for (auto& [node, info] : windows(app.node)) {
      bool isDialog = info.role == "dialog" || info.role == "alert" ||
                      info.role == "file chooser" || info.modal;
      // The active one wins; else the last opened.
      if (isDialog && (!out || info.active))
        out = ScreenItem{info.role, spokenName(info.name), node};
      if (isDialog && info.active) return;
    }
  });
  return out;
}

WindowContents TreeAccess::contents(AccessNode window) {
  WindowContents out;
  tree_.use([&] {
    out.complete = walk(tree_, window, caps_, [&](AccessNode node, const NodeInfo& info, int) {
      // The menus are read on their own.
      if (info.role == "menu bar" || info.role == "menu") return Visit::skip;
      if (info.role == "password text") {
        out.texts.push_back("a password box");
      } else if (isControl(info.role)) {
        if (auto name = nameOf(info); !name.empty())
          out.controls.push_back({info.role, name, node});
      } else if (isText(info.role)) {
        if (auto name = nameOf(info); !name.empty()) out.texts.push_back(name);
      }
      return Visit::descend;
    });
  });
  return out;
}

bool TreeAccess::press(AccessNode element) {
  bool done = false;
  tree_.use([&] {
    auto actions = tree_.actions(element);
    for (std::size_t i = 0; i < actions.size(); ++i) {
      const std::string& name = actions[i];
      if (name == "click" || name == "press" || name == "activate" || name == "toggle") {
        done = tree_.doAction(element, i);
        return;
      }
    }
  });
  return done;
}

std::optional<bool> TreeAccess::enabled(AccessNode element) {
  std::optional<bool> out;
  tree_.use([&] {
    if (auto info = tree_.info(element)) out = info->sensitive && info->enabled;
  });
  return out;
}

std::optional<std::pair<AccessNode, NodeInfo>> TreeAccess::focusIn(AccessNode app) {
  auto window = frontWindow(app);
  if (!window) return std::nullopt;
  std::optional<std::pair<AccessNode, NodeInfo>> found;
  walk(tree_, window->first, caps_, [&](AccessNode node, const NodeInfo& info, int) {
    if (!info.focused) return Visit::descend;
    found.emplace(node, info);
    return Visit::stop;
  });
  return found;
}

std::optional<Focus> TreeAccess::focusedElement(const RunningApp& app) {
  std::optional<Focus> out;
  tree_.use([&] {
    if (auto focus = focusIn(app.node)) {
      const NodeInfo& info = focus->second;
      out = Focus{nameOf(info), info.role, spokenName(info.roleDescription), focus->first};
    }
  });
  return out;
}

Typed TreeAccess::typeText(const RunningApp& app, const std::string& text) {
  Typed typed = Typed::failed;
  tree_.use([&] {
    auto focus = focusIn(app.node);
    if (focus && focus->second.role == "password text") {
      typed = Typed::passwordBox;
      return;
    }
    if (focus && tree_.insertText(focus->first, text)) {
      typed = Typed::typed;
      return;
    }
    // The keyboard only when we know what has the focus and that it is in
    // front, so keys never land in a password box or another app.
    auto window = frontWindow(app.node);
    if (focus && window && window->second.active && tree_.typeKeys(text)) typed = Typed::typed;
  });
  return typed;
}

std::optional<std::string> TreeAccess::selectedText(const RunningApp& app) {
  std::optional<std::string> out;
  tree_.use([&] {
    if (auto focus = focusIn(app.node)) {
      if (focus->second.role == "password text") return;
      out = tree_.selection(focus->first);
    }
  });
  return out;
}

}  // namespace orvo
