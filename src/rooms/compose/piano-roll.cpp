#include "rooms/compose/piano-roll.h"
#include "engine/line-routes.h"

#include <algorithm>

#include "engine/room-services.h"
#include "platform/files.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

PianoRoll::PianoRoll(RoomServices& engine) : engine_(engine) {
  engine_.lineRoutes().prefix("play", [this](const std::string& rest) {
    std::lock_guard guard(engine_.lock);
    playFile(files::trim(rest));
  });
}

std::vector<std::string> PianoRoll::rollLines(const std::vector<RollNote>& notes) {
  std::vector<std::string> out;
  std::string line = std::string(lines::rollNew) + " ";
  const std::size_t start = line.size();
  for (const RollNote& note : notes) {
    if (line.size() + 64 > maxLineBytes) {
      out.push_back(std::move(line));
      line = std::string(lines::rollMore) + " ";
    }
    appendRollRecord(line, note);
  }
  if (line.size() > start || out.empty()) out.push_back(std::move(line));
  return out;
}

std::vector<Ev> PianoRoll::rollEvents(const std::vector<RollNote>& notes) {
  std::vector<Ev> events;
  events.reserve(notes.size() * 2);
  for (const RollNote& note : notes) {
    const auto ch = static_cast<std::uint8_t>(note.ch & 15);
    const auto pitch = static_cast<std::uint8_t>(std::clamp(note.pitch, 0, 127));
    const auto vel = static_cast<std::uint8_t>(std::clamp(note.vel, 1, 127));
    events.push_back({note.t, {static_cast<std::uint8_t>(0x90 | ch), pitch, vel}});
    // Every note sounds a moment, even one the file gives no length.
    const double off = note.t + std::max(note.dur, 0.02);
    events.push_back({off, {static_cast<std::uint8_t>(0x80 | ch), pitch, 0}});
  }
  // A release due with a new strike of the same key goes first.
  std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) {
    if (a.t != b.t) return a.t < b.t;
    return (a.bytes[0] & 0xF0) < (b.bytes[0] & 0xF0);
  });
  return events;
}

void PianoRoll::playFile(const std::filesystem::path& file) {
  engine_.compose().autosaveTake();
  if (file.empty()) {
    engine_.speak("Which file? Type play and the path of a MIDI file.");
    return;
  }
  engine_.run([this, file](int gen) {
    auto notes = readMIDIForRoll(file);
    if (!notes) {
      engine_.logLine("could not read " + file.string());
      engine_.say("I could not read that file.", gen);
      return;
    }
    if (notes->empty()) {
      engine_.say("That file has no notes in it.", gen);
      return;
    }
    {
      std::lock_guard guard(engine_.lock);
      if (!engine_.alive(gen)) return;
      engine_.compose().silenceLiveBand();
      for (const std::string& line : rollLines(*notes)) engine_.ui(line);
    }
    engine_.logLine("playing " + file.string() + ", " + std::to_string(notes->size()) + " notes");
    engine_.play(rollEvents(*notes), gen);
    engine_.ui(lines::rollStop);
  });
}

}  // namespace orvo
