#include "window/engine-link.h"

#include <sys/wait.h>

namespace orvo::window {

EngineLink::EngineLink(Parts parts) : parts_(std::move(parts)) {
  parts_.env["LORIMEL_UI"] = "1";
  watcher_ = std::thread([this] { watch(); });
}

EngineLink::~EngineLink() {
  close();
  {
    std::lock_guard guard(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

std::string EngineLink::howItEnded(int status) {
  if (WIFSIGNALED(status)) return "it was stopped by signal " + std::to_string(WTERMSIG(status));
  return "it ended with status " + std::to_string(WEXITSTATUS(status));
}

bool EngineLink::start() {
  std::lock_guard guard(mutex_);
  if (closing_) return false;
  ++starts_;
  auto process =
      LineProcess::start({.argv = parts_.command, .env = parts_.env, .discardErrors = false},
                         {.onLine = [this](std::string_view line) { parts_.onLine(line); },
                          .onExit = [this] { ended(); }});
  if (!process) {
    parts_.onTrouble("I could not start Orvo's engine (" +
                     (parts_.command.empty() ? std::string("none given") : parts_.command[0]) +
                     "). Check that it is installed beside this window.");
    return false;
  }
  if (process_) finished_.push_back(std::move(process_));
  process_ = std::move(process);
  return true;
}

void EngineLink::ended() {
  {
    std::lock_guard guard(mutex_);
    endedNow_ = true;
  }
  changed_.notify_all();
}

// Restarts happen here, never on the reader thread of the engine that ended.
void EngineLink::watch() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return closing_ || endedNow_; });
    if (closing_) return;
    endedNow_ = false;
    if (!process_ || process_->running()) continue;
    const std::string how = howItEnded(process_->exitStatus());
    if (starts_ >= 2) {
      lock.unlock();
      parts_.onTrouble("Orvo's engine stopped again: " + how +
                       ". Close this window and open it again; the log in Orvo's data folder "
                       "says more.");
      lock.lock();
      continue;
    }
    lock.unlock();
    parts_.onTrouble("Orvo's engine stopped unexpectedly: " + how + ". I started it again.");
    start();
    lock.lock();
  }
}

bool EngineLink::send(std::string_view bytes) {
  std::lock_guard guard(mutex_);
  return process_ && process_->write(bytes);
}

void EngineLink::close() {
  LineProcess* engine = nullptr;
  {
    std::lock_guard guard(mutex_);
    if (closing_) return;
    closing_ = true;
    if (process_) process_->closeInput();
    engine = process_.get();
  }
  changed_.notify_all();
  // It saves what must not be lost before it goes: a moment is given.
  for (int waited = 0; engine && engine->running() && waited < 300; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace orvo::window
