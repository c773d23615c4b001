#include "platform/places.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

namespace orvo {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::filesystem::path homeFolder() {
  const std::string home = environment("HOME");
  return home.empty() ? std::filesystem::path(".") : std::filesystem::path(home);
}

std::filesystem::path firstProgram(const std::vector<std::filesystem::path>& places) {
  for (const auto& place : places) {
    std::error_code error;
    if (std::filesystem::is_regular_file(place, error) && ::access(place.c_str(), X_OK) == 0)
      return place;
  }
  return {};
}

std::vector<std::filesystem::path> onPath(const std::string& name) {
  std::vector<std::filesystem::path> places;
  std::string_view rest = std::getenv("PATH") ? std::getenv("PATH") : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    if (const std::string_view folder = rest.substr(0, colon); !folder.empty())
      places.push_back(std::filesystem::path(folder) / name);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return places;
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
  if (!environment("HOME").empty()) folders.push_back(homeFolder() / "Music" / "Orvo Songs");
  return folders;
}

}  // namespace orvo
