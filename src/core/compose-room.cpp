#include "core/compose-room.h"

#include <algorithm>

#include "compose/insights.h"
#include "compose/saved-piece.h"
#include "compose/take.h"
#include "core/engine.h"
#include "platform/window-lines.h"

namespace orvo {

namespace {

std::string joinSentences(const std::string& summary, const std::vector<std::string>& remarks) {
  std::string text = summary;
  for (const std::string& remark : remarks) text += " " + remark;
  return text;
}

}  // namespace

ComposeRoom::ComposeRoom(Engine& engine) : engine_(engine) {}

void ComposeRoom::leave() {
  autosaveTake();
  roundOn_ = false;
  resumeUntil_ = 0;
}

std::string ComposeRoom::helpText() {
  return "Composition mode. Just play, then use the buttons. Counting white keys down from the "
         "top. One, play it back as a band. One twice quickly, name the piece by typing. Two, "
         "say what you wrote. Two twice quickly, ask the AI what it thinks. Three, next "
         "variation. Four, save. Five, learn a new composing idea. Six, stop the sound. Seven, "
         "start a new composition. Eight, this help. The second lowest white key on the piano "
         "is home: it leaves this mode.";
}

void ComposeRoom::played(int pitch, int velocity) {
  const double now = engine_.now();
  if (velocity < 1) {
    history_.record(pitch, 0, now);
    return;
  }
  if (engine_.currentMode() == Mode::compose && takeClosed_) {
    if (now < resumeUntil_) {
      // Playing on soon after listening continues the take: the pause spent
      // listening is cut out, so the new note follows the take's last note
      // after 1.2 s.
      engine_.cutIn();
      engine_.parts().midi.allOff();
      const double last = history_.lastOnsetIn(takeStart_, resumePressedAt_, resumePressedAt_);
      const double shift = std::max(0.0, now - last - 1.2);
      history_.shift(takeStart_, resumePressedAt_, shift);
      takeStart_ += shift;
    } else {
      takeStart_ = now;
      variationIdx_ = 0;
    }
    takeClosed_ = false;
    takeSaved_ = false;
    resumeUntil_ = 0;
  }
  history_.record(pitch, velocity, now);
  lastOnset_ = now;
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
    // The composing ideas come with the jazz course.
    engine_.logLine("not yet: composition ideas");
    engine_.speak("Sorry, the composing ideas are not ready yet.");
    return true;
  }
  if (key != keys.hear && key != keys.notes && key != keys.next && key != keys.back) return false;
  roundOn_ = false;
  takeKey(key);
  return true;
}

void ComposeRoom::newTake() {
  takeStart_ = engine_.now();
  takeClosed_ = true;
  takeSaved_ = true;
  variationIdx_ = 0;
}

void ComposeRoom::composeKey() {
  const double now = engine_.now();
  const bool composing = engine_.currentMode() == Mode::compose;
  const bool leaving = composing && now - lastComposePress_ < 1.2 && !engine_.parts().opt.fast;
  lastComposePress_ = now;
  engine_.cutIn();
  engine_.parts().midi.allOff();
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
  const bool fast = engine_.parts().opt.fast;

  // A quick second press of the notes key asks the AI about the summary just
  // given; it needs no take of its own.
  if (key == keys.notes && now - lastNotesPress_ < 0.7 && !lastSummary_.empty() && !fast) {
    lastNotesPress_ = -100.0;
    engine_.speak("I could not reach the AI just now.");
    return;
  }

  std::vector<RNote> take = tidyTake(history_.notes(takeStart_, now));
  takeClosed_ = true;
  // The last saved piece stands in for a missing take once pieces can be saved.
  if (take.size() <= 2) {
    engine_.speak("Play something first.");
    return;
  }
  if (key == keys.hear) {
    if (now - lastTopPress_ < 0.6) {
      lastTopPress_ = -100.0;
      engine_.notYet("naming a piece");
      return;
    }
    lastTopPress_ = now;
    double end = 0;
    for (const RNote& note : take) end = std::max(end, note.end);
    resumePressedAt_ = now;
    resumeUntil_ = now + (end - take.front().t) + 6.0;
    engine_.notYet("playing it back with the band");
    return;
  }
  if (key == keys.notes) {
    lastNotesPress_ = now;
    resumePressedAt_ = now;
    resumeUntil_ = now + 25.0;
    describeTake(std::move(take));
    return;
  }
  if (key == keys.next) {
    ++variationIdx_;
    engine_.notYet("variations");
    return;
  }
  engine_.notYet("saving a piece");
}

std::string ComposeRoom::description(const std::vector<RNote>& take) {
  std::vector<SavedPiece> earlier;
  double wallNow = 0;
  {
    std::lock_guard guard(engine_.lock);
    earlier = savedPieces(engine_.memory().pieces);
    wallNow = engine_.parts().wallClock();
  }
  const Analysis analysis = analyse(take);
  return joinSentences(analysis.summary(take.size()),
                       insights(analysis, earlier, engine_.parts().runtime.random(), wallNow));
}

// The analysis runs in the activity; only its result is stored under the lock.
void ComposeRoom::describeTake(std::vector<RNote> take) {
  engine_.run([this, take = std::move(take)](int gen) {
    std::string text = description(take);
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
  describeTake(std::move(stretch));
}

void ComposeRoom::restartTake() {
  if (engine_.currentMode() != Mode::compose) return;
  engine_.cutIn();
  engine_.parts().midi.allOff();
  newTake();
  resumeUntil_ = 0;
  lastNotesPress_ = -100.0;  // a notes press after a restart is never the second of a pair
  engine_.speak(engine_.pick({"Again.", "From the top.", "Clean slate."}));
}

// Saving takes arrives with the ideas folder; until then there is nothing to do.
void ComposeRoom::autosaveTake() {}

// Keeping saves an idea, which arrives with the ideas folder.
void ComposeRoom::keepLast() {
  engine_.logLine("not yet: keep");
  engine_.speak("Sorry, keeping what you just played is not ready yet.");
}

}  // namespace orvo
