// The teaching loop: present a unit, listen, judge every note, give a
// verdict, drill a weak spot, move on.

#include "rooms/lesson/lesson-room.h"
#include "engine/line-routes.h"
#include "sound/cues.h"
#include "sound/midi-io.h"
#include "sound/speech-output.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/room-services.h"
#include "platform/files.h"
#include "platform/window-lines.h"
#include "player/json-file.h"
#include "rooms/jazz/jazz-room.h"

namespace orvo {
namespace {

const char* handName(int hand) {
  return hand == 0 ? "right hand" : hand == 1 ? "left hand" : "both hands";
}

}  // namespace

LessonRoom::LessonRoom(RoomServices& engine, Parts parts)
    : engine_(engine), parts_(std::move(parts)) {
  followWake_ = parts_.runtime.makeWakeup([this] { follow(); });
  loadSongs();
  auto& routes = engine_.lineRoutes();
  routes.prefix("drop", [this](const std::string&) { dropSong(); });
  routes.prefix("hands", [this](const std::string& rest) { setHands(Heard::from(rest)); });
}

// Everything of a pass goes back to rest; the song, the unit reached and the
// tempo stay, so the top key carries on where the player was.
void LessonRoom::rest() {
  judge_.stop();
  ++pass_;
  ringCount_ = 0;
  if (paused_) setPaused(false);
  resumeListening_ = false;
  review_.reset();
  drill_.reset();
  verdictOverride_.reset();
  accompany_.clear();
  ++accGen_;
  ++idleToken_;
}

void LessonRoom::leave() {
  rest();
}

void LessonRoom::setPaused(bool paused) {
  paused_ = paused;
  engine_.ui(lines::paused(paused));
}

std::string LessonRoom::helpText() {
  return "Lesson. Counting white keys down from the top, with the computer key after each. One, "
         "or space: hear the part again. Two, or n: say the notes. Three, or the right arrow: "
         "skip ahead. Four, or the left arrow: go back. Five, or t: talk mode. Six, or Return: "
         "pause. Seven, or c: new composition. Eight, or h: this help. Minus and equals make the "
         "demonstration slower or faster. The second lowest white key, or zero, goes home.";
}

bool LessonRoom::button(int key) {
  const ButtonKeys& keys = engine_.keys();
  if (key == keys.pause) {
    togglePause();
    return true;
  }
  if (paused_) {
    // The compose key never gets here: composition takes it first, out of the pause.
    const double now = engine_.now();
    if (now - pauseToldAt_ < 4.0) return true;
    pauseToldAt_ = now;
    engine_.speak("Paused. Press the sixth key, or Return, to carry on.");
    return true;
  }
  if (!lesson_) return false;
  if (key == keys.hear || key == keys.notes || key == keys.next || key == keys.back) {
    lessonKey(key);
    return true;
  }
  return false;
}

bool LessonRoom::stop() {
  if (paused_ || !lesson_) return false;
  togglePause();
  return true;
}

void LessonRoom::togglePause() {
  const double now = engine_.now();
  if (now - lastPauseToggle_ < 0.35) return;
  lastPauseToggle_ = now;
  parts_.midi.allOff();
  ++accGen_;
  if (!lesson_) return;
  if (!paused_) {
    setPaused(true);
    resumeListening_ = judge_.listening();
    judge_.stop();
    engine_.speak(engine_.pick({"Paused for now.", "Okay, paused."}));
    return;
  }
  setPaused(false);
  if (resumeListening_ && judge_.step() < judge_.steps().size()) {
    const std::size_t step = judge_.step();
    std::string text = step == 0 ? "Carrying on, from the first note."
                                 : "Carrying on. You are on note " + std::to_string(step + 1) +
                                       " of " + std::to_string(judge_.steps().size()) + ".";
    engine_.run([this, text](int gen) {
      engine_.say(text, gen);
      std::lock_guard inner(engine_.lock);
      if (engine_.alive(gen) && !paused_) judge_.listen();
    });
    return;
  }
  present("Carrying on. ", true);
}

std::vector<Ev> LessonRoom::demoEvents(const std::vector<SNote>& notes, double speed) {
  std::lock_guard guard(engine_.lock);
  std::vector<Ev> events;
  if (!lesson_ || notes.empty() || speed <= 0 || tempo_ <= 0) return events;
  const double perBeat = (60.0 / lesson_->song.bpm) / (speed * tempo_);
  double start = notes.front().beat;
  for (const auto& note : notes) start = std::min(start, note.beat);
  for (const auto& note : notes) {
    addNote(events, (note.beat - start) * perBeat, 0, std::clamp(note.pitch, 0, 127),
            std::clamp(note.vel, 1, 127), std::max(note.dur * perBeat * 0.95, 0.08));
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const Ev& a, const Ev& b) { return a.t < b.t; });
  return events;
}

