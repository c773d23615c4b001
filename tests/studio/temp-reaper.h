#pragma once
// The pretend REAPER in a temporary folder of the test's own.

#include <string>

#include "studio/pretend-reaper.h"
#include "temp-folder.h"

namespace orvo::testing {

struct HeldFolder {
  TempFolder folder;
};

class PretendReaper : private HeldFolder, public orvo::PretendReaper {
 public:
  explicit PretendReaper(const std::string& project = "{}", bool pumping = true)
      : orvo::PretendReaper(folder.path(), project, pumping) {}
};

}  // namespace orvo::testing
