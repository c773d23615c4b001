#include "platform/desktop-entries.h"

#include <cstdlib>
#include <set>
#include <sstream>

#include "platform/files.h"
#include "platform/places.h"
#include "platform/text-pieces.h"

namespace orvo {
namespace {

// A desktop with thousands of entries is no reason to read for ever.
constexpr std::size_t kMostEntries = 4000;
constexpr std::uintmax_t kLargestEntry = 64 * 1024;

// Exec's first word that is the program: "env FOO=1 gedit %U" runs gedit.
std::string programOf(const std::string& exec) {
  std::istringstream words(exec);
  std::string word;
  while (words >> word) {
    if (word == "env" || word.find('=') != std::string::npos) continue;
    if (!word.empty() && (word.front() == '"' || word.front() == '\'')) word.erase(0, 1);
    if (!word.empty() && (word.back() == '"' || word.back() == '\'')) word.pop_back();
    return word;
  }
  return "";
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(const std::string& text) {
  DesktopEntry entry;
  std::string exec, type;
  bool inEntry = false, hidden = false;
  for (const std::string& line : text::lines(text)) {
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry || line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = files::trim(line.substr(0, equals));
    const std::string value = files::trim(line.substr(equals + 1));
    if (key == "Name") entry.name = value;
    if (key == "GenericName") entry.genericName = value;
    if (key == "Exec") exec = value;
    if (key == "Type") type = value;
    if (key == "StartupWMClass") entry.windowClass = value;
    if ((key == "NoDisplay" || key == "Hidden") && value == "true") hidden = true;
  }
  if (hidden || type != "Application" || entry.name.empty()) return std::nullopt;
  const std::string program = programOf(exec);
  entry.program = std::filesystem::path(program).filename().string();
  entry.programFile = entry.program;
  return entry;
}

std::vector<std::filesystem::path> applicationFolders() {
  std::vector<std::filesystem::path> folders;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome && *dataHome) {
    folders.push_back(std::filesystem::path(dataHome) / "applications");
  } else if (home && *home) {
    folders.push_back(std::filesystem::path(home) / ".local/share/applications");
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
  for (std::string_view dir : text::split(dirs, ':')) {
    if (!dir.empty()) folders.push_back(std::filesystem::path(dir) / "applications");
  }
  return folders;
}

std::vector<DesktopEntry> readDesktopEntries(const std::vector<std::filesystem::path>& folders) {
  std::vector<DesktopEntry> entries;
  std::set<std::string> seen;
  for (const auto& folder : folders) {
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(folder, error)) {
      if (entries.size() >= kMostEntries) return entries;
      const std::filesystem::path path = file.path();
      std::error_code sizeError;
      if (path.extension() != ".desktop" || !file.is_regular_file(sizeError) ||
          file.file_size(sizeError) > kLargestEntry || !seen.insert(path.filename()).second) {
        continue;
      }
      auto text = files::readFile(path);
      if (!text) continue;
      auto entry = parseDesktopEntry(*text);
      if (!entry) continue;
      // "libreoffice" is a link to LibreOffice's "soffice", the process that runs.
      if (auto found = firstProgram(onPath(entry->program))) {
        std::error_code linkError;
        auto real = std::filesystem::canonical(*found, linkError);
        if (!linkError) entry->programFile = real.filename().string();
      }
      entries.push_back(std::move(*entry));
    }
  }
  return entries;
}

}  // namespace orvo
