#include "platform/login-items.h"

#include <cstdlib>

#include "platform/files.h"

namespace orvo::login {

std::filesystem::path autostartFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home ? home : ".") / ".config";
  }
  return folder / "autostart" / "orvo.desktop";
}

bool setStartAtLogin(bool on, const std::filesystem::path& program) {
  auto file = autostartFile();
  std::error_code error;
  if (!on) {
    std::filesystem::remove(file, error);
    return !error;
  }
  if (!files::makeFolders(file.parent_path())) return false;
  std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Orvo\n"
      "Comment=Piano teacher and voice assistant\n"
      "Exec=\"" +
      program.string() +
      "\"\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  return files::writeFileAtomically(file, entry, 0644);
}

std::filesystem::path thisProgram() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path("orvo") : path;
}

}  // namespace orvo::login
