#pragma once
// Working other apps through an accessibility tree: the walks that find an
// app's front window, its menu bar and menus, its controls and texts, the
// focused element, and the rules for pressing and typing. The tree is only
// read inside its use(), one walk at a time.
//
// Every walk is capped in depth and in nodes, and stops at the first node
// that does not answer: a hung app, a cyclic tree or one of 100,000 nodes
// gives an incomplete answer, never a hang.

#include "apps/access-backend.h"
#include "platform/access/access-tree.h"

namespace orvo {

class TreeAccess : public AccessBackend {
 public:
  struct Caps {
    int depth = 24;
    std::size_t nodes = 6000;
  };

  explicit TreeAccess(AccessTree& tree) : tree_(tree) {}
  TreeAccess(AccessTree& tree, Caps caps) : tree_(tree), caps_(caps) {}

  bool trusted() override;
  std::vector<RunningApp> apps() override;
  std::optional<RunningApp> frontApp() override;
  std::optional<AppMenus> menus(const RunningApp& app) override;
  std::optional<ScreenItem> focusedWindow(const RunningApp& app) override;
  std::optional<ScreenItem> dialog(const RunningApp& app) override;
  WindowContents contents(AccessNode window) override;
  bool press(AccessNode element) override;
  std::optional<bool> enabled(AccessNode element) override;
  Typed typeText(const RunningApp& app, const std::string& text) override;
  std::optional<std::string> selectedText(const RunningApp& app) override;
  std::optional<Focus> focusedElement(const RunningApp& app) override;

 private:
  // Inside use(): the app's windows, its front one, the focused element.
  std::vector<std::pair<AccessNode, NodeInfo>> windows(AccessNode app);
  std::optional<std::pair<AccessNode, NodeInfo>> frontWindow(AccessNode app);
  std::optional<std::pair<AccessNode, NodeInfo>> focusIn(AccessNode app);

  AccessTree& tree_;
  Caps caps_;
};

}  // namespace orvo
