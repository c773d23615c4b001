// The song menu on the piano's keys.

#include "rooms/menu/menu-room.h"
#include "sound/midi-io.h"

#include "compose/midi-file-reader.h"
#include "engine/room-services.h"
#include "lessons/jazz-course.h"
#include "lessons/menu-layout.h"
#include "lessons/song-reader.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"

namespace orvo {

MenuRoom::MenuRoom(RoomServices& engine, Parts parts) : engine_(engine), parts_(std::move(parts)) {}

std::string MenuRoom::helpText() {
  return "Song menu. Five octaves, starting two octaves below middle C. The lowest is easy and "
         "each octave up is harder. Press a key to hear a song, and press it again to learn it. "
         "The octave below the easy songs is the jazz course. Counting white keys down from the "
         "top, with the computer key after each. One, or space, starts the song you just heard. "
         "Two, or n, counts the songs. Three and four, or the arrow keys, step through the songs "
         "one at a time. Eight, or h, this help. The second lowest white key, or zero, goes "
         "home.";
}

void MenuRoom::leave() {
  menuPick_.reset();
  menuJazz_.reset();
}

void MenuRoom::openMenu() {
  std::lock_guard guard(engine_.lock);
  engine_.compose().autosaveTake();
  engine_.compose().stopRound();
  engine_.setMode(Mode::menu);  // the lesson left puts its pass and accompaniment to rest
  menuPick_.reset();
  menuJazz_.reset();
  parts_.midi.allOff();
  sendLayout();
  const std::string reading = engine_.lessons().stillReading().value_or("");
  engine_.speak(
      "Song menu." + (reading.empty() ? "" : " " + reading) +
      engine_.intro("menu",
                    " Five octaves, starting two octaves below middle C. The lowest octave is "
                    "easy, and each octave up is harder. Press any key to hear a song. Press it "
                    "again to learn it.") +
      engine_.intro("menujazz",
                    " The octave below the easy songs is the jazz course, one lesson per white "
                    "key."));
}

// One window line a level, so a helper's screen can show which key holds what.
void MenuRoom::sendLayout() {
  const auto& songs = engine_.lessons().songList();
  const auto buttons = engine_.keys().commandKeys();
  std::array<std::string, 5> levels;
  for (int i = 0; i < static_cast<int>(songs.size()); ++i) {
    const auto key = menuKey(songs, i, buttons);
    if (!key) continue;
    auto& line = levels[static_cast<std::size_t>(songs[static_cast<std::size_t>(i)].level - 1)];
    line += (line.empty() ? "" : "|") + std::to_string(*key) + " " +
            songs[static_cast<std::size_t>(i)].name;
  }
  for (int level = 1; level <= 5; ++level)
    engine_.ui(lines::menuLevel(level, levels[static_cast<std::size_t>(level - 1)]));
  std::string jazz;
  const auto& lessons = jazzLessons();
  for (std::size_t i = 0; i < lessons.size() && i < jazzMenuKeys.size(); ++i)
    jazz += (i ? "|" : "") + std::to_string(jazzMenuKeys[i]) + " " + lessons[i].title;
  engine_.ui(lines::menuLevel(0, jazz));
}

void MenuRoom::announceJazz(int lesson, bool withStart) {
  menuJazz_ = lesson;
  menuPick_.reset();
  const bool here = engine_.memory().jazzLesson == lesson;
  engine_.speak("Jazz lesson " + std::to_string(lesson + 1) + ". " +
                jazzLessons()[static_cast<std::size_t>(lesson)].title + "." +
                (here ? " This is where you are." : "") +
                (withStart ? " The top key starts it." : ""));
}

void MenuRoom::note(int pitch) {
  if (auto lesson = menuJazzLesson(pitch)) {
    if (menuJazz_ == *lesson) return engine_.jazz().startJazz(*lesson);
    return announceJazz(*lesson, false);
  }
  const auto& songs = engine_.lessons().songList();
  const auto song = menuSong(songs, pitch, engine_.keys().commandKeys());
  if (!song) return;  // a key with nothing on it does nothing
  if (menuPick_ == songs[static_cast<std::size_t>(*song)].name)
    return engine_.lessons().chooseSong(*song);
  preview(*song);
}

void MenuRoom::preview(int index) {
  std::lock_guard guard(engine_.lock);
  const auto& songs = engine_.lessons().songList();
  if (index < 0 || index >= static_cast<int>(songs.size())) return;
  const Song& song = songs[static_cast<std::size_t>(index)];
  menuPick_ = song.name;
  menuJazz_.reset();
  std::string text = song.name + ". " +
                     levelNames()[static_cast<std::size_t>(std::clamp(song.level, 1, 5) - 1)] + ".";
  if (const int unit = engine_.lessons().storedUnit(song.name); unit > 0)
    text += " You are on step " + std::to_string(unit + 1) + ".";
  // A song from the player's files has its notes read here, off the lock.
  engine_.run([this, text, song](int gen) {
    const auto whole = library::withNotes(
        song, [](const std::filesystem::path& file) { return midifile::load(file); });
    std::vector<Ev> events;
    for (const PreviewNote& note : whole ? previewNotes(*whole) : std::vector<PreviewNote>{})
      addNote(events, note.on, 0, note.pitch, note.vel, note.off - note.on);
    sortByTime(events);
    engine_.say(whole ? text : text + " I couldn't read its file.", gen);
    engine_.play(events, gen);
  });
}

int MenuRoom::pickedSong() {
  auto& lessons = engine_.lessons();
  if (!menuPick_) return lessons.songIndex();
  return lessons.songIndexOf(*menuPick_).value_or(lessons.songIndex());
}

bool MenuRoom::button(int key) {
  const ButtonKeys& keys = engine_.keys();
  const int count = static_cast<int>(jazzLessons().size());
  if (key == keys.hear) {
    if (menuJazz_) {
      engine_.jazz().startJazz(*menuJazz_);
    } else {
      engine_.lessons().chooseSong(pickedSong());
    }
    return true;
  }
  if (key == keys.next || key == keys.back) {
    const int step = key == keys.next ? 1 : -1;
    if (menuJazz_) {
      announceJazz(((*menuJazz_ + step) % count + count) % count, true);
      return true;
    }
    const int songs = static_cast<int>(engine_.lessons().songList().size());
    if (songs == 0) {
      engine_.speak(
          "No songs yet. Put MIDI files in a folder called Orvo Songs, inside your Music folder.");
      return true;
    }
    const int from = pickedSong();
    preview(((from + step) % songs + songs) % songs);
    return true;
  }
  if (key == keys.notes) {
    const std::string reading = engine_.lessons().stillReading().value_or("");
    engine_.speak(menuSummary(engine_.lessons().songList()) +
                  (reading.empty() ? "" : " " + reading));
    return true;
  }
  return false;
}

}  // namespace orvo
