#include "compose/ideas-folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace orvo {

namespace fs = std::filesystem;

std::optional<std::string> IdeasFolder::write(const std::string& stem,
                                              const std::vector<std::uint8_t>& bytes) {
  // The folder is made at start-up; it may have gone since.
  if (!files::makeFolders(folder_)) return std::nullopt;
  auto written =
      files::writeNewFile(folder_, stem, ".mid", std::string(bytes.begin(), bytes.end()));
  if (!written) return std::nullopt;
  return written->stem().string();
}

std::optional<std::string> IdeasFolder::rename(const fs::path& piece, const std::string& stem) {
  auto moved = files::moveToNewName(piece, folder_, stem, ".mid");
  if (!moved) return std::nullopt;
  return moved->stem().string();
}

namespace {

bool isPieceName(const char* name) {
  const std::size_t length = std::strlen(name);
  return length > 4 && std::strcmp(name + length - 4, ".mid") == 0 && !files::isTemporaryName(name);
}

}  // namespace

// One pass over the folder with one stat per piece: a folder of thousands of
// ideas is read in a few milliseconds.
template <typename Each>
void IdeasFolder::forEachPiece(Each&& each) const {
  DIR* folder = ::opendir(folder_.c_str());
  if (!folder) return;
  const int fd = ::dirfd(folder);
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
    if (!isPieceName(entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    each(entry->d_name, info.st_mtim);
  }
  ::closedir(folder);
}

namespace {

bool later(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

}  // namespace

std::optional<fs::path> IdeasFolder::newest() const {
  std::optional<std::string> best;
  timespec bestTime{};
  forEachPiece([&](const char* name, const timespec& changed) {
    // Ties (a coarse file system clock) go by name, so the choice is always the same.
    if (!best || later(changed, bestTime) ||
        (!later(bestTime, changed) && std::strcmp(name, best->c_str()) > 0)) {
      best = name;
      bestTime = changed;
    }
  });
  if (!best) return std::nullopt;
  return folder_ / *best;
}

std::vector<fs::path> IdeasFolder::oldestFirst() const {
  std::vector<std::pair<timespec, std::string>> found;
  forEachPiece(
      [&](const char* name, const timespec& changed) { found.emplace_back(changed, name); });
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (later(b.first, a.first)) return true;
    if (later(a.first, b.first)) return false;
    return a.second < b.second;
  });
  std::vector<fs::path> paths;
  for (auto& [changed, name] : found) paths.push_back(folder_ / name);
  return paths;
}

void IdeasFolder::removeStaleTemporaries() const {
  files::removeStaleTemporaries(folder_);
}

}  // namespace orvo
