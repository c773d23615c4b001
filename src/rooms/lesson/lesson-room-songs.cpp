// The song library as the player reaches it: choosing, listing, finding and
// dropping songs.

#include <algorithm>
#include <cstdio>

#include "compose/midi-file-reader.h"
#include "engine/room-services.h"
#include "lessons/song-library.h"
#include "lessons/song-reader.h"
#include "lessons/tune.h"
#include "platform/files.h"
#include "player/json-file.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"

namespace orvo {

namespace {

std::optional<Song> loadSongFile(const std::filesystem::path& file) {
  return midifile::load(file);
}

std::vector<Song> notDropped(const std::vector<Song>& library,
                             const std::vector<std::string>& dropped) {
  std::vector<Song> songs;
  songs.reserve(library.size());
  for (const auto& song : library) {
    if (std::find(dropped.begin(), dropped.end(), song.name) == dropped.end())
      songs.push_back(song);
  }
  return songs;
}

}  // namespace

// The built-in songs at once; the player's files on the global queue, so the
// greeting never waits for a big library.
void LessonRoom::loadSongs() {
  auto& parts = parts_;
  std::map<std::string, int> progress;
  if (auto stored = jsonfile::readDocument(parts.store, "progress.json")) {
    for (auto& [name, value] : stored->items()) {
      if (auto parts = jsonfile::wholeNumber(value, 0, 1'000'000)) progress[name] = *parts;
    }
  }
  std::string hands = files::trim(parts.store.read("hands.txt").value_or(""));
  std::string last = files::trim(parts.store.read("last-song.txt").value_or(""));
  std::lock_guard guard(engine_.lock);
  library_ = builtInSongs();
  progress_ = std::move(progress);
  if (hands == "right" || hands == "left" || hands == "both") handsOnly_ = hands;
  lastSong_ = last;
  applyDropped();
  findLastSong();
  if (parts.songFolders.empty()) return;
  readingSongs_ = true;
  parts.runtime.async([this] { readLibrary(); });
}

void LessonRoom::readLibrary() {
  auto& parts = parts_;
  const double start = parts.runtime.now();
  library::LibraryReader reader(
      parts.songFolders, parts.baseDir / "library.txt",
      library::parseCache(parts.store.read(library::kCacheFile).value_or("")), loadSongFile);
  std::vector<Song> listing = builtInSongs();
  const std::size_t builtIn = listing.size();
  double shown = start;
  while (!reader.done()) {
    library::addSongs(listing, reader.next(64));
    if (parts.runtime.now() - shown >= 0.25 && !reader.done()) {
      showSongs(listing, reader.filesRead(), false);
      shown = parts.runtime.now();
    }
  }
  const std::size_t found = listing.size() - builtIn;
  showSongs(listing, reader.filesRead(), true);
  if (reader.cacheChanged()) parts.store.write(library::kCacheFile, cacheText(reader.cache()));
  if (reader.filesRead() > 0) {
    char line[96];
    std::snprintf(line, sizeof line, "song files read: %d, %zu songs, in %.2f s",
                  reader.filesRead(), found, parts.runtime.now() - start);
    engine_.logLine(line);
  }
  // The window's recogniser learns the titles it may now hear.
  if (found > 0) engine_.ui(engine_.vocabLine());
}

// The copies are made off the engine's lock, so a note played meanwhile never
// waits for ten thousand titles to be copied.
void LessonRoom::showSongs(const std::vector<Song>& listing, int filesRead, bool done) {
  std::vector<std::string> dropped;
  {
    std::lock_guard guard(engine_.lock);
    dropped = engine_.memory().dropped;
  }
  std::vector<Song> library = listing;
  std::vector<Song> songs = notDropped(library, dropped);
  std::lock_guard guard(engine_.lock);
  const std::string chosen = currentTitle();
  library_.swap(library);
  songs_.swap(songs);
  songFilesRead_ = filesRead;
  readingSongs_ = !done;
  if (engine_.memory().dropped != dropped) {
    applyDropped();  // a drop came meanwhile
  } else {
    songIdx_ = songIndexOf(chosen).value_or(0);
  }
  findLastSong();
}

void LessonRoom::findLastSong() {
  if (lastSong_.empty()) return;
  if (auto at = songIndexOf(lastSong_)) songIdx_ = *at;
}

void LessonRoom::applyDropped() {
  std::lock_guard guard(engine_.lock);
  std::string chosen = currentTitle();
  songs_ = notDropped(library_, engine_.memory().dropped);
  songIdx_ = songIndexOf(chosen).value_or(0);
}

std::optional<int> LessonRoom::songIndexOf(const std::string& title) {
  std::lock_guard guard(engine_.lock);
  for (std::size_t i = 0; i < songs_.size(); ++i) {
    if (songs_[i].name == title) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<std::string> LessonRoom::stillReading() {
  std::lock_guard guard(engine_.lock);
  if (!readingSongs_) return std::nullopt;
  return "I'm still reading your songs, " + std::to_string(songFilesRead_) + " so far.";
}

void LessonRoom::readNotesThen(int index, std::function<void(int index)> then) {
  const Song listed = songs_[static_cast<std::size_t>(index)];
  engine_.run([this, listed, then = std::move(then)](int gen) {
    auto song = library::withNotes(listed, loadSongFile);
    std::lock_guard guard(engine_.lock);
    if (!engine_.alive(gen)) return;
    const auto at = songIndexOf(listed.name);
    if (!at || songs_[static_cast<std::size_t>(*at)].file != listed.file) return;
    if (!song) {
      engine_.speak("I couldn't read " + listed.name + ". Its file has gone or changed.");
      return;
    }
    songs_[static_cast<std::size_t>(*at)] = std::move(*song);
    then(*at);
  });
}

void LessonRoom::withSong(int index, std::function<void(const Song&)> then) {
  std::lock_guard guard(engine_.lock);
  if (index < 0 || index >= static_cast<int>(songs_.size())) return;
  if (!songs_[static_cast<std::size_t>(index)].notesToRead())
    return then(songs_[static_cast<std::size_t>(index)]);
  readNotesThen(index, [this, then = std::move(then)](int at) {
    then(songs_[static_cast<std::size_t>(at)]);
  });
}

void LessonRoom::chooseCurrent() {
  std::lock_guard guard(engine_.lock);
  // The last song of the previous run is not listed yet: it is not swapped for another.
  if (readingSongs_ && !lastSong_.empty() && !songIndexOf(lastSong_))
    return engine_.speak(*stillReading());
  chooseSong(songIdx_);
}

std::string LessonRoom::currentTitle() {
  std::lock_guard guard(engine_.lock);
  bool valid = songIdx_ >= 0 && songIdx_ < static_cast<int>(songs_.size());
  return valid ? songs_[static_cast<std::size_t>(songIdx_)].name : "";
}

void LessonRoom::chooseSong(int index) {
  std::lock_guard guard(engine_.lock);
  if (songs_.empty()) {
    engine_.speak(
        "There are no songs to learn. To add your own, put MIDI files in a folder called Orvo "
        "Songs, inside your Music folder.");
    return;
  }
  if (index < 0 || index >= static_cast<int>(songs_.size())) return;
  if (songs_[static_cast<std::size_t>(index)].notesToRead())
    return readNotesThen(index, [this](int at) { chooseSong(at); });
  engine_.jazz().endCourse();
  study_ = false;
  rest();  // a new song starts listening afresh, even from a pause
  songIdx_ = index;
  lastSong_.clear();  // chosen in this run
  const Song& song = songs_[static_cast<std::size_t>(index)];
  auto& parts = parts_;
  parts.store.write("last-song.txt", song.name);
  lesson_.emplace(song, handsOnly_);
  const int units = static_cast<int>(lesson_->units.size());
  auto stored = progress_.find(song.name);
  unitIdx_ = std::clamp(stored == progress_.end() ? 0 : stored->second, 0, std::max(0, units - 1));
  engine_.setMode(Mode::teach);
  engine_.memory().lastSong = song.name;
  engine_.saveMemory();
  review_.reset();

  std::string sentence;
  std::optional<Unit> warmUp;
  if (unitIdx_ >= 1 && reviewed_.insert(song.name).second) {
    for (int u = unitIdx_ - 1; u >= 0 && !warmUp; --u) {
      const Unit& unit = lesson_->units[static_cast<std::size_t>(u)];
      if (unit.from == unit.to && (unit.hand == 2 || !lesson_->bothHands())) warmUp = unit;
    }
  }
  if (warmUp) {
    review_ = warmUp;
    sentence =
        song.name + ". " + engine_.pick({"Warm up first, from memory. ", "First, from memory. "});
  } else if (unitIdx_ >= 1) {
    const Unit& unit = lesson_->units[static_cast<std::size_t>(unitIdx_)];
    sentence = song.name + ". " + engine_.pick({"Carrying on at", "Back to", "Picking up at"}) +
               " part " + std::to_string(unit.to + 1) + " of " +
               std::to_string(lesson_->partCount()) + ". ";
  } else {
    sentence =
        song.name + "." + (song.fact.empty() ? "" : " " + song.fact) + " " +
        std::to_string(lesson_->partCount()) + " short parts." +
        (lesson_->bothHands() ? " Each one goes right hand, left hand, then both." : "") +
        engine_.intro("howlesson",
                      " How this works. I play a short part, then tell you its notes, then you "
                      "play it. A knock means a wrong note. Miss the same note twice and I tell "
                      "you which note it is. I always say when you have it right. The second key "
                      "from the top repeats the notes whenever you like.") +
        " ";
  }
  present(sentence, true);
}

void LessonRoom::teachStudy(Song study, const std::string& prefix) {
  std::lock_guard guard(engine_.lock);
  rest();
  study_ = true;
  lesson_.emplace(std::move(study), "both");
  unitIdx_ = 0;
  engine_.setMode(Mode::teach);
  present(prefix, true);
}

void LessonRoom::listSongs() {
  std::string text = stillReading().value_or("");
  {
    std::lock_guard guard(engine_.lock);
    bool first = true;
    for (int level = 1; level <= 5; ++level) {
      std::string group;
      for (const auto& song : songs_) {
        if (song.level == level) group += (group.empty() ? "" : ", ") + song.name;
      }
      if (group.empty()) continue;
      text +=
          (first ? " " : ". ") + levelNames()[static_cast<std::size_t>(level - 1)] + ": " + group;
      first = false;
    }
    if (songs_.size() < 20 && !readingSongs_) {
      text +=
          " To add your own, put MIDI files in a folder called Orvo Songs, inside your Music "
          "folder.";
    }
  }
  engine_.speak(files::trim(text));
}

std::optional<int> LessonRoom::songNamed(const Heard& heard) {
  std::lock_guard guard(engine_.lock);
  return library::findByName(songs_, heard.words);
}

void LessonRoom::dropSong() {
  std::lock_guard guard(engine_.lock);
  if (songIdx_ < 0 || songIdx_ >= static_cast<int>(songs_.size())) return;
  const std::string name = songs_[static_cast<std::size_t>(songIdx_)].name;
  engine_.memory().drop(name);
  applyDropped();
  engine_.logLine("dropped: " + name);
  engine_.saveMemoryThenSay("Dropped " + name + " from your songs.");
}

std::vector<std::string> LessonRoom::songTitles() {
  std::lock_guard guard(engine_.lock);
  std::vector<std::string> titles;
  for (const auto& song : songs_) titles.push_back(song.name);
  return titles;
}

std::optional<Lesson> LessonRoom::currentLesson() {
  std::lock_guard guard(engine_.lock);
  return lesson_;
}

int LessonRoom::currentUnit() {
  std::lock_guard guard(engine_.lock);
  return unitIdx_;
}

}  // namespace orvo
