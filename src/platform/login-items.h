#pragma once
// Starting by itself at login, through the desktop's autostart folder
// ("$XDG_CONFIG_HOME/autostart", by default ~/.config/autostart).

#include <filesystem>
#include <string>

namespace orvo::login {

std::filesystem::path autostartFile();

// Writes or removes the autostart entry for `program`; false when that failed.
bool setStartAtLogin(bool on, const std::filesystem::path& program);

// The running program's own path.
std::filesystem::path thisProgram();

}  // namespace orvo::login
