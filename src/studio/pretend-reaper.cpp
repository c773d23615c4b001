#include "studio/pretend-reaper.h"

#include <chrono>

#include "studio/reaper-link.h"

namespace orvo {

PretendReaper::PretendReaper(const std::filesystem::path& folder, const std::string& project,
                             bool pumping)
    : folder_(folder), pumping_(pumping) {
  std::error_code error;
  std::filesystem::create_directories(resources(), error);
  Reaper::shipBridge(folder_ / "base");
  Reaper::setUp(
      {resources(), folder_ / "base" / "reaper" / "lorimel_bridge.lua", [this] { return clock_; },
       [this](double seconds) {
         if (inside_.fetch_add(1) != 0) overlapped_ = true;
         ++waits_;
         if (pumping_ && studio) {
           auto start = std::chrono::steady_clock::now();
           studio->pump();
           bridgeSeconds_ +=
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
         }
         clock_ += seconds;
         inside_.fetch_sub(1);
       }});
  installed_ = Reaper::installBridge();
  studio = std::make_unique<LuaStudio>(resources(), project);
}

PretendReaper::~PretendReaper() {
  Reaper::setUp(Reaper::defaultSetup());
}

std::string PretendReaper::error() const {
  if (!installed_) return "the bridge could not be installed below " + resources().string();
  return studio->error();
}

}  // namespace orvo
