#include "lessons/song-reader.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "lessons/plain-words.h"

namespace orvo::library {
namespace {

template <typename Number>
bool readNumber(std::string_view& text, Number& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() + text.size() || *end != ' ') return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
  return true;
}

const LibraryRule* ruleFor(const std::vector<LibraryRule>& rules, const std::string& stem) {
  const std::string lowered = lowerCase(stem);
  for (const auto& rule : rules) {
    if (lowered.find(rule.match) != std::string::npos) return &rule;
  }
  return nullptr;
}

// A song's entry in the listing: its title and level from the library's
// rules, else from a level folder ("2 Moderately easy/"), else from its notes.
std::optional<Song> entry(const std::filesystem::path& path, const std::filesystem::path& folder,
                          const std::vector<LibraryRule>& rules, const FileFacts& facts) {
  if (!facts.teachable) return std::nullopt;
  const std::string stem = path.stem().string();
  const LibraryRule* rule = ruleFor(rules, stem);
  Song song;
  song.name = rule && !rule->title.empty() ? rule->title : cleanTitle(stem);
  if (song.name.empty()) return std::nullopt;
  if (rule && rule->level >= 1 && rule->level <= 5) {
    song.level = rule->level;
  } else if (std::string parent = path.parent_path().filename().string();
             path.parent_path() != folder && !parent.empty() && parent[0] >= '1' &&
             parent[0] <= '5') {
    song.level = parent[0] - '0';
  } else {
    song.level = std::clamp(facts.level, 1, 5);
  }
  song.fact = rule ? rule->fact : "";
  song.file = path;
  return song;
}

}  // namespace

SongCache parseCache(std::string_view text) {
  SongCache cache;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    FileFacts facts;
    int teachable = 0;
    if (!readNumber(line, facts.size) || !readNumber(line, facts.modified) ||
        !readNumber(line, teachable) || !readNumber(line, facts.level) || line.empty() ||
        (teachable != 0 && teachable != 1) || facts.level < 1 || facts.level > 5) {
      continue;
    }
    facts.teachable = teachable == 1;
    cache[std::string(line)] = facts;
  }
  return cache;
}

std::string cacheText(const SongCache& cache) {
  std::vector<const SongCache::value_type*> entries;
  for (const auto& item : cache) {
    if (item.first.find('\n') == std::string::npos) entries.push_back(&item);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto* a, const auto* b) { return a->first < b->first; });
  std::string text;
  for (const auto* item : entries) {
    const FileFacts& facts = item->second;
    text += std::to_string(facts.size) + ' ' + std::to_string(facts.modified) + ' ' +
            (facts.teachable ? "1 " : "0 ") + std::to_string(facts.level) + ' ' + item->first +
            '\n';
  }
  return text;
}

std::vector<std::filesystem::path> songFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::string extension = lowerCase(it->path().extension().string());
    if ((extension == ".mid" || extension == ".midi") &&
        it->path().stem().string().rfind(".", 0) != 0) {
      paths.push_back(it->path());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

LibraryReader::LibraryReader(std::vector<std::filesystem::path> folders,
                             const std::filesystem::path& rulesFile, SongCache cache,
                             FileLoader loadFile)
    : folders_(std::move(folders)),
      rules_(rules(rulesFile)),
      cache_(std::move(cache)),
      loadFile_(std::move(loadFile)) {}

std::vector<Song> LibraryReader::next(std::size_t count) {
  std::vector<Song> songs;
  while (count > 0 && !done()) {
    if (!folderOpen_) {
      paths_ = songFiles(folders_[folder_]);
      path_ = 0;
      folderOpen_ = true;
    }
    if (path_ >= paths_.size()) {
      ++folder_;
      folderOpen_ = false;
      continue;
    }
    const std::filesystem::path& path = paths_[path_++];
    --count;
    ++filesRead_;
    std::error_code error;
    FileFacts facts;
    facts.size = std::filesystem::file_size(path, error);
    if (error) continue;
    facts.modified = std::filesystem::last_write_time(path, error).time_since_epoch().count();
    if (error) continue;
    const std::string key = path.string();
    if (auto known = cache_.find(key); known != cache_.end() && known->second.size == facts.size &&
                                       known->second.modified == facts.modified) {
      facts = known->second;
    } else if (auto song = loadFile_(path)) {
      facts.teachable = !song->notes.empty();
      facts.level = facts.teachable ? guessLevel(*song) : 1;
    } else {
      continue;  // unreadable now, perhaps not next time: not cached
    }
    seen_[key] = facts;
    if (auto song = entry(path, folders_[folder_], rules_, facts))
      songs.push_back(std::move(*song));
  }
  return songs;
}

std::optional<Song> withNotes(const Song& listed, const FileLoader& loadFile) {
  if (!listed.notesToRead()) return listed;
  auto song = loadFile(listed.file);
  if (!song || song->notes.empty()) return std::nullopt;
  song->name = listed.name;
  song->level = listed.level;
  song->fact = listed.fact;
  song->file = listed.file;
  return song;
}

void addSongs(std::vector<Song>& listing, std::vector<Song> more) {
  std::set<std::string> taken;
  for (const auto& song : listing) taken.insert(lowerCase(song.name));
  for (auto& song : more) {
    if (taken.insert(lowerCase(song.name)).second) listing.push_back(std::move(song));
  }
  std::stable_sort(listing.begin(), listing.end(),
                   [](const Song& a, const Song& b) { return a.level < b.level; });
}

}  // namespace orvo::library
