#pragma once
// What reading and working other apps needs from the desktop's accessibility
// service, as the nodes of one tree: the desktop, its apps, their windows and
// everything inside. The walks over it (menus, window contents, the focus)
// live above it in apps/, so each backend stays a thin layer: atspi/ (the
// Linux desktop's AT-SPI) and memory-tree (an in-memory tree for the tests
// and the routing trace).
//
// Threads: every call on a tree is made inside use(), which gives the tree to
// one caller at a time (AT-SPI's library is not thread-safe, so its backend
// runs the work on a thread of its own).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

// A node of the tree; 0 is the desktop, whose children are the apps.
using AccessNode = std::uint64_t;

struct NodeInfo {
  // AT-SPI's role names: "application", "frame", "dialog", "menu bar", "menu",
  // "menu item", "push button", "label", "text", "password text" ...
  std::string role;
  // The role as the desktop says it to people; a backend may leave it empty
  // for a node without the focus.
  std::string roleDescription;
  std::string name;
  std::string description;  // may be left empty when there is a name
  std::string value;        // a text's value, when it has neither
  int pid = 0;              // the process, for an app
  bool active = false;
  bool sensitive = true;
  bool enabled = true;
  bool focused = false;
  bool modal = false;
};

class AccessTree {
 public:
  virtual ~AccessTree() = default;

  // The service answers (a backend may switch it on first).
  virtual bool reachable() = 0;
  // Runs `work`, which makes every call below, with the tree to itself.
  virtual void use(const std::function<void()>& work) = 0;

  // At most `limit` children, in order.
  virtual std::vector<AccessNode> children(AccessNode node, std::size_t limit) = 0;
  // None when the node is gone or its app does not answer.
  virtual std::optional<NodeInfo> info(AccessNode node) = 0;
  virtual std::vector<std::string> actions(AccessNode node) = 0;
  virtual bool doAction(AccessNode node, std::size_t index) = 0;
  // Inserts at the caret of an editable text.
  virtual bool insertText(AccessNode node, const std::string& text) = 0;
  // Types the text on the keyboard, into whatever has the focus.
  virtual bool typeKeys(const std::string& text) = 0;
  // The selected text, if the node has text and a selection.
  virtual std::optional<std::string> selection(AccessNode node) = 0;
};

}  // namespace orvo
