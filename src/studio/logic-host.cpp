#include "studio/logic-host.h"

#include "platform/run-tool.h"

namespace orvo {

bool LogicProHost::running() {
  // Debian's pgrep has no -q: the status alone says it.
  return runTool(runtime_, "/usr/bin/pgrep", {"-x", "Logic Pro"}, "", 3.0).ok;
}

}  // namespace orvo
