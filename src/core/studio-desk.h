#pragma once
// The engine's side of studio changes: the one Daw, over the adapter the
// engine was handed. A change or a plan runs as an activity (it blocks on the
// studio for seconds), one at a time, and its result is spoken; a failure is
// noted as a mistake. A plan stops at its next step once a newer activity
// has started.

#include <functional>
#include <vector>

#include "platform/mutex.h"
#include "studio/daw.h"

namespace orvo {

class Engine;

class StudioDesk {
 public:
  StudioDesk(Engine& engine, DawAdapter& adapter);

  void perform(DawOp op);
  void runPlan(std::vector<PlanStep> steps);

  // Understanding reads the assistant's memory (the last track, the
  // history) between requests.
  Daw& daw() { return daw_; }

 private:
  // Runs the change as an activity under the desk's lock, then logs, notes
  // a failure and says the result.
  void carry(std::function<DawResult(int gen)> change);

  Engine& engine_;
  // Held for a whole change: two activities never interleave their steps,
  // and each step's exchanges hold the link's own lock as well.
  Mutex busy_;
  Daw daw_;
};

}  // namespace orvo
