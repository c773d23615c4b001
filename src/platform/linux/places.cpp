#include "platform/places.h"

#include <cstdlib>

#include "platform/files.h"

namespace orvo {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string playerLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string locale = env(name);
    if (locale.empty()) continue;
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
  if (auto home = env("ORVO_HOME"); !home.empty()) return home;
  if (auto xdg = env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return std::filesystem::path(xdg) / "orvo";
  }
  std::filesystem::path userHome = env("HOME");
  if (userHome.empty()) userHome = ".";
  return userHome / ".local/share/orvo";
}

std::vector<std::filesystem::path> songFolders(const std::filesystem::path& baseDir) {
  std::vector<std::filesystem::path> folders = {baseDir / "songs"};
  if (auto home = env("HOME"); !home.empty())
    folders.push_back(std::filesystem::path(home) / "Music" / "Orvo Songs");
  return folders;
}

}  // namespace orvo
