#include "studio/logic-host.h"

#include "platform/run-tool.h"

namespace orvo {

bool LogicProHost::running() {
  return processNamed(runtime_, "Logic Pro");
}

}  // namespace orvo
