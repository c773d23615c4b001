#pragma once
// The engine's side of the studio: whether one is in use, the spoken studio
// assistant over the one Daw, and the way of working the player chose. A
// sentence is taken on the request path but heard against the project off
// the engine's lock (reading the project waits on the studio for up to 3 s,
// and the notes must never wait that long); one it does not understand goes
// back to the other request families. A change or a plan runs as an
// activity, one at a time, and its result is spoken; a failure is noted as a
// mistake. A plan stops at its next step once a newer activity has started.
//
// Threads: hear() and questionPending() with the engine's lock held; the
// rest from any thread. The desk never takes the engine's lock while it
// holds its own.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/repeating-check.h"
#include "platform/runtime.h"
#include "platform/store.h"
#include "studio/daw-understand.h"
#include "studio/daw-ways.h"
#include "studio/daw.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class StudioHost;
class Store;
class Runtime;
class MidiIO;
struct ReaperHooks;

class StudioDesk {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
    Store& store;
    StudioHost& studio;
    Opt opt;
    std::function<double()> wallClock;  // seconds since 1970
    bool pretendReaper;
    std::function<bool()> reaperRunning;
    const ReaperHooks& reaperHooks;  // how REAPER is found, started and asked
  };
  StudioDesk(RoomServices& engine, Parts parts, DawAdapter& adapter);
  ~StudioDesk();

  // A studio is open: the pretend one, REAPER, or Logic Pro.
  bool inUse() const;
  // REAPER is in use, so the assistant hears sentences first (Logic Pro
  // alone leaves them to the others until its quick commands exist).
  bool listening() const;
  // Logic Pro ran at the last look.
  bool logicRunning() const { return logicRunning_; }
  // What becomes of a sentence the studio does not take: heard by the
  // request families after the studio's, or dropped because it has been
  // answered already (a "stop" the studio only shares).
  enum class NotTaken { heardOn, dropped };
  // The request dispatcher's studio step, while listening: the outcome word.
  // `depth` counts how often the request has been heard again, so a sentence
  // handed back never goes round for ever.
  std::string hear(const Heard& heard, int depth, NotTaken notTaken = NotTaken::heardOn);
  // "Which one?" is waiting for its answer.
  bool questionPending();
  // A new sentence of the player's begins: a question waiting is for this
  // sentence only, so one heard by another family drops it.
  void newSentence();

  DawMode mode() const { return mode_; }
  // Kept in "daw-mode.txt"; `kept` hears how that went.
  void setMode(DawMode mode, Store::Kept kept = nullptr);

  // One look at which studios run (each look may take seconds): the built-in
  // sound leaves the piano's notes to Logic Pro while it runs, and the window
  // hears "daw 1" or "daw 0" when that changes.
  void checkStudios();
  // checkStudios at once and every 5 s after, on the global queue.
  void startChecks();

  void perform(DawOp op);
  void runPlan(std::vector<PlanStep> steps);

  // Understanding reads the assistant's memory (the last track, the
  // history) between requests.
  Daw& daw() { return daw_; }

 private:
  // One sentence on its way through the studio.
  struct Hearing {
    std::string text;
    std::optional<std::string> answering;  // the question it may answer
    bool confirmed = false;                // the player has said yes to it already
    int depth = 0;
    NotTaken notTaken = NotTaken::heardOn;
    bool anyAnswer = false;  // the question takes any answer
  };
  // Hears the sentence in an activity (at once in the fast mode, with the
  // outcome; else "studio").
  std::string start(Hearing hearing);
  // Reads the project and understands the sentence (with the question it
  // answers, if any), then acts; the outcome word.
  std::string listen(int gen, const Hearing& hearing);
  // The sentence as a studio request, alone or as the answer to the
  // question pending; `text` becomes the sentence understood.
  std::optional<DawAsk> understood(const Hearing& hearing, const DawState& state,
                                   std::string& text);
  // A sentence already answered by the others (a stop): a plain change is
  // made without a word of its own; anything else is left alone.
  std::string keepQuietly(const std::string& text, const std::optional<DawAsk>& ask);
  // Why REAPER does not answer, and what to do about it.
  std::string notAnsweringSentence();
  // `confirmed`: the player has said yes to this sentence already.
  std::string act(int gen, const std::string& text, const DawAsk& ask, bool confirmed);
  // Runs the change as an activity under the desk's lock, then logs, notes
  // a failure and says the result.
  void carry(std::function<DawResult(int gen)> change);
  void carry(const DawAsk& ask);

  RoomServices& engine_;
  Parts parts_;
  // Held for a whole change: two activities never interleave their steps,
  // and each step's exchanges hold the link's own lock as well.
  Mutex busy_;
  Daw daw_;
  std::atomic<DawMode> mode_{DawMode::assisted};
  std::atomic<bool> reaperRunning_{false};
  std::atomic<bool> logicRunning_{false};
  // The first look tells the window either way.
  std::atomic<bool> looked_{false};

  // Under the engine's lock: the sentence a "Which one?" asked about, and
  // whether any answer fits it (a name) or only one naming a track or plug-in.
  std::optional<std::string> asked_;
  bool askedAnyAnswer_ = false;
  double askedUntil_ = 0.0;
  // The question the sentence being heard may answer.
  std::optional<std::string> answering_;
  bool answeringAnyAnswer_ = false;

  // Last, so it stops before anything a check uses goes.
  RepeatingCheck checks_;
};

}  // namespace orvo
