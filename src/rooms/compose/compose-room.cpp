#include "rooms/compose/compose-room.h"
#include "platform/store.h"
#include "sound/midi-io.h"
#include "sound/sounds.h"
#include "sound/speech-output.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "compose/band.h"
#include "compose/beat.h"
#include "compose/insights.h"
#include "compose/saved-piece.h"
#include "compose/take.h"
#include "compose/variation.h"
#include "desks/studio-desk.h"
#include "engine/room-services.h"
#include "platform/window-lines.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/talk/ai-talk.h"

namespace orvo {

namespace {

std::string joinSentences(const std::string& summary, const std::vector<std::string>& remarks) {
  std::string text = summary;
  for (const std::string& remark : remarks) text += " " + remark;
  return text;
}

// What the saved file holds, said as the player will find it: "It has
// piano, bass, strings and cello tracks."; with Logic open, where to take it.
std::string tracksSentence(const std::vector<std::string>& tracks, bool logicOpen) {
  std::string list;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    std::string name = tracks[i];
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "drums") name = "drum";
    list += (i == 0 ? "" : i + 1 == tracks.size() ? " and " : ", ") + name;
  }
  const std::string kind = tracks.size() == 1 ? " track." : " tracks.";
  return logicOpen ? "Drag it into Logic for " + list + kind : "It has " + list + kind;
}

}  // namespace

ComposeRoom::ComposeRoom(RoomServices& engine, Parts parts)
    : engine_(engine),
      parts_(std::move(parts)),
      // The echoes wake on a thread of their own, real-time where allowed, so
      // they are never held up behind the runtime's other timers.
      echoAlarm_(
          parts_.runtime.makeOwnThreadAlarm([this] { sendDueEchoes(); }, kEchoes, &echoWhyNormal_)),
      pieces_(engine, {.runtime = parts_.runtime,
                       .opt = parts_.opt,
                       .wallClock = parts_.wallClock,
                       .baseDir = parts_.baseDir}),
      naming_(engine, {.window = parts_.window, .opt = parts_.opt}),
      roll_(engine),
      gifts_(engine, {.runtime = parts_.runtime, .pianoSpeech = parts_.pianoSpeech}) {
  if (!echoWhyNormal_.empty())
    engine_.logLine("the echo's clock runs at normal priority: " + echoWhyNormal_);
  bandStyle_ = bandStyleFrom(parts_.store.read("band-style-2.txt").value_or(""));
  parts_.sounds.setClassic(bandStyle_ == "classic");
}

ComposeRoom::~ComposeRoom() = default;

void ComposeRoom::leave() {
  autosaveTake();
  naming_.stop();
  roundOn_ = false;
  resumeUntil_ = 0;
}

std::vector<RNote> ComposeRoom::currentTake() {
  return tidyTake(history_.notes(takeStart_, engine_.now()));
}

void ComposeRoom::markSaved(int number, bool close) {
  std::lock_guard guard(engine_.lock);
  if (number != takeNumber_) return;
  takeSaved_ = true;
  if (close) takeClosed_ = true;
}

std::string ComposeRoom::helpText() {
  return "Composition mode. Just play, then use the buttons. Counting white keys down from the "
         "top, with the computer key after each. One, or space: play it back as a band; twice "
         "quickly, name the piece by typing. Two, or n: say what you wrote; twice quickly, ask "
         "the AI what it thinks. Three, or the right arrow: next variation. Four, or the left "
         "arrow: save. Five, or t: learn a new composing idea. Six, or Return: stop the sound. "
         "Seven, or c: start a new composition. Eight, or h: this help. Delete starts the take "
         "again. The lowest key, or s, keeps what you played. The second lowest white key, or "
         "zero, goes home.";
}

void ComposeRoom::played(int pitch, int velocity) {
  const double now = engine_.now();
  if (velocity < 1) {
    history_.record(pitch, 0, now);
    echo(pitch, 0);
    return;
  }
  if (engine_.currentMode() == Mode::compose && takeClosed_) {
    if (now < resumeUntil_) {
      // Playing on soon after listening continues the take: the pause spent
      // listening is cut out, so the new note follows the take's last note
      // after 1.2 s.
      engine_.cutIn();
      parts_.midi.allOff();
      const double last = history_.lastOnsetIn(takeStart_, resumePressedAt_, resumePressedAt_);
      const double shift = std::max(0.0, now - last - 1.2);
      history_.shift(takeStart_, resumePressedAt_, shift);
      takeStart_ += shift;
    } else {
      takeStart_ = now;
      variationIdx_ = 0;
    }
    takeClosed_ = false;
    resumeUntil_ = 0;
  }
  if (engine_.currentMode() == Mode::compose) {
    // Every note makes the take one its saves so far do not hold.
    ++takeNumber_;
    takeSaved_ = false;
  }
  history_.record(pitch, velocity, now);
  lastOnset_ = now;
  echo(pitch, velocity);
}