void LessonRoom::present(const std::string& prefix, bool full) {
  std::lock_guard guard(engine_.lock);
  if (!lesson_ || lesson_->units.empty()) return;
  unitIdx_ = std::clamp(unitIdx_, 0, static_cast<int>(lesson_->units.size()) - 1);
  const Unit unit = review_ ? *review_ : lesson_->units[static_cast<std::size_t>(unitIdx_)];
  engine_.ui(lines::lessonPart(lesson_->song.name + ": part " + std::to_string(unit.from + 1) +
                               " of " + std::to_string(lesson_->partCount()) + ", " +
                               handName(unit.hand)));

  const ButtonKeys& keys = engine_.keys();
  steps_.clear();
  for (Step step : lesson_->stepsIn(unit)) {
    std::erase_if(step.pitches, [&](int pitch) { return keys.isCommandKey(pitch); });
    if (!step.pitches.empty()) steps_.push_back(std::move(step));
  }
  if (steps_.empty()) steps_ = lesson_->stepsIn(unit);
  judge_.stop();
  ++pass_;
  drill_.reset();
  auto events = demoEvents(lesson_->notesIn(unit), full ? 1.0 : 0.75);
  if (full) attempts_ = 0;

  ++accGen_;
  accompany_.clear();
  std::string duet;
  if (unit.hand == 1 && unit.from == unit.to && !review_) {
    accompany_ = lesson_->notesIn({0, unit.from, unit.to});
    if (!accompany_.empty())
      duet = engine_.intro("duet", " I will play the right hand softly along with you.");
  }

  std::string text = prefix;
  if (full) {
    text += lesson_->intro(unit);
    if (auto same = lesson_->sameAs(unit))
      text += " Same as part " + std::to_string(*same + 1) + ".";
  }
  text += duet;
  if (!events.empty()) text += " Listen.";
  std::string notes = unit.hand != 2 && full ? " " + lesson_->describe(steps_) : "";
  engine_.run([this, text = files::trim(text), events, notes](int gen) {
    if (!text.empty()) engine_.say(text, gen);
    engine_.play(events, gen);
    if (!engine_.alive(gen)) return;
    beginWaiting(gen);
    engine_.say(engine_.pick({"Your turn.", "Now you.", "Over to you.", "Have a go."}) + notes,
                gen);
  });
}

void LessonRoom::beginWaiting(int gen) {
  std::lock_guard guard(engine_.lock);
  if (!engine_.alive(gen) || paused_ || !lesson_) return;
  judge_.begin(steps_, lesson_->song.bpm);
  ++pass_;
  ringCount_ = 0;
  armIdleHint();
}

// The note path. No allocation, no I/O, no timer: see the header.
void LessonRoom::note(int pitch) {
  const Judged judged = judge_.judge(pitch, engine_.now());
  switch (judged.kind) {
    case Judged::Kind::right:
      engine_.cutIn();
      if (judged.stepsDone == 0) return;
      armIdleHint();
      push({FollowUp::Kind::stepsDone, pass_, judged.firstDone, judged.stepsDone, pitch, false});
      return;
    case Judged::Kind::unitDone:
      engine_.cutIn();
      ++idleToken_;
      push({FollowUp::Kind::stepsDone, pass_, judged.firstDone, judged.stepsDone, pitch, false});
      push({FollowUp::Kind::unitDone, pass_, 0, 0, pitch, false});
      return;
    case Judged::Kind::wrong:
      // Playing at all ends the silence; the pending check sees the new deadline.
      idleDeadline_ = engine_.now() + 7.0;
      hinted_ = false;
      engine_.cues().knockStart();
      engine_.ui(lines::flashWrong);
      push({FollowUp::Kind::wrong, pass_, 0, 0, pitch, judged.tell});
      return;
    case Judged::Kind::ignored:
    case Judged::Kind::early:
    case Judged::Kind::smudge:
      return;
  }
}

