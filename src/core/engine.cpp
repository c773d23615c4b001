#include "core/engine.h"

#include "core/greeting.h"
#include "core/json-file.h"
#include "platform/files.h"
#include "platform/random.h"

namespace orvo {

Engine::Engine(EngineParts parts) : parts_(std::move(parts)) {
  profile_ = Profile::load(dataFile("profile.json"));
  mem_ = Memory::load(dataFile("memory.json"));
  if (auto counts = jsonfile::readObject(dataFile("intros.json"))) {
    for (auto& [key, value] : counts->items()) {
      if (value.is_number_integer()) intros_[key] = value.get<int>();
    }
  }
  loadTalkSentences();
  loadSongs();
  auto top = files::trim(files::readFile(dataFile("top-key.txt")).value_or(""));
  char* end = nullptr;
  long key = std::strtol(top.c_str(), &end, 10);
  if (!top.empty() && *end == '\0' && key >= 0 && key <= 127) {
    keys_.setTopKey(static_cast<int>(key));
  } else {
    awaitingTop_ = true;
  }
}

int Engine::run(std::function<void(int gen)> work) {
  int mine;
  {
    std::lock_guard guard(lock);
    mine = ++gen_;
  }
  stopSpeech();
  if (parts_.opt.fast) {
    work(mine);
  } else {
    parts_.runtime.async([work = std::move(work), mine] { work(mine); });
  }
  return mine;
}

bool Engine::alive(int gen) {
  std::lock_guard guard(lock);
  return gen == gen_;
}

void Engine::say(const std::string& text, int gen) {
  {
    std::lock_guard guard(lock);
    if (gen != gen_) return;
    lastSpoken_ = text;
    lastSpokenAt_ = now() + 30.0;  // speech under way
  }
  parts_.speaker.say(text);
  std::lock_guard guard(lock);
  lastSpokenAt_ = now();
}

void Engine::interrupt() {
  std::lock_guard guard(lock);
  ++gen_;
  stopSpeech();
  silenceNotes();
  lastSpokenAt_ = now() - 1.0;
}

void Engine::speak(const std::string& text) {
  run([this, text](int gen) { say(text, gen); });
}

std::string Engine::intro(const std::string& key, const std::string& text) {
  std::lock_guard guard(lock);
  int seen = intros_[key];
  intros_[key] = seen + 1;
  if (!parts_.opt.fast) jsonfile::write(dataFile("intros.json"), nlohmann::json(intros_));
  return seen <= 1 ? text : "";
}

void Engine::setMode(Mode mode) {
  std::lock_guard guard(lock);
  if (mode == mode_) return;
  mode_ = mode;
  ui("mode " + modeName(mode));
}

void Engine::setPaused(bool paused) {
  std::lock_guard guard(lock);
  paused_ = paused;
  ui(std::string("paused ") + (paused ? "1" : "0"));
}

std::string Engine::pick(const std::vector<std::string>& sentences) {
  return parts_.runtime.random().pick(sentences);
}

void Engine::notYet(const std::string& what) {
  logLine("not yet: " + what);
  speak("Sorry, " + what + " is not ready yet.");
}

// Keys work from the moment the key reader starts, before the greeting: a
// player who has already asked for something is not talked over. The lock
// makes the check and the greeting's start one step for the other threads.
void Engine::greet(const std::string& found, bool keyboardConnected) {
  std::lock_guard guard(lock);
  Greeting greeting = buildGreeting(profile_, mem_, found);
  if (keyboardConnected && awaitingTop_) {
    greeting.rest += " I can see a piano. Press its highest key once, so I know its size.";
  }
  ui("welcome " + greeting.whole());
  if (gen_ != 0) return;
  run([this, greeting](int gen) {
    say(greeting.hello, gen);
    if (!greeting.rest.empty()) say(greeting.rest, gen);
  });
}

void Engine::markOpened(const std::string& localTime) {
  std::lock_guard guard(lock);
  mem_.lastOpened = localTime;
  saveMemory();
}

void Engine::saveMemory() {
  std::lock_guard guard(lock);
  if (!parts_.opt.fast) mem_.save(dataFile("memory.json"));
}

Mode Engine::currentMode() {
  std::lock_guard guard(lock);
  return mode_;
}

bool Engine::isPaused() {
  std::lock_guard guard(lock);
  return paused_;
}

int Engine::currentGen() {
  std::lock_guard guard(lock);
  return gen_;
}

ButtonKeys Engine::buttonKeys() {
  std::lock_guard guard(lock);
  return keys_;
}

Profile Engine::currentProfile() {
  std::lock_guard guard(lock);
  return profile_;
}

Memory Engine::currentMemory() {
  std::lock_guard guard(lock);
  return mem_;
}

}  // namespace orvo
