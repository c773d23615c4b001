#include "lessons/song-library.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <sstream>

#include "lessons/plain-words.h"
#include "lessons/song-reader.h"
#include "lessons/tune.h"
#include "platform/files.h"

namespace orvo {

std::vector<Step> makeSteps(std::vector<SNote> notes, double gap) {
  std::stable_sort(notes.begin(), notes.end(),
                   [](const SNote& a, const SNote& b) { return a.beat < b.beat; });
  std::vector<Step> steps;
  for (const SNote& note : notes) {
    if (!steps.empty() && note.beat - steps.back().beat < gap) {
      auto& pitches = steps.back().pitches;
      if (std::find(pitches.begin(), pitches.end(), note.pitch) == pitches.end()) {
        pitches.push_back(note.pitch);
      }
    } else {
      steps.push_back({note.beat, {note.pitch}});
    }
  }
  for (auto& step : steps) std::sort(step.pitches.begin(), step.pitches.end());
  return steps;
}

namespace library {
namespace {

std::optional<int> wholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < -1000000 || value > 1000000) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::vector<LibraryRule> rules(const std::filesystem::path& file) {
  std::vector<LibraryRule> found;
  auto text = files::readFile(file);
  if (!text) return found;
  std::istringstream lines(*text);
  for (std::string line; std::getline(lines, line);) {
    if (files::trim(line).empty() || line.rfind("#", 0) == 0) continue;
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '|');) {
      field = files::trim(field);
      if (!field.empty()) fields.push_back(field);
    }
    if (fields.size() < 2) continue;
    auto level = wholeNumber(fields[1]);
    if (!level) continue;
    found.push_back({lowerCase(fields[0]), *level, fields.size() > 2 ? fields[2] : "",
                     fields.size() > 3 ? fields[3] : ""});
  }
  return found;
}

std::string cleanTitle(const std::string& fileName) {
  std::string name = fileName;
  if (auto open = name.rfind('(');
      open != std::string::npos && name.find(')', open) == std::string::npos) {
    name = name.substr(0, open);
  }
  for (const char* noise : {"(Sheet Music)", "(Official Audio)", "(Audio)", "(1)", "(2)"}) {
    for (auto at = name.find(noise); at != std::string::npos; at = name.find(noise)) {
      name.erase(at, std::string(noise).size());
    }
  }
  std::vector<std::string> words;
  std::istringstream split(name);
  for (std::string word; split >> word;) words.push_back(word);
  while (words.size() >= 2 && words.back().size() == 1 &&
         std::isdigit(static_cast<unsigned char>(words.back()[0]))) {
    words.pop_back();
  }
  std::string joined;
  for (const auto& word : words) joined += (joined.empty() ? "" : " ") + word;
  auto first = joined.find_first_not_of(" -");
  if (first == std::string::npos) return "";
  return joined.substr(first, joined.find_last_not_of(" -") - first + 1);
}

int guessLevel(const Song& song) {
  double last = 0;
  for (const auto& note : song.notes) last = std::max(last, note.beat);
  if (song.notes.empty() || last <= 0 || song.bpm <= 0) return 1;
  double rate = static_cast<double>(song.notes.size()) / (last * 60.0 / song.bpm);
  std::vector<SNote> right;
  for (const auto& note : song.notes) {
    if (note.hand == 0) right.push_back(note);
  }
  int big = 0;
  for (const auto& step : makeSteps(right, 0.04)) big += step.pitches.size() >= 3 ? 1 : 0;
  if (rate < 2.5) return big > 20 ? 2 : 1;
  if (rate < 4.5) return big > 20 ? 3 : 2;
  if (rate < 7) return big > 20 ? 4 : 3;
  return big > 20 || rate >= 10 ? 5 : 4;
}

