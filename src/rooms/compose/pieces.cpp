#include "rooms/compose/pieces.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include "compose/band.h"
#include "compose/insights.h"
#include "compose/midi-file-reader.h"
#include "compose/midi-file-writer.h"
#include "compose/midi-take.h"
#include "compose/piece-names.h"
#include "compose/saved-piece.h"
#include "engine/room-services.h"
#include "platform/files.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

Pieces::Pieces(RoomServices& engine, Parts parts)
    : engine_(engine),
      parts_(std::move(parts)),
      folder_(parts_.baseDir / "ideas"),
      queue_(parts_.runtime.serial("orvo.ideas")) {
  files::makeFolders(folder_.folder());
  folder_.removeStaleTemporaries();
}

void Pieces::rememberUnknownLater() {
  if (!parts_.opt.fast) queue_.post([this] { rememberUnknown(); });
}

void Pieces::rememberUnknown() {
  std::vector<SavedPiece> known;
  {
    std::lock_guard guard(engine_.lock);
    known = savedPieces(engine_.memory().pieces);
  }
  double newest = -1e18;
  for (const SavedPiece& piece : known) newest = std::max(newest, piece.date);
  bool added = false;
  for (const auto& file : folder_.oldestFirst()) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error) continue;
    const double when =
        std::chrono::duration<double>(std::chrono::file_clock::to_sys(written).time_since_epoch())
            .count();
    // A piece is remembered a moment after it is written, so a remembered one is never newer.
    if (when <= newest) continue;
    auto take = takeFromMidiFile(file);
    if (!take || take->empty()) continue;
    const Analysis analysis = analyse(*take);
    SavedPiece piece{when, analysis.keyName(), rootPath(analysis),
                     static_cast<int>(std::trunc(analysis.length))};
    const bool same = std::any_of(known.begin(), known.end(), [&](const SavedPiece& other) {
      return other.key == piece.key && other.seconds == piece.seconds;
    });
    if (same) continue;  // remembered, though its file was written later (copied back)
    std::lock_guard guard(engine_.lock);
    nlohmann::json& pieces = engine_.memory().pieces;
    if (!pieces.is_array()) pieces = nlohmann::json::array();
    pieces.push_back(toJson(piece));
    while (pieces.size() > maxRemembered) pieces.erase(pieces.begin());
    added = true;
    engine_.logLine("remembered a piece the memory did not know: " + file.filename().string());
  }
  if (added) engine_.saveMemory();
}

std::optional<std::string> Pieces::saveIdea(const std::vector<RNote>& notes,
                                            const Analysis& analysis,
                                            const std::optional<std::string>& named,
                                            std::vector<std::string>* trackNames) {
  std::string style;
  double wallNow = 0;
  {
    std::lock_guard guard(engine_.lock);
    style = engine_.compose().bandStyle();
    wallNow = parts_.wallClock();
  }
  const std::string stem = named ? *named : ideaStem(wallNow, analysis.keyName());
  MidiTracks tracks = {{"Piano", notes}};
  for (auto& track : bandTracks(bandFull(notes, analysis, style, parts_.runtime.random())))
    tracks.push_back(std::move(track));
  std::erase_if(tracks, [](const auto& track) { return track.second.empty(); });
  const double bpm = analysis.beat && *analysis.beat > 0 ? 60.0 / *analysis.beat : 120.0;
  auto written = folder_.write(stem, midiFileBytes(bpm, tracks));
  if (!written) {
    const std::string problem = files::writeProblemWords(errno);
    engine_.logLine("could not save a piece in " + folder_.folder().string() + ": " + problem);
    std::lock_guard guard(engine_.lock);
    lastProblem_ = problem;
    return std::nullopt;
  }
  remember(analysis);
  if (trackNames) {
    trackNames->clear();
    for (const auto& track : tracks) trackNames->push_back(track.first);
  }
  return written;
}

void Pieces::remember(const Analysis& analysis) {
  std::lock_guard guard(engine_.lock);
  SavedPiece piece{parts_.wallClock(), analysis.keyName(), rootPath(analysis),
                   static_cast<int>(std::trunc(analysis.length))};
  nlohmann::json& pieces = engine_.memory().pieces;
  if (!pieces.is_array()) pieces = nlohmann::json::array();
  pieces.push_back(toJson(piece));
  while (pieces.size() > maxRemembered) pieces.erase(pieces.begin());
  if (!parts_.opt.fast) engine_.saveMemory();
}

void Pieces::saveLater(std::vector<RNote> notes,
                       std::function<void(const std::optional<std::string>& stem)> done) {
  queue_.post([this, notes = std::move(notes), done = std::move(done)] {
    done(saveIdea(notes, analyse(notes), std::nullopt));
  });
}

bool Pieces::waitForSaves(double seconds) {
  auto finished = parts_.runtime.makeSemaphore();
  queue_.post([finished] { finished->signal(); });
  return finished->wait(seconds);
}

std::optional<std::filesystem::path> Pieces::newestIdea() {
  return folder_.newest();
}

std::optional<std::vector<RNote>> Pieces::lastSavedIdea() {
  auto newest = folder_.newest();
  if (!newest) return std::nullopt;
  auto contents = midifile::readFile(*newest);
  // A file cut short (copied in part, a full disk) is no piece to stand in for a take.
  if (!contents || !contents->whole) return std::nullopt;
  return takeFromContents(*contents);
}

}  // namespace orvo
