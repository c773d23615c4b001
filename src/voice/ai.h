#pragma once
// Asking a language model: where the `claude` tool is, the one-shot question
// (a process per question, for a remark or a command-line question), the
// long-lived session (stream JSON, kept warm so answers come quickly and the
// conversation has memory), and the on-device model as the last route.
//
// Threads: every member may be called from any thread except the MIDI
// thread; ask() blocks its activity until the answer or the time limit.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/line-process.h"
#include "platform/mutex.h"
#include "platform/runtime.h"
#include "voice/assistant.h"
#include "voice/local-ai.h"

namespace orvo {

namespace ai {

// "/opt/homebrew/bin/claude", ~/.local/bin/claude, "/usr/local/bin/claude".
std::vector<std::filesystem::path> paths(const std::filesystem::path& home);
// The first of them that can be run; nothing when ORVO_AI is "local".
std::optional<std::filesystem::path> path();
// The tool's working folder, which the tool trusts (its settings and hooks are
// read there): "ai" in the data folder, else "orvo-ai" in the session's own folder,
// made for the player alone. Nothing when it is not a folder of the player's
// own that no one else can write.
std::optional<std::filesystem::path> workFolder(const std::filesystem::path& dataFolder);

// The tool is there but signed out: how to sign in, in this computer's words.
std::string notSignedIn();
inline constexpr const char* unreachable = "I could not reach the AI just now.";
inline constexpr const char* didNotFollow =
    "Sorry, I didn't quite follow. Could you say that another way?";

// The reply as it is spoken or performed: no "*" or "#", and a "DO:" line,
// when there is one, alone ("DO: " + the command, trimmed of " .!").
std::string cleanReply(const std::string& reply);

}  // namespace ai

// Who the prompts name, and what the session's prompt lists.
struct AIPeople {
  std::string assistant = "Orvo";
  std::string user;
  std::string about;
  std::vector<std::string> library;  // song titles
};

class AISession final : public Assistant {
 public:
  AISession(Runtime& runtime, LocalAI& local, std::function<void(const std::string&)> log);
  ~AISession() override;

  void setPeople(AIPeople people);
  // The data folder, under which the tool gets its private working folder.
  void setDataFolder(std::filesystem::path folder);
  // Where the tool is; the default looks it up with ai::path() each time.
  void setToolPath(std::function<std::optional<std::filesystem::path>()> find) {
    findTool_ = std::move(find);
  }

  // Starts the tool unless it runs (or warms the local model instead).
  void start();
  // The cleaned answer; "" when none came within 75 s (the session is shut down).
  std::string ask(const std::string& question, const std::string& state) override;
  // The one-shot question, 60 s at most.
  std::string askOnce(const std::string& question, const std::string& context) override;
  void shutDown();

  bool signedOut() override;
  bool usingLocal();
  bool ready() override;
  bool toolPresent() override;
  // Start, then the warm-up question 2 s later (from an activity).
  void warmUp();

 private:
  void onLine(std::string_view line);
  std::optional<std::filesystem::path> tool();

  Runtime& runtime_;
  LocalAI& local_;
  std::function<void(const std::string&)> log_;
  std::function<std::optional<std::filesystem::path>()> findTool_;

  Mutex mutex_;
  AIPeople people_ GUARDED_BY(mutex_);
  std::filesystem::path dataFolder_ GUARDED_BY(mutex_);
  std::unique_ptr<LineProcess> process_ GUARDED_BY(mutex_);
  bool signedOut_ GUARDED_BY(mutex_) = false;
  // One question at a time; each waits for the result that answers it.
  std::mutex asking_;
  std::shared_ptr<Semaphore> result_;
  std::optional<std::string> answer_ GUARDED_BY(mutex_);
  bool waiting_ GUARDED_BY(mutex_) = false;
};

}  // namespace orvo
