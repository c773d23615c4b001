#include "core/studio-desk.h"

#include "core/engine.h"
#include "core/requests.h"

namespace orvo {

StudioDesk::StudioDesk(Engine& engine, DawAdapter& adapter)
    : engine_(engine),
      daw_(adapter, [&engine] { return static_cast<std::time_t>(engine.parts().wallClock()); }) {}

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

}  // namespace orvo
