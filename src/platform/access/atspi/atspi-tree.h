#pragma once
// The Linux desktop's accessibility tree, through AT-SPI: what GTK, Qt,
// Chromium and LibreOffice apps show of themselves on the accessibility bus
// (the one screen readers use). libatspi is not thread-safe, so every call
// is made on one serial queue of the runtime's; each call to an app waits at
// most a second, so a hung app never holds that queue long.
//
// Trust: the accessibility bus answers. Where its "IsEnabled" status is off
// (a bare D-Bus session), it is switched on first, which is what makes Qt and
// Chromium apps expose themselves. With no session bus at all, AT-SPI is
// never started and the tree is not reachable.
//
// Threads: any (see AccessTree).

#include <deque>
#include <memory>
#include <unordered_map>

#include "platform/access/access-tree.h"
#include "platform/runtime.h"

namespace orvo {

class AtspiTree : public AccessTree {
 public:
  explicit AtspiTree(Runtime& runtime);
  ~AtspiTree() override;

  bool reachable() override;
  void use(const std::function<void()>& work) override;
  std::vector<AccessNode> children(AccessNode node, std::size_t limit) override;
  std::optional<NodeInfo> info(AccessNode node) override;
  std::vector<std::string> actions(AccessNode node) override;
  bool doAction(AccessNode node, std::size_t index) override;
  bool insertText(AccessNode node, const std::string& text) override;
  bool typeKeys(const std::string& text) override;
  std::optional<std::string> selection(AccessNode node) override;

 private:
  struct Handles;
  bool start();

  Runtime& runtime_;
  SerialQueue& queue_;
  // Only on the queue.
  std::unique_ptr<Handles> handles_;
  bool started_ = false;
  double lastTry_ = -100.0;
};

}  // namespace orvo
