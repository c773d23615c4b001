#pragma once
// Carrying out studio changes: each change is checked against the project
// first, sent through the adapter, and then looked for in a fresh snapshot.
// Only a change the studio shows is reported as done and kept in the history
// that "what did you change" reads.
//
// Threads: perform and runPlan block on the studio for seconds; the engine
// calls them from its studio runner, one request at a time. The fields are
// read by understanding between requests on that same runner.

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "studio/daw-model.h"

namespace orvo {

struct DawChange {
  std::time_t at = 0;
  std::string what;
};

// One step of a plan: the change is worked out from the project as the
// earlier steps left it; nothing when it cannot be.
struct PlanStep {
  std::string what;  // "add an EQ, left flat for you to shape"
  std::function<std::optional<DawOp>(const DawState&)> op;
};

// The parameter lines of an fx_params answer; lines that do not parse are skipped.
std::vector<DawParam> parseParams(const std::string& answer);

// A track in words: briefly ("Lead Vocals, track 2, at minus 6 decibels,
// muted.") or in detail (pan, plug-ins, sends and items too).
std::string described(const DawTrack& track, DawAdapter& adapter, bool detailed);

class Daw {
 public:
  explicit Daw(DawAdapter& adapter, std::function<std::time_t()> wallClock = nullptr);

  DawResult perform(const DawOp& op);

  // The project as the studio shows it now. The last track spoken about is
  // forgotten once another track has taken its place (deleted or moved in
  // the studio itself), so it is never mistaken for the one now there.
  std::optional<DawState> look();

  // The steps in order while `running` holds, stopping at the first that
  // fails or cannot be worked out. The answer gathers every step's sentence.
  DawResult runPlan(const std::vector<PlanStep>& steps, const std::function<bool()>& running);

  // A plug-in's parameters as the studio reports them now; nothing when it
  // does not answer.
  std::optional<std::vector<DawParam>> params(int track, int fx);

  DawAdapter& adapter;
  std::vector<DawChange> history;  // one per confirmed change, oldest first
  std::optional<int> lastTrack;
  std::optional<std::pair<int, int>> lastFx;  // track, plug-in
  std::optional<int> lastParam;
  std::string lastSaid;
  double lastNudge = 0;
  std::optional<std::time_t> lastChange;

 private:
  struct Step;
  // The change checked and carried out against a snapshot just read.
  DawResult performOn(const DawOp& op, const DawState& before);
  // The result, remembered as the last thing said.
  DawResult answered(DawResult result);
  std::function<std::time_t()> wallClock_;
  std::vector<std::string> seenNames_;  // by index, as the last look showed them
  void remember(std::string what);
};

}  // namespace orvo
