#include "rooms/practice/ear-training.h"
#include "sound/cues.h"
#include "sound/midi-io.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "engine/room-services.h"
#include "lessons/music-words.h"
#include "platform/random.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"

namespace orvo {
namespace {

// The first two notes of a round: the C major scale from middle C.
constexpr std::array<int, 8> kFirstNotes = {60, 62, 64, 65, 67, 69, 71, 72};
constexpr int kLow = 55;   // G3
constexpr int kHigh = 76;  // E5
constexpr double kHold = 0.8;

}  // namespace

EarTraining::EarTraining(RoomServices& engine, Parts parts)
    : engine_(engine), parts_(std::move(parts)) {}

std::string EarTraining::helpText() {
  return "Ear training. I play a note, and you find it on the piano. Five notes a round. A "
         "knock means not that one. The top key, or space, plays the note again, and the second "
         "lowest white key, or zero, goes home.";
}

void EarTraining::startEar() {
  std::string text;
  int token;
  {
    std::lock_guard guard(engine_.lock);
    // Home without a word: the round is the only thing sounding.
    engine_.compose().autosaveTake();
    engine_.setMode(Mode::idle);
    parts_.midi.allOff();
    active_ = true;
    target_.reset();
    between_ = false;
    round_ = 0;
    firstTry_ = 0;
    token = ++token_;
    text = "Ear training. I play a note, you find it on the piano. Five notes." +
           engine_.intro("ear", " A knock means not that one. The top key plays it again.");
  }
  engine_.run([this, text, token](int gen) {
    engine_.say(text, gen);
    // Cut short by something else said, the round still starts; going home
    // or stopping ends it.
    std::lock_guard guard(engine_.lock);
    if (token == token_ && active_) nextEar();
  });
}

int EarTraining::pickNote(int number) {
  std::array<int, kHigh - kLow + 1> wide{};
  for (int i = 0; i < static_cast<int>(wide.size()); ++i)
    wide[static_cast<std::size_t>(i)] = kLow + i;
  const int* pool = number <= 2 ? kFirstNotes.data() : wide.data();
  const int size =
      number <= 2 ? static_cast<int>(kFirstNotes.size()) : static_cast<int>(wide.size());
  int index = parts_.runtime.random().below(size);
  // Never the same note twice in a row: three places on instead.
  if (target_ && pool[index] == *target_) index = (index + 3) % size;
  return pool[index];
}

void EarTraining::nextEar() {
  std::lock_guard guard(engine_.lock);
  if (!active_) return;
  ++round_;
  misses_ = 0;
  target_ = pickNote(round_);
  between_ = false;
  playEar();
}

void EarTraining::playEar() {
  std::lock_guard guard(engine_.lock);
  if (!target_ || between_ || parts_.opt.fast) return;
  const auto note = static_cast<std::uint8_t>(*target_);
  MidiIO& midi = parts_.midi;
  midi.send({0x90, note, 84});
  parts_.runtime.after(kHold, [&midi, note] { midi.send({0x80, note, 0}); });
}

bool EarTraining::hearNote(int pitch, int velocity) {
  return velocity > 0 && engine_.currentMode() == Mode::idle && earNote(pitch);
}

bool EarTraining::earNote(int note) {
  std::lock_guard guard(engine_.lock);
  if (!active_) return false;
  // Between two notes (or before the first) a note is taken but not judged.
  if (!target_ || between_) return true;
  const int target = *target_;
  if (note != target) {
    ++misses_;
    engine_.cues().knock();
    engine_.ui(lines::flashWrong);
    if (misses_ % 3 == 0) {
      engine_.speak(note % 12 == target % 12 ? "Right note, wrong octave."
                    : target > note          ? "Higher."
                                             : "Lower.");
    }
    return true;
  }
  const std::string name = flatNames()[static_cast<std::size_t>(target % 12)];
  std::string sentence;
  if (misses_ == 0) {
    ++firstTry_;
    sentence = engine_.pick(
        {"Yes, first try. " + name + ".", name + ". Straight to it.", "Right away. " + name + "."});
  } else {
    sentence = "Yes. " + name + ".";
  }
  engine_.ui(lines::flashGood);
  if (round_ < kRoundLength) {
    between_ = true;
    const int token = token_;
    engine_.run([this, sentence, token](int gen) {
      engine_.say(sentence + " Next.", gen);
      // Interrupted or not, the round goes on unless it was ended.
      std::lock_guard guard(engine_.lock);
      if (token == token_ && active_) nextEar();
    });
    return true;
  }
  const int found = firstTry_;
  stop();
  engine_.speak(sentence + " That is five. " + std::to_string(found) + " on the first try. " +
                (found > 3 ? "Your ear is sharp." : "Say ear training to go again."));
  return true;
}

void EarTraining::stop() {
  std::lock_guard guard(engine_.lock);
  active_ = false;
  target_.reset();
  between_ = false;
  ++token_;
}

}  // namespace orvo
