#include "platform/clipboard.h"

#include <cstdlib>
#include <filesystem>

#include "platform/run-tool.h"

namespace orvo {

std::optional<std::string> readClipboard(Runtime& runtime) {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string tool = wayland && *wayland ? "/usr/bin/wl-paste" : "/usr/bin/xclip";
  std::error_code error;
  if (!std::filesystem::exists(tool, error)) return std::nullopt;
  ToolRun run = tool == "/usr/bin/wl-paste"
                    ? runTool(runtime, tool, {"--no-newline"}, "", 3.0)
                    : runTool(runtime, tool, {"-selection", "clipboard", "-o"}, "", 3.0);
  // An empty clipboard is a failed run for both tools.
  return run.ok ? run.out : std::string();
}

}  // namespace orvo
