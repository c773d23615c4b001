#include "voice/ai.h"

#include <algorithm>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "platform/places.h"
#include "platform/platform-words.h"
#include "platform/run-tool.h"
#include "platform/utf8.h"
#include "voice/ai-prompts.h"

namespace orvo {

namespace ai {

std::vector<std::filesystem::path> paths(const std::filesystem::path& home) {
  return {"/opt/homebrew/bin/claude", home / ".local/bin/claude", "/usr/local/bin/claude"};
}

std::optional<std::filesystem::path> path() {
  if (environment("ORVO_AI") == "local") return std::nullopt;
  return firstProgram(paths(environment("HOME")));
}

std::optional<std::filesystem::path> workFolder(const std::filesystem::path& dataFolder) {
  std::filesystem::path folder;
  if (!dataFolder.empty()) {
    folder = dataFolder / "ai";
  } else if (auto session = sessionFolder(); !session.empty()) {
    folder = session / "orvo-ai";
  } else {
    return std::nullopt;
  }
  if (!files::makePrivateFolder(folder)) return std::nullopt;
  return folder;
}

namespace {

// A spoken answer has no markdown: every "*" and "#" goes.
std::string withoutMarks(const std::string& reply) {
  std::string text;
  for (char c : reply) {
    if (c != '*' && c != '#') text.push_back(c);
  }
  return text;
}

}  // namespace

std::string notSignedIn() {
  return std::string(platformWords().notSignedIn);
}

std::string cleanReply(const std::string& reply) {
  const std::string text = withoutMarks(reply);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = files::trim(text.substr(start, end - start));
    if (line.rfind("DO:", 0) == 0) {
      std::string command = line.substr(3);
      const char* ends = " .!";
      auto first = command.find_first_not_of(ends);
      auto last = command.find_last_not_of(ends);
      command = first == std::string::npos ? "" : command.substr(first, last - first + 1);
      return "DO: " + command;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return files::trim(text);
}

}  // namespace ai

namespace {

bool mentionsSignIn(const std::string& text) {
  return text.find("authenticate") != std::string::npos || text.find("401") != std::string::npos;
}

const char* kToolPath = "/usr/bin:/bin:/usr/sbin:/sbin:/opt/homebrew/bin:/usr/local/bin";

}  // namespace

AISession::AISession(Runtime& runtime, LocalAI& local, std::function<void(const std::string&)> log)
    : runtime_(runtime),
      local_(local),
      log_(std::move(log)),
      findTool_([] { return ai::path(); }),
      result_(runtime.makeSemaphore()) {}

AISession::~AISession() {
  shutDown();
}

void AISession::setDataFolder(std::filesystem::path folder) {
  MutexLock guard(mutex_);
  dataFolder_ = std::move(folder);
}

void AISession::setPeople(AIPeople people) {
  MutexLock guard(mutex_);
  people_ = std::move(people);
}

std::optional<std::filesystem::path> AISession::tool() {
  return findTool_();
}

bool AISession::signedOut() {
  MutexLock guard(mutex_);
  return signedOut_;
}

bool AISession::toolPresent() {
  return tool().has_value();
}

bool AISession::usingLocal() {
  return (!tool() || signedOut()) && local_.available();
}

bool AISession::ready() {
  bool running = false, out = false;
  {
    MutexLock guard(mutex_);
    running = process_ && process_->running();
    out = signedOut_;
  }
  if (running && !out) return true;
  if (tool() && !out) return true;
  return usingLocal();
}

void AISession::start() {
  auto found = tool();
  std::unique_ptr<LineProcess> ended;  // let go of with no lock held: it waits for its reader
  MutexLock guard(mutex_);
  if (process_ && process_->running()) return;
  ended = std::move(process_);
  const auto folder = ai::workFolder(dataFolder_);
  if (found && !folder) log_("ai: no private working folder, so the tool is not started");
  if (!found || !folder || signedOut_) {
    local_.prewarm();
    return;
  }
  std::string library;
  for (const auto& title : people_.library) library += (library.empty() ? "" : ", ") + title;
  LineProcess::Options options;
  options.argv = {found->string(),
                  "-p",
                  "--model",
                  "haiku",
                  "--input-format",
                  "stream-json",
                  "--output-format",
                  "stream-json",
                  "--verbose",
                  "--system-prompt",
                  ai::sessionPersona(people_.assistant, people_.user, people_.about) +
                      "\nSongs in their library: " + library + ".",
                  "--allowedTools",
                  "WebSearch,WebFetch",
                  "--disallowedTools",
                  "Bash,Edit,Write,Read,Agent,NotebookEdit,Glob,Grep"};
  options.cwd = *folder;
  options.env = {{"PATH", kToolPath}};
  options.discardErrors = true;
  LineProcess::Calls calls;
  calls.onLine = [this](std::string_view line) { onLine(line); };
  calls.onDropped = [this](std::size_t bytes) {
    log_("ai: dropped a line of " + std::to_string(bytes) + " bytes");
  };
  // A session that ends while a question waits answers it as empty at once,
  // rather than after the 75 s; the next question starts a new one.
  calls.onExit = [this] {
    log_("ai: the session ended");
    bool signal = false;
    {
      MutexLock guard(mutex_);
      if (waiting_) {
        waiting_ = false;
        answer_.reset();
        signal = true;
      }
    }
    if (signal) result_->signal();
  };
  process_ = LineProcess::start(options, std::move(calls));
  log_(process_ ? "ai: the session started" : "ai: could not start " + found->string());
}

// On the reader's thread: one JSON object per line; the result answers the
// question waiting, and a result nobody waits for is let go.
void AISession::onLine(std::string_view line) {
  auto json = nlohmann::json::parse(line, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    log_("ai: not JSON: " + cutUtf8(repairUtf8(std::string(line)), 120));
    return;
  }
  if (json.value("type", "") != "result") return;
  const bool error = json.value("is_error", false) == true;
  auto found = json.find("result");
  if (!error && (found == json.end() || !found->is_string())) {
    log_("ai: a result without its text");
    return;
  }
  std::string text = found != json.end() && found->is_string() ? found->get<std::string>() : "";
  text = repairUtf8(text);
  bool signal = false;
  {
    MutexLock guard(mutex_);
    if (error || mentionsSignIn(text)) {
      signedOut_ = true;
      text = "The AI is not signed in yet.";
    }
    if (waiting_) {
      waiting_ = false;
      answer_ = text;
      signal = true;
    }
  }
  if (signal) {
    result_->signal();
  } else {
    log_("ai: a result no question was waiting for");
  }
}

std::string AISession::ask(const std::string& question, const std::string& state) {
  std::lock_guard one(asking_);
  if (usingLocal()) {
    std::string persona;
    {
      MutexLock guard(mutex_);
      persona = ai::localPersona(people_.assistant, people_.user);
    }
    std::string reply = local_.ask("They say: " + question + "\nYou reply:", persona);
    const std::string cleaned = ai::cleanReply(reply);
    return cleaned.empty() ? ai::didNotFollow : cleaned;
  }
  start();
  nlohmann::json message = {
      {"type", "user"},
      {"message",
       {{"role", "user"},
        {"content", {{{"type", "text"}, {"text", "[" + state + "]\n" + question}}}}}}};
  const std::string line = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  bool sent = false;
  {
    MutexLock guard(mutex_);
    answer_.reset();
    waiting_ = true;
    sent = process_ && process_->write(line + "\n");
    if (!sent) waiting_ = false;
  }
  if (!sent) {
    log_("ai: the session could not be asked");
    shutDown();
    return "";
  }
  if (!result_->wait(75.0)) {
    log_("ai: no answer within 75 s");
    shutDown();
    return "";
  }
  std::optional<std::string> result;
  {
    MutexLock guard(mutex_);
    result = answer_;
  }
  if (!result) return "";  // the session ended before it answered
  std::string answer = ai::cleanReply(*result);
  return answer.empty() ? ai::didNotFollow : answer;
}

std::string AISession::askOnce(const std::string& question, const std::string& context) {
  std::string persona;
  {
    MutexLock guard(mutex_);
    persona = ai::oneShotPersona(people_.assistant, people_.user, people_.about);
  }
  const std::string instructions = persona + "\n\nWhat you know right now:\n" + context;
  auto found = tool();
  std::filesystem::path data;
  {
    MutexLock guard(mutex_);
    data = dataFolder_;
  }
  const auto folder = ai::workFolder(data);
  if (!found || !folder || signedOut()) {
    if (local_.available()) return ai::cleanReply(local_.ask(question, instructions));
    return ai::unreachable;
  }
  ToolRun run = runTool(runtime_, found->string(),
                        {"-p", "--model", "haiku", "--system-prompt", instructions,
                         "--disallowedTools", "Bash,Edit,Write,Read,WebFetch,WebSearch,Agent"},
                        question, 60.0, *folder);
  if (mentionsSignIn(run.out) || run.out.find("/login") != std::string::npos)
    return ai::notSignedIn();
  if (!run.ok || files::trim(run.out).empty()) return ai::unreachable;
  return files::trim(repairUtf8(ai::withoutMarks(run.out)));
}

void AISession::shutDown() {
  std::unique_ptr<LineProcess> gone;
  {
    MutexLock guard(mutex_);
    gone = std::move(process_);
    waiting_ = false;
  }
  if (gone) gone->terminate();
  // The destructor kills what is left and waits for the reader, with no lock held.
}

void AISession::warmUp() {
  start();
  runtime_.sleep(2.0);
  if (!usingLocal() && toolPresent())
    ask("Reply with the single word ready.", "the app has just opened");
}

}  // namespace orvo
