#pragma once
// An accessibility tree held in memory: the tests' apps and the routing
// trace's pretend app. Nodes may form cycles (a broken app's tree can), an
// app can quit halfway through a request, and a node can stop answering, as
// real apps do. Pressing a node runs its handler, which may change the tree
// (open a dialog).
//
// Threads: any; use() takes the tree's own lock, so a handler that changes
// the tree runs inside it.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/access/access-tree.h"

namespace orvo {

class MemoryTree : public AccessTree {
 public:
  struct Node {
    NodeInfo info;
    std::vector<AccessNode> children;
    std::vector<std::string> actions;
    std::function<bool()> onAction;  // false: the press did nothing
    bool editable = false;
    std::string text;  // what was typed into an editable node
    std::string selected;
    bool gone = false;
    bool answers = true;
  };

  MemoryTree();

  // Builders, outside use() (or inside a handler).
  AccessNode addApp(const std::string& name, int pid);
  AccessNode add(AccessNode parent, const std::string& role, const std::string& name);
  // Links an existing node under another too (a cycle, when it is an ancestor).
  void link(AccessNode parent, AccessNode child);
  Node& node(AccessNode id) { return nodes_.at(id); }
  std::size_t size() const { return nodes_.size(); }
  // The app and everything under it no longer exists.
  void quit(AccessNode app);
  void setReachable(bool reachable) { reachable_ = reachable; }
  // Every action run on the tree, as the node's name.
  const std::vector<std::string>& pressed() const { return pressed_; }
  std::string typedKeys() const { return typedKeys_; }

  bool reachable() override { return reachable_; }
  void use(const std::function<void()>& work) override;
  std::vector<AccessNode> children(AccessNode node, std::size_t limit) override;
  std::optional<NodeInfo> info(AccessNode node) override;
  std::vector<std::string> actions(AccessNode node) override;
  bool doAction(AccessNode node, std::size_t index) override;
  bool insertText(AccessNode node, const std::string& text) override;
  bool typeKeys(const std::string& text) override;
  std::optional<std::string> selection(AccessNode node) override;

 private:
  const Node* live(AccessNode id) const;

  std::recursive_mutex lock_;
  std::vector<Node> nodes_;
  bool reachable_ = true;
  std::vector<std::string> pressed_;
  std::string typedKeys_;
};

}  // namespace orvo