void ComposeRoom::echo(int pitch, int velocity) {
  const int echoPitch = pitch + 12 > 108 ? pitch : pitch + 12;
  const auto key = static_cast<std::size_t>(echoPitch);
  std::array<std::uint8_t, 3> message{};
  if (velocity > 0) {
    if (!roundOn_) return;
    roundHeld_.set(key);
    message = {0x90, static_cast<std::uint8_t>(echoPitch),
               static_cast<std::uint8_t>(std::min(velocity, 127))};
  } else {
    // A held echo is always released, even once the round has stopped.
    if (!roundHeld_.test(key)) return;
    roundHeld_.reset(key);
    message = {0x80, static_cast<std::uint8_t>(echoPitch), 0};
  }
  // Each echo leaves at its own time from the runtime's alarm, never gathered
  // onto a tick. A full ring (hundreds of echoes pending) drops a new echo,
  // never the release of one that sounds.
  const double due = engine_.now() + roundDelay_;
  {
    MutexLock guard(echoLock_);
    if (echoCount_ < kEchoes && echoAlarm_->at(due)) {
      echoes_[(echoHead_ + echoCount_) % kEchoes] = {due, message};
      ++echoCount_;
      return;
    }
  }
  if (velocity > 0) {
    roundHeld_.reset(key);
    return;
  }
  parts_.runtime.after(roundDelay_, [this, message] { parts_.midi.send(message.data(), 3); });
}

// On the echo alarm's thread: every echo now due, in the order played.
void ComposeRoom::sendDueEchoes() {
  const double now = engine_.now();
  MutexLock guard(echoLock_);
  while (echoCount_ > 0 && echoes_[echoHead_].due <= now + 1e-6) {
    const Echo echo = echoes_[echoHead_];
    echoHead_ = (echoHead_ + 1) % kEchoes;
    --echoCount_;
    // A note-on due after the round ended stays silent; its release was never kept.
    if (echo.message[0] == 0x90 && !roundOn_) continue;
    parts_.midi.send(echo.message.data(), 3);
  }
}

void ComposeRoom::pedal(bool down) {
  history_.pedal(down, engine_.now());
}

bool ComposeRoom::command(int key) {
  const ButtonKeys& keys = engine_.keys();
  const bool composing = engine_.currentMode() == Mode::compose;
  if (key == keys.compose) {
    roundOn_ = false;
    composeKey();
    return true;
  }
  if (!composing) return false;
  if (key == keys.talk) {
    roundOn_ = false;
    autosaveTake();
    naming_.stop();
    engine_.jazz().learnIdea(engine_.memory().composeIdea);
    return true;
  }
  if (key != keys.hear && key != keys.notes && key != keys.next && key != keys.back) return false;
  roundOn_ = false;
  takeKey(key);
  return true;
}

void ComposeRoom::newTake() {
  ++takeNumber_;
  takeStart_ = engine_.now();
  takeClosed_ = true;
  takeSaved_ = true;
  variationIdx_ = 0;
}

void ComposeRoom::composeKey() {
  const double now = engine_.now();
  const bool composing = engine_.currentMode() == Mode::compose;
  const bool leaving = composing && now - lastComposePress_ < 1.2 && !parts_.opt.fast;
  lastComposePress_ = now;
  engine_.cutIn();
  parts_.midi.allOff();
  autosaveTake();
  resumeUntil_ = 0;
  if (leaving) {
    engine_.setMode(Mode::idle);
    engine_.speak("Composition mode off.");
    return;
  }
  if (composing) {
    newTake();
    engine_.speak(engine_.pick({"New composition.", "Fresh start.", "New idea. Go."}));
    return;
  }
  engine_.setMode(Mode::compose);
  engine_.ui(lines::now("A new piece"));
  newTake();
  engine_.speak(
      engine_.pick(
          {"Composition mode.", "Composition. I'm listening.", "Composition. Play me something."}) +
      engine_.intro("compose",
                    " Just play. Then the top key plays it back as a band. The next key down tells "
                    "you what you wrote. The next plays a variation. The next saves it."));
}

