#include "desks/studio-desk.h"
#include "platform/store.h"
#include "sound/midi-io.h"
#include "studio/studio-host.h"

#include <utility>

#include "engine/requests.h"
#include "engine/room-services.h"
#include "platform/window-lines.h"
#include "studio/reaper-hooks.h"

namespace orvo {
namespace {

constexpr double kAnswerSeconds = 20.0;
constexpr double kStudioCheckSeconds = 5.0;
// REAPER reads its link only when it starts: a link installed while it ran
// needs a restart, and a link never installed needs REAPER control first.
const char* kNotAnswering =
    "REAPER is open but not answering me. Quit REAPER and open it again so it loads the link.";
const char* kNoLinkYet =
    "REAPER is open, but my link to it isn't set up yet. Press r, or say REAPER control, and "
    "I'll set it up.";

}  // namespace

StudioDesk::StudioDesk(RoomServices& engine, Parts parts, DawAdapter& adapter)
    : engine_(engine),
      parts_(std::move(parts)),
      daw_(adapter, [this] { return static_cast<std::time_t>(parts_.wallClock()); }),
      mode_(dawModeFrom(parts_.store.read("daw-mode.txt"))),
      checks_(parts_.runtime, kStudioCheckSeconds, [this] { checkStudios(); }) {}

StudioDesk::~StudioDesk() = default;

bool StudioDesk::inUse() const {
  return listening() || logicRunning_;
}

void StudioDesk::setMode(DawMode mode, Store::Kept kept) {
  mode_ = mode;
  parts_.store.write("daw-mode.txt", std::string(dawModeName(mode)) + "\n", nullptr,
                     std::move(kept));
}

bool StudioDesk::questionPending() {
  return asked_ && engine_.now() <= askedUntil_;
}

bool StudioDesk::listening() const {
  return parts_.pretendReaper || reaperRunning_;
}

void StudioDesk::newSentence() {
  answering_.reset();
  if (questionPending()) {
    answering_ = std::move(asked_);
    answeringAnyAnswer_ = askedAnyAnswer_;
  }
  asked_.reset();
}

std::string StudioDesk::hear(const Heard& heard, int depth, NotTaken notTaken) {
  Hearing hearing{heard.text, std::nullopt, false, depth, notTaken};
  hearing.answering = std::exchange(answering_, std::nullopt);
  hearing.anyAnswer = answeringAnyAnswer_;
  return start(std::move(hearing));
}

std::string StudioDesk::start(Hearing hearing) {
  // Diagnostic runs hear it at once, so the trace shows the whole decision.
  if (parts_.opt.fast) {
    if (hearing.notTaken == NotTaken::dropped) return listen(0, hearing);
    std::string outcome;
    engine_.run([&](int gen) { outcome = listen(gen, hearing); });
    return outcome;
  }
  // A shared stop is answered already: it starts no turn of its own, which
  // would cut that answer off.
  if (hearing.notTaken == NotTaken::dropped) {
    parts_.runtime.async([this, hearing = std::move(hearing)] { listen(0, hearing); });
    return "studio";
  }
  engine_.run([this, hearing = std::move(hearing)](int gen) { listen(gen, hearing); });
  return "studio";
}

std::optional<DawAsk> StudioDesk::understood(const Hearing& hearing, const DawState& state,
                                             std::string& text) {
  const Heard heard(hearing.text);
  std::optional<DawAsk> alone = understand(daw_, heard, state);
  // A whole request of its own drops the question and is heard as itself.
  if (!hearing.answering || (alone && alone->kind != DawAsk::Kind::question)) return alone;
  // Otherwise it answers the question only when it names one of the choices
  // offered ("the lead one"), or is a new name for a question that asked for one.
  const bool answers = hearing.anyAnswer ? !alone && heard.words.size() <= 6
                                         : namesTrackOrPlugin(daw_, heard, state);
  if (!answers) return alone;
  const std::string both = *hearing.answering + (hearing.anyAnswer ? " to " : " ") + hearing.text;
  std::optional<DawAsk> together = understand(daw_, Heard(both), state);
  if (!together) return alone;
  text = both;
  return together;
}

std::string StudioDesk::listen(int gen, const Hearing& hearing) {
  std::optional<DawAsk> ask;
  std::string text = hearing.text;
  bool answered = false;
  {
    MutexLock hold(busy_);
    if (auto state = daw_.look()) {
      answered = true;
      ask = understood(hearing, *state, text);
    }
  }
  if (hearing.notTaken == NotTaken::dropped) return keepQuietly(text, ask);
  if (!ask && !answered &&
      Heard(text).hasAny({"track", "tracks", "plugin", "plugins", "mixer", "reaper", "master",
                          "mute", "unmute", "solo", "unsolo", "fader", "undo", "redo"})) {
    engine_.logLine("daw not answering: " + text);
    engine_.say(notAnsweringSentence(), gen);
    return "no daw";
  }
  if (!ask) return engine_.requests().hearPastStudio(text, hearing.depth);
  return act(gen, text, *ask, hearing.confirmed);
}

std::string StudioDesk::keepQuietly(const std::string& text, const std::optional<DawAsk>& ask) {
  if (!ask || ask->kind != DawAsk::Kind::op || ask->confirm) {
    engine_.logLine("studio: left alone, answered already: " + text);
    return "answered";
  }
  DawResult result;
  {
    MutexLock hold(busy_);
    result = daw_.perform(ask->op);
  }
  engine_.logLine(std::string("daw ") + (result.ok ? "done quietly: " : "failed quietly: ") +
                  result.said);
  if (!result.ok) {
    std::lock_guard guard(engine_.lock);
    engine_.requests().noteMistake("a studio action failed");
  }
  return result.ok ? "studio acted" : "studio failed";
}

std::string StudioDesk::act(int gen, const std::string& text, const DawAsk& ask, bool confirmed) {
  if (ask.mode) setMode(dawModeFrom(*ask.mode));
  DawStep step = dawStep(ask, mode_);
  if (confirmed && step.kind == DawStep::Kind::confirm) step.kind = DawStep::Kind::perform;
  engine_.logLine(step.logTag + ": " + text);
  switch (step.kind) {
    case DawStep::Kind::say:
      engine_.say(step.sentence, gen);
      return "studio said";
    case DawStep::Kind::question: {
      {
        std::lock_guard guard(engine_.lock);
        asked_ = text;
        askedAnyAnswer_ = ask.anyAnswer;
        askedUntil_ = engine_.now() + kAnswerSeconds;
      }
      engine_.say(step.sentence, gen);
      return "studio asked";
    }
    case DawStep::Kind::confirm: {
      std::lock_guard guard(engine_.lock);
      // A yes hears the sentence again against the project as it is then, so
      // a track deleted or moved meanwhile is never mistaken for another.
      engine_.requests().confirm(step.sentence, step.logTag + ": " + text, [this, text] {
        return start({text, std::nullopt, true});
      });
      return "studio confirm";
    }
    case DawStep::Kind::perform:
      break;
  }
  carry(ask);
  return "studio acted";
}

std::string StudioDesk::notAnsweringSentence() {
  const ReaperHooks& hooks = parts_.reaperHooks;
  return hooks.bridgeInstalled && !hooks.bridgeInstalled() ? kNoLinkYet : kNotAnswering;
}

void StudioDesk::carry(const DawAsk& ask) {
  if (ask.kind == DawAsk::Kind::plan) {
    runPlan(ask.steps);
  } else {
    perform(ask.op);
  }
}

void StudioDesk::carry(std::function<DawResult(int gen)> change) {
  engine_.run([this, change = std::move(change)](int gen) {
    DawResult result;
    {
      MutexLock hold(busy_);
      result = change(gen);
    }
    engine_.logLine(std::string("daw ") + (result.ok ? "done: " : "failed: ") + result.said);
    if (!result.ok) engine_.requests().noteMistake("a studio action failed");
    engine_.say(result.said, gen);
  });
}

void StudioDesk::perform(DawOp op) {
  carry([this, op = std::move(op)](int) { return daw_.perform(op); });
}

void StudioDesk::runPlan(std::vector<PlanStep> steps) {
  carry([this, steps = std::move(steps)](int gen) {
    return daw_.runPlan(steps, [this, gen] { return engine_.alive(gen); });
  });
}

void StudioDesk::checkStudios() {
  const auto& parts = parts_;
  reaperRunning_ = parts.reaperRunning && parts.reaperRunning();
  bool logic = parts.studio.running();
  bool was = logicRunning_.exchange(logic);
  parts.midi.studioSoundsPiano = logic;
  if (!looked_.exchange(true) || was != logic) engine_.ui(lines::studio(logic));
}

void StudioDesk::startChecks() {
  checks_.start();
}

}  // namespace orvo
