// The teaching loop: present a unit, listen, judge every note, give a
// verdict, drill a weak spot, move on. Judging runs on the MIDI thread under
// the lock and never allocates, speaks or plays: it hands that to activities.

#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "core/json-file.h"
#include "platform/files.h"

namespace orvo {
namespace {

const char* handName(int hand) {
  return hand == 0 ? "right hand" : hand == 1 ? "left hand" : "both hands";
}

std::size_t required(const Step& step) {
  std::size_t n = step.pitches.size();
  return n <= 3 ? n : n <= 5 ? n - 1 : n - 2;
}

bool holds(const Step& step, int note) {
  return std::find(step.pitches.begin(), step.pitches.end(), note) != step.pitches.end();
}

}  // namespace

std::vector<Ev> Engine::demoEvents(const std::vector<SNote>& notes, double speed) {
  std::lock_guard guard(lock);
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

void Engine::play(const std::vector<Ev>& events, int gen) {
  Runtime& runtime = parts_.runtime;
  const double start = runtime.now();
  std::vector<std::array<std::uint8_t, 2>> held;  // channel and note of what is sounding
  for (const Ev& ev : events) {
    // Short waits, so a newer press cuts the playing off promptly.
    for (double left = start + ev.t - runtime.now(); left > 0 && alive(gen);
         left = start + ev.t - runtime.now()) {
      runtime.sleep(std::min(left, 0.05));
    }
    if (!alive(gen)) break;
    parts_.midi.send(ev.bytes.data(), 3);
    std::array<std::uint8_t, 2> key = {static_cast<std::uint8_t>(ev.bytes[0] & 0x0F), ev.bytes[1]};
    if ((ev.bytes[0] & 0xF0) == 0x90 && ev.bytes[2] > 0) {
      held.push_back(key);
    } else {
      std::erase(held, key);
    }
  }
  for (auto [channel, note] : held) {
    parts_.midi.send({static_cast<std::uint8_t>(0x80 | channel), note, 0});
  }
}

void Engine::present(const std::string& prefix, bool full) {
  std::lock_guard guard(lock);
  if (!lesson_ || lesson_->units.empty()) return;
  unitIdx_ = std::clamp(unitIdx_, 0, static_cast<int>(lesson_->units.size()) - 1);
  const Unit unit = review_ ? *review_ : lesson_->units[static_cast<std::size_t>(unitIdx_)];
  ui(lesson_->song.name + ": part " + std::to_string(unit.from + 1) + " of " +
     std::to_string(lesson_->partCount()) + ", " + handName(unit.hand));

  curSteps_.clear();
  for (Step step : lesson_->stepsIn(unit)) {
    std::erase_if(step.pitches, [&](int pitch) { return keys_.isCommandKey(pitch); });
    if (!step.pitches.empty()) curSteps_.push_back(std::move(step));
  }
  if (curSteps_.empty()) curSteps_ = lesson_->stepsIn(unit);
  waiting_ = false;
  drill_.reset();
  auto events = demoEvents(lesson_->notesIn(unit), full ? 1.0 : 0.75);
  if (full) attempts_ = 0;

  ++accGen_;
  accompany_.clear();
  std::string duet;
  if (unit.hand == 1 && unit.from == unit.to && !review_) {
    accompany_ = lesson_->notesIn({0, unit.from, unit.to});
    if (!accompany_.empty())
      duet = intro("duet", " I will play the right hand softly along with you.");
  }
  pressed_.reset();

  std::string text = prefix;
  if (full) {
    text += lesson_->intro(unit);
    if (auto same = lesson_->sameAs(unit))
      text += " Same as part " + std::to_string(*same + 1) + ".";
  }
  text += duet;
  if (!events.empty()) text += " Listen.";
  std::string notes = unit.hand != 2 && full ? " " + lesson_->describe(curSteps_) : "";
  run([this, text = files::trim(text), events, notes](int gen) {
    if (!text.empty()) say(text, gen);
    play(events, gen);
    if (!alive(gen)) return;
    beginWaiting(gen);
    say(pick({"Your turn.", "Now you.", "Over to you.", "Have a go."}) + notes, gen);
  });
}

void Engine::beginWaiting(int gen) {
  std::lock_guard guard(lock);
  if (gen != gen_) return;
  waiting_ = true;
  stepIdx_ = 0;
  pressed_.reset();
  early_.reset();
  lateOK_.reset();
  mistakes_ = 0;
  missesHere_ = 0;
  stepTimes_.clear();
  stepTimes_.reserve(curSteps_.size() + 1);
  missAt_.assign(curSteps_.size() + 1, 0);
  armIdleHint();
}

void Engine::judge(int note) {
  if (!waiting_ || stepIdx_ >= curSteps_.size() || !lesson_) return;
  const double t = now();
  const auto key = static_cast<std::size_t>(note);
  if (t < lateUntil_ && lateOK_.test(key)) {
    lateOK_.reset(key);  // the rest of the chord just completed
    return;
  }
  if (holds(curSteps_[stepIdx_], note)) {
    ++gen_;
    stopSpeech();
    pressed_.set(key);
    while (stepIdx_ < curSteps_.size()) {
      const Step& step = curSteps_[stepIdx_];
      std::size_t have = 0;
      for (int pitch : step.pitches) have += pressed_.test(static_cast<std::size_t>(pitch)) ? 1 : 0;
      if (have < required(step)) return;
      lateOK_.reset();
      for (int pitch : step.pitches) {
        if (!pressed_.test(static_cast<std::size_t>(pitch)))
          lateOK_.set(static_cast<std::size_t>(pitch));
      }
      lateUntil_ = t + 0.35;
      stepTimes_.push_back(t);
      accompanyStep(stepIdx_);
      ++stepIdx_;
      missesHere_ = 0;
      armIdleHint();
      pressed_.reset();
      if (stepIdx_ < curSteps_.size()) {
        for (int pitch : curSteps_[stepIdx_].pitches) {
          if (early_.test(static_cast<std::size_t>(pitch)))
            pressed_.set(static_cast<std::size_t>(pitch));
        }
      }
      early_.reset();
    }
    finishUnit();
    return;
  }
  if (stepIdx_ + 1 < curSteps_.size() && holds(curSteps_[stepIdx_ + 1], note) &&
      (curSteps_[stepIdx_ + 1].beat - curSteps_[stepIdx_].beat) * 60.0 / lesson_->song.bpm < 0.25) {
    early_.set(key);
    return;
  }
  if (!parts_.opt.fast && t - lastMistake_ < 0.12) return;  // one smudge, one mistake
  lastMistake_ = t;
  ++mistakes_;
  ++missesHere_;
  if (stepIdx_ < missAt_.size()) ++missAt_[stepIdx_];
  knock();
  ui("flash wrong");
  if (missesHere_ % 3 == 2) tellNote(note);
}

void Engine::tellNote(std::optional<int> after) {
  std::lock_guard guard(lock);
  if (!lesson_ || stepIdx_ >= curSteps_.size()) return;
  const Step& step = curSteps_[stepIdx_];
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
  run([this, text = text + "."](int gen) {
    say(text, gen);
    if (alive(gen)) hint();
  });
}

void Engine::hint() {
  std::lock_guard guard(lock);
  if (parts_.opt.fast || stepIdx_ >= curSteps_.size()) return;
  std::vector<int> pitches = curSteps_[stepIdx_].pitches;
  for (int pitch : pitches) parts_.midi.send({0x94, static_cast<std::uint8_t>(pitch), 52});
  parts_.runtime.after(1.0, [this, pitches] {
    for (int pitch : pitches) parts_.midi.send({0x84, static_cast<std::uint8_t>(pitch), 0});
  });
}

// One pending check serves every re-arm: a completed step only moves the
// deadline, so the note path starts no timer of its own.
void Engine::armIdleHint() {
  if (parts_.opt.fast) return;
  idleArmed_ = ++idleToken_;
  idleDeadline_ = now() + 7.0;
  if (idleTimerPending_) return;
  idleTimerPending_ = true;
  parts_.runtime.after(7.0, [this] { idleCheck(); });
}

void Engine::idleCheck() {
  std::lock_guard guard(lock);
  idleTimerPending_ = false;
  if (idleArmed_ != idleToken_ || !waiting_ || paused_ || mode_ != Mode::teach) return;
  double left = idleDeadline_ - now();
  if (left > 1e-6) {
    idleTimerPending_ = true;
    parts_.runtime.after(left, [this] { idleCheck(); });
    return;
  }
  tellNote(std::nullopt);
  armIdleHint();  // and again, should the player still not play
}

void Engine::accompanyStep(std::size_t index) {
  if (parts_.opt.fast || accompany_.empty() || !lesson_ || index >= curSteps_.size()) return;
  double perBeat = (60.0 / lesson_->song.bpm) / tempo_;
  if (index > 0 && stepTimes_.size() >= 2) {
    double gap = curSteps_[index].beat - curSteps_[index - 1].beat;
    if (gap > 0.01) {
      double pace = (stepTimes_.back() - stepTimes_[stepTimes_.size() - 2]) / gap;
      perBeat = std::clamp(pace, 0.5 * perBeat, 2.5 * perBeat);
    }
  }
  const double from = curSteps_[index].beat - 0.02;
  const double to = index + 1 < curSteps_.size() ? curSteps_[index + 1].beat - 0.02
                                                 : std::numeric_limits<double>::infinity();
  const int myGen = accGen_;
  for (const SNote& note : accompany_) {
    if (note.beat < from || note.beat >= to) continue;
    auto pitch = static_cast<std::uint8_t>(std::clamp(note.pitch, 0, 127));
    double length = std::max(std::min(note.dur, 4.0) * perBeat * 0.95, 0.12);
    parts_.runtime.after(
        std::max(0.0, (note.beat - curSteps_[index].beat) * perBeat), [this, pitch, length, myGen] {
          {
            std::lock_guard guard(lock);
            if (accGen_ != myGen) return;
          }
          parts_.midi.send({0x90, pitch, 62});
          parts_.runtime.after(length, [this, pitch] { parts_.midi.send({0x80, pitch, 0}); });
        });
  }
}

std::string Engine::rhythmVerdict() {
  std::lock_guard guard(lock);
  if (curSteps_.size() > 3 && stepTimes_.size() == curSteps_.size()) {
    double played = 0, written = 0;
    for (std::size_t i = 1; i < curSteps_.size(); ++i) {
      played += stepTimes_[i] - stepTimes_[i - 1];
      written += curSteps_[i].beat - curSteps_[i - 1].beat;
    }
    if (played > 0.3 && written > 0) {
      double scale = played / written;
      double off = 0;
      for (std::size_t i = 1; i < curSteps_.size(); ++i) {
        off += std::abs((stepTimes_[i] - stepTimes_[i - 1]) -
                        (curSteps_[i].beat - curSteps_[i - 1].beat) * scale);
      }
      return off / played >= 0.2 ? "Right notes. The rhythm was a little uneven. "
                                 : "Clean, and in time. ";
    }
  }
  return "Clean. ";
}

void Engine::finishUnit() {
  std::lock_guard guard(lock);
  if (!lesson_) return;
  waiting_ = false;
  ++idleToken_;
  ++attempts_;
  if (drill_) {
    int tries = drill_->second + 1;
    std::string sentence;
    if (mistakes_ == 0) {
      int clean = drill_->first + 1;
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
    if (drill_) {
      int gen = ++gen_;
      stopSpeech();
      beginWaiting(gen);
      run([this, sentence](int g) { say(sentence, g); });
      return;
    }
  } else {
    const std::size_t steps = curSteps_.size();
    bool mostlyWrong = steps < 3 ? mistakes_ > 3 : mistakes_ > static_cast<int>(steps);
    if (attempts_ < 2 && mostlyWrong && !review_) {
      return present("That was mostly wrong notes. Here it is again. ", true);
    }
    if (steps > 3) {
      auto worst = std::max_element(missAt_.begin(), missAt_.end());
      if (worst != missAt_.end() && *worst >= 2) {
        return startDrill(static_cast<std::size_t>(worst - missAt_.begin()));
      }
    }
  }
  if (review_) {
    review_.reset();
    return present(pick({"Still there. Carrying on. ", "Good. On we go. "}), true);
  }
  std::string verdict;
  if (mistakes_ == 0) {
    verdict =
        pick({"That's correct. ", "Yes, that's right. ", "That's it, well done. ", "Spot on. "});
  } else if (mistakes_ == 1) {
    verdict = "Done, with one wrong note. ";
  } else {
    verdict = "Done, with " + std::to_string(mistakes_) + " wrong notes. ";
  }
  if (verdictOverride_) {
    verdict = *verdictOverride_;
    verdictOverride_.reset();
  }
  if (mistakes_ == 0) {
    chime({84, 88, 91}, 58, 0.6);
    ui("flash good");
  }
  const Unit current = lesson_->units[static_cast<std::size_t>(unitIdx_)];
  if (unitIdx_ + 1 < static_cast<int>(lesson_->units.size())) {
    const Unit next = lesson_->units[static_cast<std::size_t>(unitIdx_ + 1)];
    std::string mark = milestone(current, next);
    if (current.hand == 2 && current.from == current.to) {
      ++mem_.partsLearned;
      saveMemory();
    }
    ++unitIdx_;
    saveProgress();
    return present(verdict + mark, true);
  }
  finishSong(verdict);
}

void Engine::finishSong(const std::string& verdict) {
  const std::string name = lesson_->song.name;
  unitIdx_ = 0;
  saveProgress();
  setMode(Mode::idle);
  std::string text = verdict + pick({"That is the whole song. You learned " + name + ".",
                                     "All of it, start to finish. " + name + " is yours now.",
                                     "Done. You can play " + name + "."});
  run([this, text](int gen) {
    parts_.runtime.sleep(parts_.opt.fast ? 0 : 0.5);
    say(text, gen);
  });
}

std::string Engine::milestone(const Unit& from, const Unit& to) {
  if (!lesson_ || to.from != to.to || to.from == from.to) return "";
  const int p = to.from, n = lesson_->partCount();
  if (p == n - 1 && n > 3) return pick({"Last part. ", "Final part now. "});
  if (p == n / 2 && n >= 6) return pick({"Halfway. ", "That is half the song. "});
  if (p > 0 && p % 25 == 0 && n >= 30) return std::to_string(p) + " parts done. ";
  return "";
}

void Engine::startDrill(std::size_t around) {
  std::lock_guard guard(lock);
  if (!lesson_ || curSteps_.empty()) return;
  std::size_t first = around > 0 ? around - 1 : 0;
  std::size_t last = std::min(around + 1, curSteps_.size() - 1);
  std::vector<Step> drill(curSteps_.begin() + static_cast<long>(first),
                          curSteps_.begin() + static_cast<long>(last) + 1);
  const Unit unit = review_ ? *review_ : lesson_->units[static_cast<std::size_t>(unitIdx_)];
  double from = drill.front().beat - 0.02;
  double to = last + 1 < curSteps_.size() ? curSteps_[last + 1].beat - 0.02
                                          : std::numeric_limits<double>::infinity();
  std::vector<SNote> notes;
  for (const auto& note : lesson_->notesIn(unit)) {
    if (note.beat >= from && note.beat < to) notes.push_back(note);
  }
  auto events = demoEvents(notes, 0.6);
  curSteps_ = drill;
  drill_ = std::pair{0, 0};
  ++accGen_;
  std::string text =
      pick({"Just this spot, slowly.", "One spot to fix. Slowly.", "Only these few notes."}) +
      " Listen.";
  std::string notesText = lesson_->describe(drill);
  run([this, text, events, notesText](int gen) {
    say(text, gen);
    play(events, gen);
    if (!alive(gen)) return;
    beginWaiting(gen);
    say("Your turn. " + notesText, gen);
  });
}

void Engine::saveProgress() {
  std::lock_guard guard(lock);
  if (!lesson_) return;
  progress_[lesson_->song.name] = unitIdx_;
  mem_.lastSong = lesson_->song.name;
  saveMemory();
  if (!parts_.opt.fast) jsonfile::write(dataFile("progress.json"), nlohmann::json(progress_));
}

void Engine::setHands(const Heard& heard) {
  std::string side = heard.has("left") ? "left" : heard.has("right") ? "right" : "both";
  {
    std::lock_guard guard(lock);
    handsOnly_ = side;
  }
  if (!parts_.opt.fast) files::writeFileAtomically(dataFile("hands.txt"), side + "\n");
  ui(handsLine());
  speak(side == "both" ? "Lessons will teach both hands again."
                       : "Lessons will teach the " + side +
                             " hand only, from now on. Say both "
                             "hands to change back.");
}

std::string Engine::handsLine() {
  std::lock_guard guard(lock);
  return "hands " + handsOnly_;
}

void Engine::changeTempo(int direction) {
  std::lock_guard guard(lock);
  tempo_ = std::clamp(tempo_ + 0.1 * direction, 0.3, 1.5);
  speak(direction < 0 ? "A bit slower." : "A bit faster.");
}

// The top, second, third and fourth keys inside a lesson.
void Engine::lessonKey(int key) {
  std::lock_guard guard(lock);
  if (key == keys_.hear) return present("", false);
  if (key == keys_.next || key == keys_.back) {
    int next = unitIdx_ + (key == keys_.next ? 1 : -1);
    if (next >= 0 && next < static_cast<int>(lesson_->units.size())) {
      unitIdx_ = next;
      review_.reset();
      saveProgress();
      return present("", true);
    }
    if (!jazzIdx_) {
      int count = static_cast<int>(songs_.size());
      return chooseSong(((songIdx_ + (key == keys_.next ? 1 : -1)) % count + count) % count);
    }
    return notYet("the jazz course");
  }
  if (key == keys_.notes && unitIdx_ < static_cast<int>(lesson_->units.size())) {
    const Unit unit = lesson_->units[static_cast<std::size_t>(unitIdx_)];
    std::string text;
    if (unit.hand < 2 && stepIdx_ >= 1 && stepIdx_ + 1 <= curSteps_.size()) {
      std::vector<Step> rest(curSteps_.begin() + static_cast<long>(stepIdx_), curSteps_.end());
      text = "Next. " + lesson_->describe(rest);
    } else {
      text = lesson_->intro(unit) + " " + lesson_->describe(unit);
    }
    run([this, text](int gen) {
      say(text, gen);
      resumeAfterHelp(gen);
    });
  }
}

}  // namespace orvo
