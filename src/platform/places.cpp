#include "platform/places.h"

#include <cstdlib>

#include "platform/files.h"

namespace orvo {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string playerLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string locale = environment(name);
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

std::vector<std::filesystem::path> songFolders(const std::filesystem::path& baseDir) {
  std::vector<std::filesystem::path> folders = {baseDir / "songs"};
  if (auto home = environment("HOME"); !home.empty())
    folders.push_back(std::filesystem::path(home) / "Music" / "Orvo Songs");
  return folders;
}

}  // namespace orvo
