#include "compose/ideas-folder.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

std::vector<IdeasFolder::Piece> IdeasFolder::pieces() const {
  std::vector<Piece> found;
  std::error_code error;
  fs::directory_iterator it(folder_, error);
  if (error) return found;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const fs::path& path = it->path();
    if (path.extension() != ".mid" || files::isTemporaryName(path.filename().string())) continue;
    std::error_code statError;
    if (!it->is_regular_file(statError)) continue;
    auto changed = it->last_write_time(statError);
    // A file without a date counts as the distant past.
    found.push_back({path, statError ? fs::file_time_type::min() : changed});
  }
  // Ties (a coarse file system clock) go by name, so the order is always the same.
  std::sort(found.begin(), found.end(), [](const Piece& a, const Piece& b) {
    return a.changed != b.changed ? a.changed < b.changed : a.path < b.path;
  });
  return found;
}

std::optional<fs::path> IdeasFolder::newest() const {
  auto found = pieces();
  if (found.empty()) return std::nullopt;
  return found.back().path;
}

std::vector<fs::path> IdeasFolder::oldestFirst() const {
  std::vector<fs::path> paths;
  for (auto& piece : pieces()) paths.push_back(std::move(piece.path));
  return paths;
}

void IdeasFolder::removeStaleTemporaries() const {
  std::error_code error;
  fs::directory_iterator it(folder_, error);
  if (error) return;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    if (!files::isTemporaryName(name)) continue;
    // "x.mid.tmp.PID.N": a writer that is still alive may finish it.
    const auto at = name.rfind(".tmp.") + 5;
    const long pid = std::strtol(name.c_str() + at, nullptr, 10);
    if (pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
      continue;
    if (pid == ::getpid()) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

}  // namespace orvo
