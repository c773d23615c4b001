#pragma once
// A REAPER for tests: the real bridge, shipped and installed as start-up
// would, running on the mock API in one Lua state, with the process's link
// pointed at it. The link's wait pumps the bridge and moves a virtual clock,
// so every exchange runs on the test's thread without sleeping.

#include <atomic>
#include <memory>
#include <string>

#include "studio/lua-studio.h"
#include "studio/reaper-link.h"
#include "temp-folder.h"

namespace orvo::testing {

class PretendReaper {
 public:
  // pumping: false leaves the bridge asleep (a REAPER that never answers).
  explicit PretendReaper(const std::string& project = "{}", bool pumping = true)
      : pumping_(pumping) {
    std::filesystem::create_directories(resources());
    Reaper::shipBridge(folder_ / "base");
    Reaper::setUp({resources(), folder_ / "base" / "reaper" / "lorimel_bridge.lua",
                   [this] { return clock_; },
                   [this](double seconds) {
                     if (inside_.fetch_add(1) != 0) overlapped_ = true;
                     ++waits_;
                     if (pumping_ && studio) studio->pump();
                     clock_ += seconds;
                     inside_.fetch_sub(1);
                   }});
    Reaper::installBridge();
    studio = std::make_unique<LuaStudio>(resources(), project);
  }
  ~PretendReaper() { Reaper::setUp(Reaper::defaultSetup()); }

  std::filesystem::path resources() const { return folder_ / "REAPER"; }
  std::filesystem::path exchange() const { return resources() / "Scripts" / "Lorimel"; }
  std::string eval(const std::string& chunk) { return studio->eval(chunk).value_or("nil"); }
  double clock() const { return clock_; }
  int waits() const { return waits_; }
  void pumping(bool on) { pumping_ = on; }
  // Two waits were ever in progress at once (two exchanges overlapped).
  bool overlapped() const { return overlapped_; }

  std::unique_ptr<LuaStudio> studio;

 private:
  TempFolder folder_;
  bool pumping_;
  double clock_ = 1000;
  int waits_ = 0;
  std::atomic<int> inside_{0};
  std::atomic<bool> overlapped_{false};
};

}  // namespace orvo::testing
