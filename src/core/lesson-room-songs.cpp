// The song library as the player reaches it: choosing, listing, finding and
// dropping songs.

#include <algorithm>

#include "compose/midi-file-reader.h"
#include "core/engine.h"
#include "core/jazz-room.h"
#include "core/json-file.h"
#include "core/lesson-room.h"
#include "lessons/song-library.h"
#include "platform/files.h"

namespace orvo {

void LessonRoom::loadSongs() {
  auto& parts = engine_.parts();
  auto songs =
      library::load(parts.songFolders, parts.baseDir / "library.txt",
                    [](const std::filesystem::path& file) { return midifile::load(file); });
  std::map<std::string, int> progress;
  if (auto stored = jsonfile::readDocument(parts.store, "progress.json")) {
    for (auto& [name, value] : stored->items()) {
      if (auto parts = jsonfile::wholeNumber(value, 0, 1'000'000)) progress[name] = *parts;
    }
  }
  std::string hands = files::trim(parts.store.read("hands.txt").value_or(""));
  std::string last = files::trim(parts.store.read("last-song.txt").value_or(""));
  std::lock_guard guard(engine_.lock);
  library_ = std::move(songs);
  progress_ = std::move(progress);
  if (hands == "right" || hands == "left" || hands == "both") handsOnly_ = hands;
  applyDropped();
  songIdx_ = 0;
  for (std::size_t i = 0; i < songs_.size(); ++i) {
    if (songs_[i].name == last) songIdx_ = static_cast<int>(i);
  }
}

void LessonRoom::applyDropped() {
  std::lock_guard guard(engine_.lock);
  const auto& dropped = engine_.memory().dropped;
  std::string chosen = currentTitle();
  songs_.clear();
  for (const auto& song : library_) {
    if (std::find(dropped.begin(), dropped.end(), song.name) == dropped.end())
      songs_.push_back(song);
  }
  songIdx_ = 0;
  for (std::size_t i = 0; i < songs_.size(); ++i) {
    if (songs_[i].name == chosen) songIdx_ = static_cast<int>(i);
  }
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
  engine_.jazz().endCourse();
  study_ = false;
  rest();  // a new song starts listening afresh, even from a pause
  songIdx_ = index;
  const Song& song = songs_[static_cast<std::size_t>(index)];
  auto& parts = engine_.parts();
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
  std::string text;
  {
    std::lock_guard guard(engine_.lock);
    for (int level = 1; level <= 5; ++level) {
      std::string group;
      for (const auto& song : songs_) {
        if (song.level == level) group += (group.empty() ? "" : ", ") + song.name;
      }
      if (group.empty()) continue;
      text += (text.empty() ? "" : ". ") + levelNames()[static_cast<std::size_t>(level - 1)] +
              ": " + group;
    }
    if (songs_.size() < 20) {
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
  if (engine_.memory().drop(name)) engine_.saveMemory();
  applyDropped();
  engine_.logLine("dropped: " + name);
  engine_.speak("Dropped " + name + " from your songs.");
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

std::optional<Song> LessonRoom::songAt(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= songs_.size()) return std::nullopt;
  return songs_[static_cast<std::size_t>(index)];
}

}  // namespace orvo