std::optional<Song> fromTracks(std::vector<SongTrack> tracks, double bpm,
                               const std::string& onlyTrack) {
  if (!onlyTrack.empty()) {
    std::string wanted = lowerCase(onlyTrack);
    std::erase_if(tracks, [&](const SongTrack& track) { return track.name != wanted; });
  }
  std::erase_if(tracks, [](const SongTrack& track) { return track.notes.empty(); });
  Song song;
  song.bpm = bpm > 0 ? bpm : 120;
  if (tracks.empty()) return song;
  auto has = [](const std::string& name, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char* word) { return name.find(word) != std::string::npos; });
  };
  if (tracks.size() == 1) {
    for (auto note : tracks[0].notes) {
      note.hand = note.pitch < 60 ? 1 : 0;
      song.notes.push_back(note);
    }
    song.remark = "Hands are split at middle C.";
    return song;
  }
  std::vector<double> means;
  for (const auto& track : tracks) {
    double sum = 0;
    for (const auto& note : track.notes) sum += note.pitch;
    means.push_back(sum / static_cast<double>(track.notes.size()));
  }
  const double middle = (*std::min_element(means.begin(), means.end()) +
                         *std::max_element(means.begin(), means.end())) /
                        2;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    int hand;
    if (has(tracks[t].name, {"right", "upper", "treble"})) {
      hand = 0;
    } else if (has(tracks[t].name, {"left", "lower", "bass"})) {
      hand = 1;
    } else {
      hand = means[t] < middle ? 1 : 0;
    }
    for (auto note : tracks[t].notes) {
      note.hand = hand;
      song.notes.push_back(note);
    }
  }
  return song;
}

std::vector<Song> load(const std::vector<std::filesystem::path>& songFolders,
                       const std::filesystem::path& rulesFile, const FileLoader& loadFile,
                       const std::string& cache) {
  std::vector<Song> songs = builtInSongs();
  LibraryReader reader(songFolders, rulesFile, parseCache(cache), loadFile);
  while (!reader.done()) addSongs(songs, reader.next(1000));
  return songs;
}

std::optional<int> findByName(const std::vector<Song>& songs,
                              const std::vector<std::string>& words) {
  static const std::set<std::string> fillers = {
      "the",  "a",     "an",        "of",      "in",   "to",    "me",   "and",  "no",  "op",
      "song", "piece", "complete",  "opening", "only", "theme", "from", "you",  "i",   "on",
      "with", "it",    "is",        "like",    "what", "feels", "last", "are",  "can", "play",
      "make", "sound", "something", "have",    "my",   "your",  "that", "this", "do",  "for"};
  static const std::set<std::string> weak = {"prelude", "major", "minor", "sonata",
                                             "theme",   "life",  "main",  "flat",
                                             "state",   "mind",  "one",   "night"};
  auto keep = [&](const std::string& word) { return word.size() > 1 && !fillers.count(word); };
  std::set<std::string> heard;
  for (const auto& word : words) {
    if (keep(word)) heard.insert(word);
  }
  std::optional<int> best;
  double bestScore = 0;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    std::string name = songs[i].name;
    std::replace(name.begin(), name.end(), '-', ' ');
    std::vector<std::string> title;
    for (const auto& word : plainWords(name)) {
      if (keep(word)) title.push_back(word);
    }
    if (title.empty()) continue;
    std::vector<std::string> matched;
    double total = 0;
    for (const auto& word : title) {
      if (heard.count(word)) {
        matched.push_back(word);
        total += weak.count(word) ? 0.4 : 1.0;
      }
    }
    if (matched.empty()) continue;
    if (title.size() >= 3 && matched.size() == 1) {
      const std::string& only = matched[0];
      static const std::set<std::string> tooCommon = {"prelude", "sonata", "moonlight",
                                                      "composition"};
      if (only.size() < 6 || tooCommon.count(only)) continue;
    }
    if (total < 1.0) continue;
    double score = total * 0.3 + total / static_cast<double>(title.size());
    if (!best || score > bestScore) {
      best = static_cast<int>(i);
      bestScore = score;
    }
  }
  return best;
}

}  // namespace library
}  // namespace orvo
