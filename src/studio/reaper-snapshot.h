#pragma once
// Reading the bridge's project snapshot into a DawState. Pure; any thread.

#include <optional>
#include <string_view>

#include "studio/daw-model.h"

namespace orvo {

// The project, or nothing when the text has no master line. Lines that do
// not parse (too few fields, an index, volume or pan that is not a number)
// are skipped; a name is kept byte for byte.
std::optional<DawState> parseSnapshot(std::string_view text);

}  // namespace orvo
