#pragma once
// The Lua scripts built into the binary: the bridge REAPER runs, and the
// pretend REAPER the bridge is tried against.

#include <string_view>

namespace orvo::reaperscripts {

extern const std::string_view bridge;
extern const std::string_view mock;

}  // namespace orvo::reaperscripts
