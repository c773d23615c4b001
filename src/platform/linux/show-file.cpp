#include "platform/show-file.h"

#include <cstdlib>

#include "platform/child-process.h"

namespace orvo {

bool showOnDesktop(const std::filesystem::path& file) {
  bool desktop = false;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    desktop = desktop || (value && *value);
  }
  if (!desktop) return false;
  auto child = ChildProcess::start({"xdg-open", file.string()});
  return child && child->wait(10) == 0;
}

}  // namespace orvo
