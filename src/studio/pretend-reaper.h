#pragma once
// A REAPER of our own, for the routing trace and the tests: the real bridge,
// shipped and installed below a folder as start-up would, running on the
// mock API in one Lua state, with the process's link pointed at it. The
// link's wait pumps the bridge and moves a clock of its own, so every
// exchange runs on the caller's thread without sleeping, and the player's
// own "~/.config/REAPER" is never touched.
//
// Threads: one at a time; the link is the process's, so one pretend REAPER
// at a time.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "studio/lua-studio.h"

namespace orvo {

class PretendReaper {
 public:
  // `project` as LuaStudio takes it; pumping: false leaves the bridge asleep
  // (a REAPER that never answers).
  PretendReaper(const std::filesystem::path& folder, const std::string& project,
                bool pumping = true);
  // The link goes back to its defaults.
  ~PretendReaper();
  PretendReaper(const PretendReaper&) = delete;
  PretendReaper& operator=(const PretendReaper&) = delete;

  // Empty when the bridge is installed and loaded; else why not.
  std::string error() const;

  std::filesystem::path resources() const { return folder_ / "REAPER"; }
  std::filesystem::path exchange() const { return resources() / "Scripts" / "Lorimel"; }
  // A Lua chunk's first result, "nil" when there is none.
  std::string eval(const std::string& chunk) { return studio->eval(chunk).value_or("nil"); }
  double clock() const { return clock_; }
  int waits() const { return waits_; }
  // Seconds of the caller's own time spent in the bridge's idle ticks.
  double bridgeSeconds() const { return bridgeSeconds_; }
  void pumping(bool on) { pumping_ = on; }
  // Two waits were ever in progress at once (two exchanges overlapped).
  bool overlapped() const { return overlapped_; }

  // Replaced to restart REAPER.
  std::unique_ptr<LuaStudio> studio;

 private:
  std::filesystem::path folder_;
  bool installed_ = false;
  std::atomic<bool> pumping_;
  double clock_ = 1000;
  int waits_ = 0;
  double bridgeSeconds_ = 0;
  std::atomic<int> inside_{0};
  std::atomic<bool> overlapped_{false};
};

}  // namespace orvo
