#pragma once
// The listener: decides which recognised speech is meant for the assistant and
// when a spoken request is complete. The window sends the running transcript
// of each utterance (partial results, then a final one) and the microphone
// level; the listener finds the name (also misheard, split, said last or said
// alone), ignores the assistant's own voice coming back while still obeying
// "stop" and a person's use of the name, notices someone talking over the
// assistant, keeps short windows open in which words are taken without the
// name, waits until a sentence sounds finished, and hands the request on.
//
// Threads: partial() and level() come from the key reader; voiceFinished()
// and expectAnswer() from the speaking activity; the delayed steps (acting,
// quiet listening, the re-check after a question) are runtime timers that
// carry the token they were scheduled with, and do nothing once it is stale.
// The lock guards every field; it is never held while calling the engine
// (the link), writing the voice log or scheduling: each entry decides under
// the lock, then makes its calls in the order decided, before it returns.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "platform/runtime.h"
#include "voice/ears-link.h"

namespace orvo {

class Ears {
 public:
  struct Parts {
    Runtime& runtime;
    EarsLink& link;
    std::filesystem::path baseDir;  // "voice-log.txt", "voice-pause.txt", "follow-up.txt"
    std::string assistantName = "Orvo";
    // Diagnostic runs: the delayed steps run at once, no chimes, no log file.
    bool fast = false;
    // One line per decision, for the listening trace; empty when not tracing.
    // Ducking is traced by whoever ducks the voice.
    std::function<void(const std::string&)> trace = nullptr;
  };

  explicit Ears(Parts parts);
  Ears(const Ears&) = delete;
  Ears& operator=(const Ears&) = delete;

  // One transcript of the current utterance. The outcome: "busy", "echo",
  // "nothing new", "not for me", "soft", "waiting", or in the fast mode
  // "acted" or "ignored".
  std::string partial(const std::string& text, bool final);
  // One microphone reading (0 and up).
  void level(double value);
  // A sentence has been spoken and no answer is expected.
  void voiceFinished();
  // The assistant asked something: the answer comes without the name.
  void expectAnswer();
  void setAssistantName(const std::string& name);

  // Seconds to wait before acting on a request, from how finished it sounds.
  static double wait(const std::string& request, bool final, double pause);
  // A line of "voice-log.txt".
  void log(const std::string& line);

 private:
  using Calls = std::vector<std::function<void()>>;
  // A request found, or a possible name to listen quietly after.
  struct Next {
    bool soft = false;
    int token = 0;
    double wait = 0.0;  // below 0: from the request and the pause file
    std::string request;
    bool casual = false;
    bool guessedName = false;
  };
  struct Found {
    std::string request;
    bool casual = false;
    bool guessedName = false;
    bool bareGuess = false;
  };

  std::string decide(const std::string& text, bool final, const EarsLink::Speaking& speaking,
                     bool naming, Calls& calls, std::optional<Next>& next) REQUIRES(mutex_);
  // The assistant is speaking or has just stopped: only a person's name or a
  // stop word gets through. Nothing when the transcript was dealt with here.
  std::optional<std::string> ownVoice(const std::string& text, std::string& fresh,
                                      const std::vector<std::string>& own,
                                      const std::string& lastSpoken, double now, Calls& calls)
      REQUIRES(mutex_);
  // Where the name stands in this utterance: put back where the recogniser
  // rewrote it, forgotten when it came and went.
  void followName(std::string& fresh, std::vector<std::string>& heard, double now) REQUIRES(mutex_);
  static bool echoOfOwnVoice(const std::vector<std::string>& heard,
                             const std::vector<std::string>& own, double sinceSpoke);
  std::optional<Found> findRequest(const std::string& fresh, const std::vector<std::string>& heard,
                                   double sinceSpoke, double now, Calls& calls,
                                   std::optional<Next>& next, std::string& outcome)
      REQUIRES(mutex_);
  std::string follow(const Next& next);
  std::string act(const Next& next);
  void listenQuietly(const Next& next);
  void interruptCall(Calls& calls);
  void logCall(Calls& calls, const std::string& line);
  void trace(const std::string& line);

  Parts parts_;
  // Timers hold this weakly: a listener that is gone is never touched.
  std::shared_ptr<Ears*> self_;

  Mutex mutex_;
  std::string key_ GUARDED_BY(mutex_);
  std::string handled_ GUARDED_BY(mutex_);
  double lastMiss_ GUARDED_BY(mutex_) = -100.0;
  double softUntil_ GUARDED_BY(mutex_) = 0.0;
  double lastChatter_ GUARDED_BY(mutex_) = -100.0;
  std::string ownKey_ GUARDED_BY(mutex_);
  int namesHeard_ GUARDED_BY(mutex_) = 0;
  int nameAt_ GUARDED_BY(mutex_) = -1;
  double nameSeen_ GUARDED_BY(mutex_) = 0.0;
  int nameResults_ GUARDED_BY(mutex_) = 0;        // results of this utterance that held the name
  bool nameOnlyLast_ GUARDED_BY(mutex_) = false;  // each time, as the result's last word
  std::string lastText_ GUARDED_BY(mutex_);
  bool lastFinal_ GUARDED_BY(mutex_) = false;  // lastText_ was a final result
  // When a request was acted on before its utterance's final result: the
  // recogniser's later results for that utterance are not a new request.
  double actedBeforeFinal_ GUARDED_BY(mutex_) = -100.0;
  int token_ GUARDED_BY(mutex_) = 0;
  double openUntil_ GUARDED_BY(mutex_) = 0.0;
  bool awaiting_ GUARDED_BY(mutex_) = false;
  double casualUntil_ GUARDED_BY(mutex_) = 0.0;
  double ownPeak_ GUARDED_BY(mutex_) = 0.0;
  double thisPeak_ GUARDED_BY(mutex_) = 0.0;
  double speechStart_ GUARDED_BY(mutex_) = 0.0;
  bool wasSpeaking_ GUARDED_BY(mutex_) = false;
  int overCount_ GUARDED_BY(mutex_) = 0;
  double overLevel_ GUARDED_BY(mutex_) = 0.0;
  double overUntil_ GUARDED_BY(mutex_) = 0.0;
  int fruitless_ GUARDED_BY(mutex_) = 0;
};

}  // namespace orvo
