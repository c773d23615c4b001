#pragma once
// Music made for the player: a piece made up in a mood ("play me something
// sad"), the latest piece re-dressed ("make it a lullaby"), the album of
// saved pieces, "surprise me", a music joke, and a library song performed
// with the band.
//
// Threads: the requests run with the engine lock held and start activities;
// the pieces are made, read and played in those activities.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compose/moods.h"
#include "compose/rnote.h"
#include "sound/ev.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class Runtime;

class Gifts {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    std::function<std::optional<std::vector<Ev>>(const std::string&)> pianoSpeech;
  };
  Gifts(RoomServices& engine, Parts parts) : engine_(engine), parts_(std::move(parts)) {}

  // The mood named in a request, or nothing.
  std::optional<Mood> mood(const Heard& heard);
  // A piece made up in the mood (a random one without), introduced and played.
  void performGift(std::optional<Mood> mood);
  // The piece a restyle or a surprise works on: the take, the last stretch of
  // playing, or the last saved idea. File I/O: in an activity, no lock held.
  std::optional<std::vector<RNote>> latestPiece();
  void restyle(const std::string& style);
  // Plays a prepared piece with the band under the caption "Playing " + title.
  void perform(std::vector<RNote> notes, const std::string& title);
  void playAlbum();
  void surprise();
  void joke();

  // The last piece made up, what mood it was in and when.
  std::optional<std::vector<RNote>> lastGift() const { return lastGift_; }
  std::string giftName() const { return giftName_; }

  static const std::vector<std::string>& jokes();

 private:
  // In an activity: make up, introduce and play.
  void giveIn(int gen, const Mood& mood);
  void restyleIn(int gen, const std::string& style, std::vector<RNote> piece);
  // Plays notes with their band, the piano mixed in, until done or cut off.
  void playWithBand(int gen, const std::vector<RNote>& notes, const std::vector<RNote>& band);

  RoomServices& engine_;
  Parts parts_;
  std::optional<std::vector<RNote>> lastGift_;
  std::string giftName_;
  double giftAt_ = 0;
};

}  // namespace orvo