void ComposeRoom::takeKey(int key) {
  const ButtonKeys& keys = engine_.keys();
  const double now = engine_.now();
  const bool fast = parts_.opt.fast;

  // A quick second press of the notes key asks the AI about the summary just
  // given; it needs no take of its own.
  if (key == keys.notes && now - lastNotesPress_ < 0.7 && !lastSummary_.empty() && !fast) {
    lastNotesPress_ = -100.0;
    engine_.aiTalk().aiThoughts(lastSummary_);
    return;
  }

  std::vector<RNote> take = currentTake();
  takeClosed_ = true;
  bool naming = false;
  if (key == keys.hear) {
    naming = now - lastTopPress_ < kDoublePress;
    lastTopPress_ = naming ? -100.0 : now;
    const int press = ++topPresses_;
    if (!naming && !fast) {
      // A first press: quiet at once (the live band too), and the band only
      // once no second press came.
      engine_.cutIn();
      silenceLiveBand();
      const int gen = engine_.currentGen();
      parts_.runtime.after(kDoublePress, [this, press, gen, take = std::move(take)] {
        std::lock_guard guard(engine_.lock);
        if (press != topPresses_ || !engine_.alive(gen)) return;
        actOnTakeOrSaved(engine_.keys().hear, take, false, 0);
      });
      return;
    }
  }
  if (key == keys.notes) lastNotesPress_ = now;
  int kind = 0;
  if (key == keys.next) kind = variationIdx_++ % 4;
  actOnTakeOrSaved(key, std::move(take), naming, kind);
}

void ComposeRoom::actOnTakeOrSaved(int key, std::vector<RNote> take, bool naming, int kind) {
  if (take.size() > 2) return actOnTake(key, std::move(take), false, naming, kind);
  // Nothing played: the last saved piece stands in, read from its file in the activity.
  engine_.run([this, key, naming, kind](int gen) {
    auto saved = pieces_.lastSavedIdea();
    if (!saved || saved->size() <= 2) {
      engine_.say("Play something first.", gen);
      return;
    }
    std::lock_guard guard(engine_.lock);
    if (engine_.alive(gen)) actOnTake(key, std::move(*saved), true, naming, kind);
  });
}

void ComposeRoom::actOnTake(int key, std::vector<RNote> take, bool fromFile, bool naming,
                            int kind) {
  const ButtonKeys& keys = engine_.keys();
  const std::string prefix = fromFile ? "Your last saved piece. " : "";
  if (key == keys.hear) {
    if (naming) {
      naming_.startNaming(std::move(take), fromFile || takeSaved_,
                          fromFile ? std::nullopt : std::optional<int>(takeNumber_));
      return;
    }
    if (!fromFile) openResumeWindow(take);
    playWithBand(std::move(take), prefix);
    return;
  }
  if (key == keys.notes) {
    if (!fromFile) {
      resumePressedAt_ = engine_.now();
      resumeUntil_ = resumePressedAt_ + 25.0;
    }
    describeTake(std::move(take), prefix, fromFile);
    return;
  }
  if (key == keys.next) {
    if (kind < 3) {
      if (!fromFile) openResumeWindow(take);
      playVariation(kind, std::move(take), prefix);
    } else {
      startRound(std::move(take), prefix);
    }
    return;
  }
  if (fromFile) {
    engine_.speak("That piece is already saved.");
    return;
  }
  saveTake(std::move(take), takeNumber_);
}

// The save key: analysis, band and file in the activity; the take counts as
// saved only if it is still the current one when the file is written.
void ComposeRoom::saveTake(std::vector<RNote> take, int number) {
  engine_.run([this, take = std::move(take), number](int gen) {
    const Analysis analysis = analyse(take);
    std::vector<std::string> tracks;
    if (pieces_.saveIdea(take, analysis, std::nullopt, &tracks)) {
      markSaved(number);
      engine_.say("Saved in the ideas folder, in " + analysis.keyName() + ". " +
                      tracksSentence(tracks, engine_.studioDesk().logicRunning()),
                  gen);
    } else {
      engine_.say("I could not save the file.", gen);
    }
  });
}

