#include "core/studio-desk.h"

#include "core/engine.h"
#include "core/requests.h"
#include "platform/window-lines.h"

namespace orvo {
namespace {

constexpr double kAnswerSeconds = 20.0;
constexpr double kCheckSeconds = 5.0;
const char* kNotAnswering =
    "REAPER is open but not answering me. Quit REAPER and open it again so it loads the link.";

}  // namespace

StudioDesk::StudioDesk(Engine& engine, DawAdapter& adapter)
    : engine_(engine),
      daw_(adapter, [&engine] { return static_cast<std::time_t>(engine.parts().wallClock()); }),
      mode_(dawModeFrom(engine.parts().store.read("daw-mode.txt"))),
      checks_(engine.parts().runtime, kCheckSeconds, [this] { checkStudios(); }) {}

StudioDesk::~StudioDesk() = default;

bool StudioDesk::inUse() const {
  return listening() || logicRunning_;
}

void StudioDesk::setMode(DawMode mode) {
  mode_ = mode;
  engine_.parts().store.write("daw-mode.txt", std::string(dawModeName(mode)) + "\n");
}

bool StudioDesk::questionPending() {
  return asked_ && engine_.now() <= askedUntil_;
}

bool StudioDesk::listening() const {
  return engine_.parts().pretendReaper || reaperRunning_;
}

std::string StudioDesk::hear(const Heard& heard) {
  std::optional<std::string> answering;
  if (questionPending()) answering = asked_;
  asked_.reset();
  return start(heard.text, std::move(answering), false);
}

std::string StudioDesk::start(const std::string& text, std::optional<std::string> answering,
                              bool confirmed) {
  // Diagnostic runs hear it at once, so the trace shows the whole decision.
  if (engine_.parts().opt.fast) {
    std::string outcome;
    engine_.run([&](int gen) { outcome = listen(gen, text, answering, confirmed); });
    return outcome;
  }
  engine_.run(
      [this, text, answering, confirmed](int gen) { listen(gen, text, answering, confirmed); });
  return "studio";
}

std::string StudioDesk::listen(int gen, const std::string& text,
                               std::optional<std::string> answering, bool confirmed) {
  std::optional<DawAsk> ask;
  std::string understood = text;
  bool answered = false;
  {
    MutexLock hold(busy_);
    if (auto state = daw_.look()) {
      answered = true;
      // "the lead one" is read together with the request it answers; when
      // that is still unclear and the answer means something alone, the
      // answer wins.
      std::string both = answering ? *answering + " " + text : "";
      std::optional<DawAsk> together;
      if (answering) together = understand(daw_, Heard(both), *state);
      if (!together || together->kind == DawAsk::Kind::question) {
        ask = understand(daw_, Heard(text), *state);
      }
      if (!ask && together) {
        ask = std::move(together);
        understood = both;
      }
    }
  }
  if (!ask && !answered &&
      Heard(text).hasAny({"track", "tracks", "plugin", "plugins", "mixer", "reaper", "master"})) {
    engine_.logLine("daw not answering: " + text);
    engine_.say(kNotAnswering, gen);
    return "no daw";
  }
  if (!ask) return engine_.requests().hearPastStudio(text);
  return act(gen, understood, *ask, confirmed);
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
        askedUntil_ = engine_.now() + kAnswerSeconds;
      }
      engine_.say(step.sentence, gen);
      return "studio asked";
    }
    case DawStep::Kind::confirm: {
      std::lock_guard guard(engine_.lock);
      // A yes hears the sentence again against the project as it is then, so
      // a track deleted or moved meanwhile is never mistaken for another.
      engine_.requests().confirm(step.sentence, step.logTag + ": " + text,
                                 [this, text] { return start(text, std::nullopt, true); });
      return "studio confirm";
    }
    case DawStep::Kind::perform:
      break;
  }
  carry(ask);
  return "studio acted";
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
  const EngineParts& parts = engine_.parts();
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
