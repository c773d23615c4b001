#include "core/options.h"

#include <cstdlib>

#include "platform/files.h"

namespace orvo {

// Asked for every note the piano sends, so it must not allocate.
bool ButtonKeys::isCommandKey(int key) const {
  if (key < 0) return false;
  return key == hear || key == notes || key == next || key == back || key == talk || key == pause ||
         key == compose || key == help || key == keep || key == home;
}

std::vector<int> ButtonKeys::commandKeys() const {
  std::vector<int> keys = topButtons();
  if (keep >= 0) keys.push_back(keep);
  if (home >= 0) keys.push_back(home);
  return keys;
}

bool ButtonKeys::setTopKey(int top) {
  std::vector<int> whites;
  for (int key = top; key >= 0 && whites.size() < 8; --key) {
    int pc = key % 12;
    if (pc == 0 || pc == 2 || pc == 4 || pc == 5 || pc == 7 || pc == 9 || pc == 11) {
      whites.push_back(key);
    }
  }
  if (whites.size() < 8) return false;
  hear = whites[0];
  notes = whites[1];
  next = whites[2];
  back = whites[3];
  talk = whites[4];
  pause = whites[5];
  compose = whites[6];
  help = whites[7];
  keep = top - 87;
  home = top - 85;
  return true;
}

std::string playerLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string locale = value;
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX" || locale.size() < 2) return "en";
    if (auto underscore = locale.find('_'); underscore != std::string::npos)
      locale[underscore] = '-';
    return locale;
  }
  return "en";
}

std::filesystem::path temporaryFolder(const std::filesystem::path& baseDir) {
  files::makePrivateFolder(baseDir / "tmp");
  return baseDir / "tmp";
}

std::filesystem::path dataFolder() {
  auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (auto home = env("ORVO_HOME"); !home.empty()) return home;
  std::filesystem::path userHome = env("HOME");
  if (userHome.empty()) userHome = ".";
#ifdef __APPLE__
  return userHome / "Library/Application Support/Orvo";
#else
  if (auto xdg = env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return std::filesystem::path(xdg) / "orvo";
  }
  return userHome / ".local/share/orvo";
#endif
}

}  // namespace orvo

namespace orvo {

std::vector<std::filesystem::path> songFolders(const std::filesystem::path& baseDir) {
  const char* home = std::getenv("HOME");
  std::vector<std::filesystem::path> folders = {baseDir / "songs"};
  if (home && *home) folders.push_back(std::filesystem::path(home) / "Music" / "Orvo Songs");
  return folders;
}

}  // namespace orvo
