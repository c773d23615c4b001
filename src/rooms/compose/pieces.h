#pragma once
// The player's saved pieces: each saved as a MIDI file in the ideas folder
// (the take on its Piano track, the band on tracks of its own) and
// remembered in the memory's "pieces" (at most 200, the oldest dropped).
//
// Threads: saveIdea, newestIdea and lastSavedIdea do file I/O: call them from
// activities or the ideas queue, never with the engine lock held (they take
// it briefly). saveLater may be called with the lock held: the work runs on
// the serial queue "orvo.ideas", in order.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compose/analysis.h"
#include "compose/ideas-folder.h"
#include "compose/rnote.h"
#include "platform/opt.h"
#include "platform/runtime.h"

namespace orvo {

class RoomServices;
class Runtime;

class Pieces {
 public:
  static constexpr std::size_t maxRemembered = 200;

  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    Opt opt;
    std::function<double()> wallClock;  // seconds since 1970
    std::filesystem::path baseDir;      // the data folder
  };
  Pieces(RoomServices& engine, Parts parts);

  // Writes the piece (never over another) and remembers it: the stem of the
  // file written, or nothing when it could not be written. `tracks`, when
  // given, gets the names of the tracks the file holds, in order.
  std::optional<std::string> saveIdea(const std::vector<RNote>& notes, const Analysis& analysis,
                                      const std::optional<std::string>& named,
                                      std::vector<std::string>* tracks = nullptr);
  // Analyses and saves on the ideas queue; `done` gets the stem (or nothing)
  // there, with no lock held.
  void saveLater(std::vector<RNote> notes,
                 std::function<void(const std::optional<std::string>& stem)> done);
  // A kill between writing a piece and remembering it leaves a piece the
  // memory does not know: those newer than the newest remembered piece (and
  // unlike every remembered one) are remembered now, their key and length
  // from the file.
  void rememberUnknown();
  // The same on the ideas queue: once a session has started.
  void rememberUnknownLater();
  // Waits until every save asked for so far is done (an orderly quit).
  bool waitForSaves(double seconds);

  std::optional<std::filesystem::path> newestIdea();
  // The piano of the newest idea as a take; nothing when there is none or
  // it is not whole.
  std::optional<std::vector<RNote>> lastSavedIdea();
  IdeasFolder& folder() { return folder_; }
  // Why the last save failed, in plain words (under the engine lock).
  const std::string& lastProblem() const { return lastProblem_; }

 private:
  void remember(const Analysis& analysis);

  RoomServices& engine_;
  Parts parts_;
  IdeasFolder folder_;
  SerialQueue& queue_;
  std::string lastProblem_ = "the file could not be written";
};

}  // namespace orvo
