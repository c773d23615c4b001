#include "doubles/memory-tree.h"

namespace orvo {

MemoryTree::MemoryTree() {
  nodes_.emplace_back();
  nodes_[0].info.role = "desktop frame";
}

AccessNode MemoryTree::addApp(const std::string& name, int pid) {
  AccessNode app = add(0, "application", name);
  nodes_[app].info.pid = pid;
  return app;
}

AccessNode MemoryTree::add(AccessNode parent, const std::string& role, const std::string& name) {
  Node node;
  node.info.role = role;
  node.info.roleDescription = role;
  node.info.name = name;
  node.info.pid = nodes_.at(parent).info.pid;
  if (role == "push button" || role == "toggle button" || role == "check box" ||
      role == "radio button" || role == "page tab" || role == "link" || role == "menu item" ||
      role == "check menu item" || role == "radio menu item") {
    node.actions = {"click"};
  }
  node.editable = role == "text" || role == "password text";
  nodes_.push_back(std::move(node));
  AccessNode id = nodes_.size() - 1;
  nodes_[parent].children.push_back(id);
  return id;
}

void MemoryTree::link(AccessNode parent, AccessNode child) {
  nodes_.at(parent).children.push_back(child);
}

void MemoryTree::quit(AccessNode app) {
  std::vector<AccessNode> todo = {app};
  while (!todo.empty()) {
    AccessNode id = todo.back();
    todo.pop_back();
    if (nodes_[id].gone) continue;
    nodes_[id].gone = true;
    for (AccessNode child : nodes_[id].children) todo.push_back(child);
  }
}

void MemoryTree::use(const std::function<void()>& work) {
  std::lock_guard hold(lock_);
  work();
}

const MemoryTree::Node* MemoryTree::live(AccessNode id) const {
  if (id >= nodes_.size() || nodes_[id].gone || !nodes_[id].answers) return nullptr;
  return &nodes_[id];
}

std::vector<AccessNode> MemoryTree::children(AccessNode node, std::size_t limit) {
  std::vector<AccessNode> out;
  if (const Node* n = live(node)) {
    for (AccessNode child : n->children) {
      if (out.size() >= limit) break;
      if (!nodes_[child].gone) out.push_back(child);
    }
  }
  return out;
}

std::optional<NodeInfo> MemoryTree::info(AccessNode node) {
  if (const Node* n = live(node)) return n->info;
  return std::nullopt;
}

std::vector<std::string> MemoryTree::actions(AccessNode node) {
  if (const Node* n = live(node)) return n->actions;
  return {};
}

bool MemoryTree::doAction(AccessNode node, std::size_t index) {
  const Node* n = live(node);
  if (!n || index >= n->actions.size()) return false;
  pressed_.push_back(n->info.name);
  // The handler may add nodes, so it is copied out before the vector grows.
  auto handler = n->onAction;
  return handler ? handler() : true;
}

bool MemoryTree::insertText(AccessNode node, const std::string& text) {
  const Node* n = live(node);
  if (!n || !n->editable) return false;
  nodes_[node].text += text;
  return true;
}

bool MemoryTree::typeKeys(const std::string& text) {
  typedKeys_ += text;
  return true;
}

std::optional<std::string> MemoryTree::selection(AccessNode node) {
  const Node* n = live(node);
  if (!n || n->selected.empty()) return std::nullopt;
  return n->selected;
}

}  // namespace orvo