void LessonRoom::push(const FollowUp& followUp) {
  if (ringCount_ == ring_.size()) {
    if (followUp.kind != FollowUp::Kind::unitDone)
      return;  // a lost echo of a step, never the verdict
    --ringCount_;
  }
  ring_[(ringHead_ + ringCount_) % ring_.size()] = followUp;
  ++ringCount_;
  followWake_->wake();
}

void LessonRoom::follow() {
  std::lock_guard guard(engine_.lock);
  while (ringCount_ > 0) {
    const FollowUp next = ring_[ringHead_];
    ringHead_ = (ringHead_ + 1) % ring_.size();
    --ringCount_;
    if (next.pass != pass_) continue;
    switch (next.kind) {
      case FollowUp::Kind::stepsDone:
        for (std::size_t i = next.first; i < next.first + next.count; ++i) accompanyStep(i);
        break;
      case FollowUp::Kind::wrong:
        parts_.runtime.after(0.1, [this] { engine_.cues().knockEnd(); });
        if (next.tell) tellNote(next.note);
        break;
      case FollowUp::Kind::unitDone:
        finishUnit();
        break;
    }
  }
}

void LessonRoom::tellNote(std::optional<int> after) {
  std::lock_guard guard(engine_.lock);
  const auto& steps = judge_.steps();
  if (!lesson_ || judge_.step() >= steps.size()) return;
  const Step& step = steps[judge_.step()];
  std::string text;
  if (step.pitches.size() == 1) {
    int p = step.pitches[0];
    const std::string& name = lesson_->names[static_cast<std::size_t>(music::pitchClass(p))];
    if (!after) {
      text = "Next is " + name;
    } else if (music::pitchClass(*after) == music::pitchClass(p)) {
      text = (p < *after ? "An octave lower. " : "An octave higher. ") + name;
    } else {
      text = (p > *after ? "Higher. " : "Lower. ") + name;
    }
  } else {
    text = (after ? "" : "Next is ") + music::chordText(step.pitches, lesson_->names);
  }
  engine_.run([this, text = text + "."](int gen) {
    engine_.say(text, gen);
    if (engine_.alive(gen)) hint();
  });
}

void LessonRoom::hint() {
  std::lock_guard guard(engine_.lock);
  const auto& steps = judge_.steps();
  if (judge_.step() >= steps.size()) return;
  std::vector<int> pitches = steps[judge_.step()].pitches;
  auto& parts = parts_;
  for (int pitch : pitches) parts.midi.send({0x94, static_cast<std::uint8_t>(pitch), 52});
  parts.runtime.after(1.0, [&parts, pitches] {
    for (int pitch : pitches) parts.midi.send({0x84, static_cast<std::uint8_t>(pitch), 0});
  });
}

// One pending check serves every re-arm: a completed step only moves the
// deadline, so the note path starts no timer of its own.
void LessonRoom::armIdleHint() {
  idleArmed_ = ++idleToken_;
  idleDeadline_ = engine_.now() + 7.0;
  hinted_ = false;
  if (idleTimerPending_) return;
  idleTimerPending_ = true;
  parts_.runtime.after(7.0, [this] { idleCheck(); });
}