void ComposeRoom::openResumeWindow(const std::vector<RNote>& take) {
  const double now = engine_.now();
  double end = 0;
  for (const RNote& note : take) end = std::max(end, note.end);
  resumePressedAt_ = now;
  resumeUntil_ = now + (end - take.front().t) + 6.0;
}

void ComposeRoom::playBand(const std::vector<Ev>& events, int gen) {
  MidiIO& midi = parts_.midi;
  ++bandPlaybacks_;
  midi.pianoHere = true;
  engine_.play(events, gen);
  // A newer playback may have begun meanwhile: the piano stays mixed in for it.
  if (--bandPlaybacks_ == 0) midi.pianoHere = false;
}

// The take with its band; the analysis and the arrangement run in the activity.
void ComposeRoom::playWithBand(std::vector<RNote> take, std::string prefix) {
  const std::string style = bandStyle_;
  silenceLiveBand();
  engine_.run([this, take = std::move(take), style, prefix](int gen) {
    const Analysis analysis = analyse(take);
    const std::vector<Ev> all =
        timedEvents(take, bandFull(take, analysis, style, parts_.runtime.random()));
    engine_.say(prefix + engine_.pick({"Here it is with the band.", "With the band.",
                                       "Here comes the band."}),
                gen);
    playBand(all, gen);
  });
}

void ComposeRoom::playVariation(int kind, std::vector<RNote> take, std::string prefix) {
  engine_.run([this, kind, take = std::move(take), prefix](int gen) {
    const Analysis analysis = analyse(take);
    std::vector<RNote> varied = variation(kind, take, analysis);
    std::stable_sort(varied.begin(), varied.end(),
                     [](const RNote& a, const RNote& b) { return a.t < b.t; });
    const std::vector<Ev> played = timedEvents(varied);
    const char* words[] = {"Backwards.", "Upside down.",
                           analysis.minor ? "In major." : "In minor."};
    engine_.say(prefix + words[kind], gen);
    engine_.play(played, gen);
  });
}

// The echo round: played notes come back an octave up, eight beats later.
void ComposeRoom::startRound(std::vector<RNote> take, std::string prefix) {
  engine_.run([this, take = std::move(take), prefix](int gen) {
    const auto beat = steadyBeat(take);
    const double delay = beat ? std::clamp(8 * *beat, 2.0, 8.0) : 4.0;
    {
      std::lock_guard guard(engine_.lock);
      if (!engine_.alive(gen)) return;
      roundDelay_ = delay;
      roundOn_ = true;
    }
    // The sentence rounds the delay to whole seconds; the log keeps it to the millisecond.
    char line[64];
    std::snprintf(line, sizeof line, "the round follows %.3f s behind", delay);
    engine_.logLine(line);
    engine_.say(prefix + "Round. Play it again, and I will follow " +
                    std::to_string(roundAway(delay)) +
                    " seconds behind you, one octave up. Any button key stops it.",
                gen);
  });
}

void ComposeRoom::setBandStyle(const std::string& style) {
  bandStyle_ = style;
  auto& parts = parts_;
  parts.sounds.setClassic(style == "classic");
  parts.sounds.revive("the band style changed", false);
  engine_.ui(lines::bandStyle(style));
  if (parts.opt.fast) return engine_.speak(bandStyleSentence(style));
  engine_.keepThenSay("band-style-2.txt", style + "\n", bandStyleSentence(style));
}

void ComposeRoom::toggleBandStyle() {
  setBandStyle(nextBandStyle(bandStyle_));
}

std::string ComposeRoom::description(const std::vector<RNote>& take, bool skipNewest) {
  std::vector<SavedPiece> earlier;
  double wallNow = 0;
  {
    std::lock_guard guard(engine_.lock);
    earlier = savedPieces(engine_.memory().pieces);
    wallNow = parts_.wallClock();
  }
  // The last saved piece is not compared with itself.
  if (skipNewest && !earlier.empty()) earlier.pop_back();
  const Analysis analysis = analyse(take);
  return joinSentences(analysis.summary(take.size()),
                       insights(analysis, earlier, parts_.runtime.random(), wallNow));
}

