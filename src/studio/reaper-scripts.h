#pragma once
// The Lua scripts built into the binary: the bridge REAPER runs, the
// pretend REAPER the bridge is tried against, and the fixed project the
// pretend REAPER opens for the routing trace (a Lua table constructor).

#include <string_view>

namespace orvo::reaperscripts {

extern const std::string_view bridge;
extern const std::string_view mock;
extern const std::string_view pretendProject;

}  // namespace orvo::reaperscripts