void LessonRoom::idleCheck() {
  std::lock_guard guard(engine_.lock);
  idleTimerPending_ = false;
  if (idleArmed_ != idleToken_ || !judge_.listening() || paused_ ||
      engine_.currentMode() != Mode::teach)
    return;
  // The silence is counted from the last sentence too: help or a voice being
  // read is no silence to fill. While one is said, look again shortly.
  const double now = engine_.now();
  const double spokeUntil = engine_.speakingNow().lastSpokenAt;
  const double due = std::max(idleDeadline_, spokeUntil + 7.0);
  double left = spokeUntil > now ? 1.0 : due - now;
  if (hinted_ || left <= 1e-6) {
    // One hint a silence; the check stays armed so a note only moves the deadline.
    if (!hinted_) tellNote(std::nullopt);
    hinted_ = true;
    left = 7.0;
  }
  idleTimerPending_ = true;
  parts_.runtime.after(left, [this] { idleCheck(); });
}

void LessonRoom::accompanyStep(std::size_t index) {
  const auto& steps = judge_.steps();
  const auto& times = judge_.stepTimes();
  if (accompany_.empty() || !lesson_ || index >= steps.size()) return;
  double perBeat = (60.0 / lesson_->song.bpm) / tempo_;
  if (index > 0 && index < times.size()) {
    double gap = steps[index].beat - steps[index - 1].beat;
    if (gap > 0.01) {
      double pace = (times[index] - times[index - 1]) / gap;
      perBeat = std::clamp(pace, 0.5 * perBeat, 2.5 * perBeat);
    }
  }
  const double from = steps[index].beat - 0.02;
  const double to = index + 1 < steps.size() ? steps[index + 1].beat - 0.02
                                             : std::numeric_limits<double>::infinity();
  const int myGen = accGen_;
  auto& runtime = parts_.runtime;
  for (const SNote& note : accompany_) {
    if (note.beat < from || note.beat >= to) continue;
    auto pitch = static_cast<std::uint8_t>(std::clamp(note.pitch, 0, 127));
    double length = std::max(std::min(note.dur, 4.0) * perBeat * 0.95, 0.12);
    runtime.after(
        std::max(0.0, (note.beat - steps[index].beat) * perBeat), [this, pitch, length, myGen] {
          {
            std::lock_guard guard(engine_.lock);
            if (accGen_ != myGen) return;
          }
          auto& parts = parts_;
          parts.midi.send({0x90, pitch, 62});
          parts.runtime.after(length, [&parts, pitch] { parts.midi.send({0x80, pitch, 0}); });
        });
  }
}

void LessonRoom::finishUnit() {
  std::lock_guard guard(engine_.lock);
  if (!lesson_) return;
  ++attempts_;
  const int mistakes = judge_.mistakes();
  if (drill_ ? drillGoesOn(mistakes) : passGoesAgain(mistakes)) return;
  if (review_) {
    review_.reset();
    return present(engine_.pick({"Still there. Carrying on. ", "Good. On we go. "}), true);
  }
  const std::string verdict = verdictOn(mistakes);
  if (mistakes == 0) {
    engine_.cues().chime({84, 88, 91}, 58, 0.6);
    engine_.ui(lines::flashGood);
  }
  const Unit current = lesson_->units[static_cast<std::size_t>(unitIdx_)];
  if (unitIdx_ + 1 < static_cast<int>(lesson_->units.size())) {
    const Unit next = lesson_->units[static_cast<std::size_t>(unitIdx_ + 1)];
    std::string mark = milestone(current, next);
    if (current.hand == 2 && current.from == current.to) ++engine_.memory().partsLearned;
    ++unitIdx_;
    saveProgress();
    return present(verdict + mark, true);
  }
  finishSong(verdict);
}

bool LessonRoom::drillGoesOn(int mistakes) {
  const int tries = drill_->second + 1;
  std::string sentence;
  if (mistakes == 0) {
    const int clean = drill_->first + 1;
    if (clean > 1 || tries > 4) {
      verdictOverride_ = "Fixed. ";
      drill_.reset();
    } else {
      drill_ = {clean, tries};
      sentence = "Right. Once more to be sure.";
    }
  } else if (tries > 4) {
    verdictOverride_ = "Good enough for now. ";
    drill_.reset();
  } else {
    drill_ = {0, tries};
    sentence = "Not yet. Again.";
  }
  if (!drill_) return false;
  engine_.cutIn();
  beginWaiting(engine_.currentGen());
  engine_.run([this, sentence](int g) { engine_.say(sentence, g); });
  return true;
}