// The analysis runs in the activity; only its result is stored under the lock.
void ComposeRoom::describeTake(std::vector<RNote> take, std::string prefix, bool skipNewest) {
  engine_.run([this, take = std::move(take), prefix, skipNewest](int gen) {
    std::string text = prefix + description(take, skipNewest);
    {
      std::lock_guard guard(engine_.lock);
      if (!engine_.alive(gen)) return;
      lastSummary_ = text;
    }
    engine_.say(text, gen);
  });
}

void ComposeRoom::describeLast() {
  if (engine_.currentMode() == Mode::compose) {
    command(engine_.keys().notes);
    return;
  }
  std::vector<RNote> stretch = history_.lastStretch(engine_.now());
  if (stretch.size() < 6) {
    engine_.speak("Play something first, then ask me.");
    return;
  }
  describeTake(std::move(stretch), "", false);
}

void ComposeRoom::playBack() {
  playByVoice(engine_.keys().hear, 0);
}

void ComposeRoom::playNextVariation() {
  playByVoice(engine_.keys().next, variationIdx_++ % 3);
}

void ComposeRoom::playByVoice(int key, int kind) {
  const bool composing = engine_.currentMode() == Mode::compose;
  std::vector<RNote> take = composing ? currentTake() : history_.lastStretch(engine_.now());
  if (composing) takeClosed_ = true;
  roundOn_ = false;
  actOnTakeOrSaved(key, std::move(take), false, kind);
}

void ComposeRoom::restartTake() {
  if (engine_.currentMode() != Mode::compose) return;
  engine_.cutIn();
  parts_.midi.allOff();
  newTake();
  resumeUntil_ = 0;
  lastNotesPress_ = -100.0;  // a notes press after a restart is never the second of a pair
  engine_.speak(engine_.pick({"Again.", "From the top.", "Clean slate."}));
}

// Whenever composition may be left: a take of 8 notes or more that is not
// saved yet is saved on the ideas queue, silently; a failed save is said, and
// leaves the take unsaved, so the next way out tries again.
void ComposeRoom::autosaveTake() {
  if (engine_.currentMode() != Mode::compose || takeSaved_ || parts_.opt.fast) return;
  if (autosaving_ == takeNumber_) return;
  std::vector<RNote> take = currentTake();
  if (take.size() < 8) return;
  const int number = takeNumber_;
  const std::size_t count = take.size();
  autosaving_ = number;
  pieces_.saveLater(std::move(take), [this, number, count](const std::optional<std::string>& stem) {
    std::string problem;
    {
      std::lock_guard guard(engine_.lock);
      if (autosaving_ == number) autosaving_.reset();
      if (stem && number == takeNumber_) takeSaved_ = true;
      if (!stem) problem = pieces_.lastProblem();
    }
    if (stem) {
      engine_.logLine("autosaved a composition of " + std::to_string(count) + " notes");
      return;
    }
    // The player may be leaving composition believing the take is safe.
    parts_.speaker.say("I couldn't save your last take, because " + problem + ".");
  });
}

// The keep key and "keep that": the take in composition mode, else (or when
// it is too short) the last stretch of playing.
void ComposeRoom::keepLast() {
  const bool composing = engine_.currentMode() == Mode::compose;
  std::vector<RNote> take = composing ? currentTake() : std::vector<RNote>{};
  std::optional<int> number = composing ? std::optional<int>(takeNumber_) : std::nullopt;
  if (take.size() < 3) {
    take = history_.lastStretch(engine_.now());
    number.reset();
  }
  if (take.size() < 3) {
    engine_.speak("Nothing to keep yet.");
    return;
  }
  engine_.run([this, take = std::move(take), number](int gen) {
    const Analysis analysis = analyse(take);
    const bool saved = pieces_.saveIdea(take, analysis, std::nullopt).has_value();
    const long seconds = roundAway(analysis.length);
    if (saved && number) markSaved(*number, true);
    engine_.logLine("kept " + std::to_string(take.size()) + " notes, " + std::to_string(seconds) +
                    " seconds");
    engine_.say(saved
                    ? engine_.pick({"Kept that one.", "Got it, saved.", "That one's saved."}) +
                          " " + std::to_string(seconds) + " seconds, in " + analysis.keyName() + "."
                    : "I could not save the file.",
                gen);
    engine_.lessons().resumeAfterHelp(gen);
  });
}

}  // namespace orvo
