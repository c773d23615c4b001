#pragma once
// A file opened on the desktop in the program the player chose for its kind
// (xdg-open on Linux).
//
// Threads: blocks the calling activity for up to 10 s.

#include <filesystem>

namespace orvo {

// False where there is no desktop, or the file could not be opened there.
bool showOnDesktop(const std::filesystem::path& file);

}  // namespace orvo
