// The song library as the player reaches it: choosing, listing, finding and
// dropping songs.

#include "compose/midi-file-reader.h"
#include "core/engine.h"
#include "core/json-file.h"
#include "lessons/song-library.h"
#include "platform/files.h"

namespace orvo {

void Engine::loadSongs() {
  auto songs =
      library::load(parts_.songFolders, dataFile("library.txt"),
                    [](const std::filesystem::path& file) { return midifile::load(file); });
  std::map<std::string, int> progress;
  if (auto stored = jsonfile::readObject(dataFile("progress.json"))) {
    for (auto& [name, value] : stored->items()) {
      if (value.is_number_integer()) progress[name] = value.get<int>();
    }
  }
  std::string hands = files::trim(files::readFile(dataFile("hands.txt")).value_or(""));
  std::string last = files::trim(files::readFile(dataFile("last-song.txt")).value_or(""));
  std::lock_guard guard(lock);
  songs_ = std::move(songs);
  progress_ = std::move(progress);
  if (hands == "right" || hands == "left" || hands == "both") handsOnly_ = hands;
  songIdx_ = 0;
  for (std::size_t i = 0; i < songs_.size(); ++i) {
    if (songs_[i].name == last) songIdx_ = static_cast<int>(i);
  }
}

void Engine::chooseSong(int index) {
  std::lock_guard guard(lock);
  if (index < 0 || index >= static_cast<int>(songs_.size())) return;
  autosaveTake();
  jazzIdx_.reset();
  songIdx_ = index;
  const Song& song = songs_[static_cast<std::size_t>(index)];
  if (!parts_.opt.fast) files::writeFileAtomically(dataFile("last-song.txt"), song.name);
  lesson_.emplace(song, handsOnly_);
  std::erase(mem_.dropped, song.name);
  const int units = static_cast<int>(lesson_->units.size());
  auto stored = progress_.find(song.name);
  unitIdx_ = std::clamp(stored == progress_.end() ? 0 : stored->second, 0, std::max(0, units - 1));
  setMode(Mode::teach);
  mem_.lastSong = song.name;
  saveMemory();
  review_.reset();

  std::string sentence;
  std::optional<Unit> warmUp;
  if (unitIdx_ >= 1 && !parts_.opt.fast && reviewed_.insert(song.name).second) {
    for (int u = unitIdx_ - 1; u >= 0 && !warmUp; --u) {
      const Unit& unit = lesson_->units[static_cast<std::size_t>(u)];
      if (unit.from == unit.to && (unit.hand == 2 || !lesson_->bothHands())) warmUp = unit;
    }
  }
  if (warmUp) {
    review_ = warmUp;
    sentence = song.name + ". " + pick({"Warm up first, from memory. ", "First, from memory. "});
  } else if (unitIdx_ >= 1) {
    const Unit& unit = lesson_->units[static_cast<std::size_t>(unitIdx_)];
    sentence = song.name + ". " + pick({"Carrying on at", "Back to", "Picking up at"}) + " part " +
               std::to_string(unit.to + 1) + " of " + std::to_string(lesson_->partCount()) + ". ";
  } else {
    sentence = song.name + "." + (song.fact.empty() ? "" : " " + song.fact) + " " +
               std::to_string(lesson_->partCount()) + " short parts." +
               (lesson_->bothHands() ? " Each one goes right hand, left hand, then both." : "") +
               intro("howlesson",
                     " How this works. I play a short part, then tell you its notes, then you "
                     "play it. A knock means a wrong note. Miss the same note twice and I tell "
                     "you which note it is. I always say when you have it right. The second key "
                     "from the top repeats the notes whenever you like.") +
               " ";
  }
  present(sentence, true);
}

void Engine::listSongs() {
  std::string text;
  {
    std::lock_guard guard(lock);
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
  speak(text);
}

std::optional<int> Engine::songNamed(const Heard& heard) {
  std::lock_guard guard(lock);
  return library::findByName(songs_, heard.words);
}

void Engine::dropSong() {
  std::lock_guard guard(lock);
  if (songIdx_ < 0 || songIdx_ >= static_cast<int>(songs_.size())) return;
  const std::string& name = songs_[static_cast<std::size_t>(songIdx_)].name;
  if (mem_.drop(name)) saveMemory();
  logLine("dropped: " + name);
  speak("Dropped " + name + " from your songs.");
}

std::vector<std::string> Engine::songTitles() {
  std::lock_guard guard(lock);
  std::vector<std::string> titles;
  for (const auto& song : songs_) titles.push_back(song.name);
  return titles;
}

std::optional<Lesson> Engine::currentLesson() {
  std::lock_guard guard(lock);
  return lesson_;
}

int Engine::currentUnit() {
  std::lock_guard guard(lock);
  return unitIdx_;
}

}  // namespace orvo
