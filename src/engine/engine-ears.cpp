// The listener's side of the engine, and requests heard.

#include "engine/engine-ears.h"

#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/utf8.h"

namespace orvo {

EarsLink::Speaking EngineEars::speaking() {
  return engine_.speakingNow();
}

// While a piece is named by typing, nothing heard is a request. The flag is
// read without the engine's lock.
bool EngineEars::naming() {
  return engine_.namingPiece();
}

// Casual hearing is set under the engine's lock for the length of the
// request, so the request handlers act only on clear requests. A name that
// was only guessed sets the same bar, so it needs no flag of its own.
std::string EngineEars::hear(const std::string& request, bool casual, bool /*guessedName*/) {
  RecursiveMutexLock guard(engine_.lock);
  engine_.casualHearing_ = casual;
  std::string outcome = engine_.hear(request);
  engine_.casualHearing_ = false;
  return outcome;
}

void EngineEars::interrupt() {
  engine_.interrupt();
}

void EngineEars::duck(bool on) {
  engine_.parts_.duck(on);
}

void EngineEars::chime(const std::vector<int>& notes, int velocity, double hold) {
  engine_.cues().chime(notes, velocity, hold);
}

void EngineEars::ui(std::string_view line) {
  engine_.ui(line);
}

std::string Engine::hear(const std::string& request) {
  std::string outcome = requests_->hear(request);
  logLine("heard \"" + cutUtf8(request, 200) + "\": " + outcome);
  return outcome;
}

bool Engine::casualHearing() {
  RecursiveMutexLock guard(lock);
  return casualHearing_;
}

void Engine::renameAssistant(const std::string& name) {
  RecursiveMutexLock guard(lock);
  profile_.assistantName = name;
  parts_.store.write("profile.json", profile_.text());
  ui(profile_.nameLine());
  ears_->setAssistantName(name);
}

}  // namespace orvo
