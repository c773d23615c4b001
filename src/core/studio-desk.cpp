#include "core/studio-desk.h"

#include "core/engine.h"
#include "core/requests.h"

namespace orvo {

StudioDesk::StudioDesk(Engine& engine, DawAdapter& adapter)
    : engine_(engine),
      daw_(adapter, [&engine] { return static_cast<std::time_t>(engine.parts().wallClock()); }) {}

void StudioDesk::finish(const DawResult& result, int gen) {
  engine_.logLine(std::string("daw ") + (result.ok ? "done: " : "failed: ") + result.said);
  if (!result.ok) engine_.requests().noteMistake("a studio action failed");
  engine_.say(result.said, gen);
}

void StudioDesk::perform(DawOp op) {
  engine_.run([this, op = std::move(op)](int gen) {
    DawResult result;
    {
      MutexLock hold(busy_);
      result = daw_.perform(op);
    }
    finish(result, gen);
  });
}

void StudioDesk::runPlan(std::vector<PlanStep> steps) {
  engine_.run([this, steps = std::move(steps)](int gen) {
    DawResult result;
    {
      MutexLock hold(busy_);
      result = daw_.runPlan(steps, [this, gen] { return engine_.alive(gen); });
    }
    finish(result, gen);
  });
}

}  // namespace orvo
