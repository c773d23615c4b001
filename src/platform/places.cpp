#include "platform/places.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/text-pieces.h"

namespace orvo {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::filesystem::path homeFolder() {
  const std::string home = environment("HOME");
  return home.empty() ? std::filesystem::path(".") : std::filesystem::path(home);
}

std::optional<std::filesystem::path> firstProgram(
    const std::vector<std::filesystem::path>& places) {
  for (const auto& place : places) {
    std::error_code error;
    if (std::filesystem::is_regular_file(place, error) && ::access(place.c_str(), X_OK) == 0)
      return place;
  }
  return std::nullopt;
}

std::vector<std::filesystem::path> onPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return {name};
  std::string path = environment("PATH");
  if (path.empty()) path = "/usr/bin:/bin";
  std::vector<std::filesystem::path> places;
  for (std::string_view folder : text::split(path, ':')) {
    if (!folder.empty()) places.push_back(std::filesystem::path(folder) / name);
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
