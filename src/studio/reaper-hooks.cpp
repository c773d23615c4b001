#include "studio/reaper-hooks.h"

#include <filesystem>

#include "platform/run-tool.h"
#include "studio/reaper-link.h"

namespace orvo {

ReaperHooks reaperHooks(Runtime& runtime, const std::filesystem::path& baseDir) {
  ReaperHooks hooks = pretendReaperHooks();
  // The bridge is put beside the data at start, on another thread: an r
  // pressed before that is done puts it there itself.
  hooks.installBridge = [baseDir] {
    return Reaper::shipBridge(baseDir) && Reaper::installBridge();
  };
  hooks.installed = [] { return Reaper::installed(); };
  hooks.configured = [] {
    std::error_code error;
    return std::filesystem::is_directory(Reaper::resources(), error);
  };
  hooks.running = [&runtime] { return Reaper::running(runtime); };
  hooks.launch = [&runtime] {
    auto program = Reaper::installedAt();
    if (!program) return false;
    // The shell starts REAPER in a session of its own and ends at once, so it
    // is reaped here and REAPER, never waited on, is left to init.
    return runTool(runtime, "/bin/sh",
                   {"-c", "setsid \"$0\" </dev/null >/dev/null 2>&1 &", program->string()}, "", 5.0)
        .ok;
  };
  return hooks;
}

ReaperHooks pretendReaperHooks() {
  return {.installed = [] { return true; },
          .configured = nullptr,
          .bridgeInstalled =
              [] {
                std::error_code error;
                return std::filesystem::exists(
                    Reaper::resources() / "Scripts" / "lorimel_bridge.lua", error);
              },
          .installBridge = [] { return Reaper::installBridge(); },
          .running = [] { return true; },
          .launch = [] { return true; },
          .send = [](const std::vector<std::string>& args,
                     double timeout) { return Reaper::send(args, timeout); }};
}

}  // namespace orvo
