#pragma once
// What the engine's REAPER control needs of the world: whether REAPER is
// installed and running, the bridge, starting REAPER and the link's requests.
// Each is a function, so tests put a pretend REAPER or a silent one in place.
//
// Threads: every hook may block (a process check, a request waits up to its
// limit); activities only.

#include <filesystem>
#include <functional>

#include "platform/runtime.h"
#include "studio/reaper-menu.h"

namespace orvo {

struct ReaperHooks {
  std::function<bool()> installed;
  // REAPER has been started once, so its settings folder (where the bridge
  // goes) exists; unset means it has.
  std::function<bool()> configured;
  std::function<bool()> bridgeInstalled;  // the bridge file is in REAPER's Scripts folder
  std::function<bool()> installBridge;
  std::function<bool()> running;
  std::function<bool()> launch;  // started in the background, never waited on
  ReaperSend send;
};

// The real ones: the reaper program found on PATH or in /opt, the process's
// link, and a launch in a session of its own with its streams on /dev/null.
ReaperHooks reaperHooks(Runtime& runtime, const std::filesystem::path& baseDir);
// A REAPER of our own, always there and running: the link alone decides.
ReaperHooks pretendReaperHooks();

}  // namespace orvo
