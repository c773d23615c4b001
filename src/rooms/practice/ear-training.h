#pragma once
#include "engine/note-listener.h"
#include "platform/opt.h"
// Ear training: a note is sounded and the player finds it on the piano, five
// notes a round. While a round runs it takes the notes played at home (and
// the top key, which sounds the note again); every other note goes on to the
// jam and the remarks as before.
//
// Threads: every member with the engine's lock held, from the MIDI thread,
// the key reader or an activity; the sentences are spoken in activities.

#include <optional>
#include <string>

namespace orvo {

class RoomServices;
class Runtime;
class MidiIO;

class EarTraining final : public NoteListener {
 public:
  static constexpr int kRoundLength = 5;

  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
    Opt opt;
  };
  EarTraining(RoomServices& engine, Parts parts);

  // A new round: home without a word, then the explanation and the first note.
  void startEar();
  // Picks and sounds the next note.
  void nextEar();
  // Sounds the note being asked again.
  void playEar();
  // A note played at home: true when the round took it (it then goes nowhere
  // else), false when no round is running.
  bool earNote(int note);
  // A press at home goes to the round, before the jam hears it.
  bool hearNote(int pitch, int velocity) override;
  // A round is running (from its first sentence to its last note).
  bool running() const { return active_; }
  // Ends the round without a word (home, stop).
  void stop();
  // What the help key says while a round runs.
  static std::string helpText();

 private:
  // The note to ask as the `number`th of a round (1 for the first), never
  // the same as the last one asked.
  int pickNote(int number);

  RoomServices& engine_;
  Parts parts_;
  bool active_ = false;
  std::optional<int> target_;
  bool between_ = false;  // found: the sentence is being said, the next note is coming
  int round_ = 0;
  int misses_ = 0;
  int firstTry_ = 0;
  int token_ = 0;  // a round's activities act only while it is current
};

}  // namespace orvo