bool LessonRoom::passGoesAgain(int mistakes) {
  const std::size_t steps = judge_.steps().size();
  const bool mostlyWrong = steps < 3 ? mistakes > 3 : mistakes > static_cast<int>(steps);
  if (attempts_ < 2 && mostlyWrong && !review_) {
    present("That was mostly wrong notes. Here it is again. ", true);
    return true;
  }
  if (steps > 3) {
    const auto& missAt = judge_.missAt();
    auto worst = std::max_element(missAt.begin(), missAt.end());
    if (worst != missAt.end() && *worst >= 2) {
      startDrill(static_cast<std::size_t>(worst - missAt.begin()));
      return true;
    }
  }
  return false;
}

std::string LessonRoom::verdictOn(int mistakes) {
  std::string verdict;
  if (mistakes == 0) {
    verdict = engine_.pick(
        {"That's correct. ", "Yes, that's right. ", "That's it, well done. ", "Spot on. "});
  } else if (mistakes == 1) {
    verdict = "Done, with one wrong note. ";
  } else {
    verdict = "Done, with " + std::to_string(mistakes) + " wrong notes. ";
  }
  if (verdictOverride_) {
    verdict = *verdictOverride_;
    verdictOverride_.reset();
  }
  return verdict;
}

void LessonRoom::finishSong(const std::string& verdict) {
  if (study_) {
    unitIdx_ = 0;
    return engine_.jazz().studyDone(verdict);
  }
  const std::string name = lesson_->song.name;
  unitIdx_ = 0;
  saveProgress();
  engine_.setMode(Mode::idle);
  std::string text =
      verdict + engine_.pick({"That is the whole song. You learned " + name + ".",
                              "All of it, start to finish. " + name + " is yours now.",
                              "Done. You can play " + name + "."});
  engine_.run([this, text](int gen) {
    parts_.runtime.sleep(0.5);
    engine_.say(text, gen);
  });
}

std::string LessonRoom::milestone(const Unit& from, const Unit& to) {
  if (!lesson_ || to.from != to.to || to.from == from.to) return "";
  const int p = to.from, n = lesson_->partCount();
  if (p == n - 1 && n > 3) return engine_.pick({"Last part. ", "Final part now. "});
  if (p == n / 2 && n >= 6) return engine_.pick({"Halfway. ", "That is half the song. "});
  if (p > 0 && p % 25 == 0 && n >= 30) return std::to_string(p) + " parts done. ";
  return "";
}

void LessonRoom::startDrill(std::size_t around) {
  std::lock_guard guard(engine_.lock);
  const auto& steps = judge_.steps();
  if (!lesson_ || steps.empty()) return;
  std::size_t first = around > 0 ? around - 1 : 0;
  std::size_t last = std::min(around + 1, steps.size() - 1);
  std::vector<Step> drill(steps.begin() + static_cast<long>(first),
                          steps.begin() + static_cast<long>(last) + 1);
  const Unit unit = review_ ? *review_ : lesson_->units[static_cast<std::size_t>(unitIdx_)];
  double from = drill.front().beat - 0.02;
  double to = last + 1 < steps.size() ? steps[last + 1].beat - 0.02
                                      : std::numeric_limits<double>::infinity();
  std::vector<SNote> notes;
  for (const auto& note : lesson_->notesIn(unit)) {
    if (note.beat >= from && note.beat < to) notes.push_back(note);
  }
  auto events = demoEvents(notes, 0.6);
  steps_ = drill;
  judge_.stop();
  ++pass_;
  drill_ = std::pair{0, 0};
  ++accGen_;
  std::string text = engine_.pick({"Just this spot, slowly.", "One spot to fix. Slowly.",
                                   "Only these few notes."}) +
                     " Listen.";
  std::string notesText = lesson_->describe(drill);
  engine_.run([this, text, events, notesText](int gen) {
    engine_.say(text, gen);
    engine_.play(events, gen);
    if (!engine_.alive(gen)) return;
    beginWaiting(gen);
    engine_.say("Your turn. " + notesText, gen);
  });
}

