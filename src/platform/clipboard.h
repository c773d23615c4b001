#pragma once
// The desktop's clipboard as text: wl-paste under Wayland, else xclip.
//
// Threads: blocks the calling activity for up to 3 s.

#include <optional>
#include <string>

#include "platform/runtime.h"

namespace orvo {

// The clipboard's text ("" when it holds none); none when neither tool is
// installed.
std::optional<std::string> readClipboard(Runtime& runtime);

}  // namespace orvo