void LessonRoom::saveProgress() {
  std::lock_guard guard(engine_.lock);
  if (!lesson_ || study_) return;
  progress_[lesson_->song.name] = unitIdx_;
  engine_.memory().lastSong = lesson_->song.name;
  engine_.saveMemory();
  // A unit passed that cannot be kept is said, once a write has failed.
  parts_.store.write("progress.json", jsonfile::text(nlohmann::json(progress_)), nullptr,
                     [this](const std::optional<std::string>& problem) {
                       if (problem) progressNotKept(*problem);
                     });
}

void LessonRoom::progressNotKept(const std::string& problem) {
  {
    std::lock_guard guard(engine_.lock);
    if (progressFailed_) return;
    progressFailed_ = true;
  }
  engine_.logLine("not kept: progress.json: " + problem);
  parts_.speaker.say("I couldn't keep your lesson progress, because " + problem + ".");
}

void LessonRoom::setHands(const Heard& heard) {
  std::string side = heard.has("left") ? "left" : heard.has("right") ? "right" : "both";
  {
    std::lock_guard guard(engine_.lock);
    handsOnly_ = side;
  }
  engine_.ui(handsLine());
  engine_.keepThenSay("hands.txt", side + "\n",
                      side == "both" ? "Lessons will teach both hands again."
                                     : "Lessons will teach the " + side +
                                           " hand only, from now on. Say both "
                                           "hands to change back.");
}

std::string LessonRoom::handsLine() {
  std::lock_guard guard(engine_.lock);
  return lines::hands(handsOnly_);
}

void LessonRoom::changeTempo(int direction) {
  std::lock_guard guard(engine_.lock);
  tempo_ = std::clamp(tempo_ + 0.1 * direction, 0.3, 1.5);
  engine_.speak(direction < 0 ? "A bit slower." : "A bit faster.");
}

void LessonRoom::resumeAfterHelp(int gen) {
  std::lock_guard guard(engine_.lock);
  if (!engine_.alive(gen) || engine_.currentMode() != Mode::teach || paused_ || !lesson_) return;
  if (!judge_.listening()) judge_.listen();
}

// The top, second, third and fourth keys inside a lesson.
void LessonRoom::lessonKey(int key) {
  std::lock_guard guard(engine_.lock);
  const ButtonKeys& keys = engine_.keys();
  if (key == keys.hear) return present("", false);
  if (key == keys.next || key == keys.back) {
    int next = unitIdx_ + (key == keys.next ? 1 : -1);
    if (next >= 0 && next < static_cast<int>(lesson_->units.size())) {
      unitIdx_ = next;
      review_.reset();
      saveProgress();
      return present("", true);
    }
    // Past a study's ends: the lesson before, or on to the jam.
    if (study_) {
      if (next < 0) return engine_.jazz().stepLesson(-1);
      return engine_.jazz().startJam("");
    }
    int count = static_cast<int>(songs_.size());
    if (count == 0) return;
    return chooseSong(((songIdx_ + (key == keys.next ? 1 : -1)) % count + count) % count);
  }
  if (key == keys.notes && unitIdx_ < static_cast<int>(lesson_->units.size())) {
    const Unit unit = lesson_->units[static_cast<std::size_t>(unitIdx_)];
    const auto& steps = judge_.steps();
    const std::size_t step = judge_.step();
    std::string text;
    if (unit.hand < 2 && step >= 1 && step + 1 <= steps.size()) {
      std::vector<Step> rest(steps.begin() + static_cast<long>(step), steps.end());
      text = "Next. " + lesson_->describe(rest);
    } else {
      text = lesson_->intro(unit) + " " + lesson_->describe(unit);
    }
    engine_.run([this, text](int gen) {
      engine_.say(text, gen);
      resumeAfterHelp(gen);
    });
  }
}

}  // namespace orvo
