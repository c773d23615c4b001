#include "engine/engine.h"

#include <algorithm>

#include "apps/access-backend.h"
#include "desks/app-desk.h"
#include "desks/live-stage.h"
#include "desks/studio-desk.h"
#include "desks/voice-desk.h"
#include "engine/engine-ears.h"
#include "engine/home-room.h"
#include "engine/requests.h"
#include "platform/files.h"
#include "platform/random.h"
#include "platform/window-lines.h"
#include "player/greeting.h"
#include "player/json-file.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/logic/logic-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/practice/practice-timers.h"
#include "rooms/reaper/reaper-room.h"
#include "rooms/talk/ai-talk.h"
#include "rooms/talk/talk-room.h"

namespace orvo {

Engine::Engine(EngineParts parts) : parts_(std::move(parts)) {
  Store& store = parts_.store;
  profile_ = Profile::fromDocument(jsonfile::readDocument(store, "profile.json"));
  mem_ = Memory::fromDocument(jsonfile::readDocument(store, "memory.json"));
  // Only counts of sentences said: a garbled file is simply counted afresh.
  if (auto text = store.read("intros.json")) {
    if (auto counts = jsonfile::parseObject(*text)) {
      for (auto& [key, value] : counts->items()) {
        if (auto count = jsonfile::wholeNumber(value, 0, 1'000'000)) intros_[key] = *count;
      }
    }
  }
  auto top = files::trim(store.read("top-key.txt").value_or(""));
  char* end = nullptr;
  long key = std::strtol(top.c_str(), &end, 10);
  if (!top.empty() && *end == '\0' && key >= 0 && key <= 127) {
    keys_.setTopKey(static_cast<int>(key));
  } else {
    awaitingTop_ = true;
  }
  earsLink_ = std::make_unique<EngineEars>(*this);
  ears_ = std::make_unique<Ears>(Ears::Parts{
      .runtime = parts_.runtime,
      .link = *earsLink_,
      .baseDir = parts_.baseDir,
      .assistantName = profile_.assistantName,
      .fast = parts_.opt.fast,
      .trace = parts_.earsTrace,
  });
  requests_ = std::make_unique<Requests>(*this, Requests::Parts{.speaker = parts_.speaker,
                                                                .store = parts_.store,
                                                                .opt = parts_.opt,
                                                                .wallClock = parts_.wallClock});
  home_ = std::make_unique<HomeRoom>(*this, HomeRoom::Parts{.studio = parts_.studio});
  talk_ = std::make_unique<TalkRoom>(
      *this, TalkRoom::Parts{.pianoSpeech = parts_.pianoSpeech, .store = parts_.store});
  lessons_ =
      std::make_unique<LessonRoom>(*this, LessonRoom::Parts{.runtime = parts_.runtime,
                                                            .midi = parts_.midi,
                                                            .speaker = parts_.speaker,
                                                            .store = parts_.store,
                                                            .songFolders = parts_.songFolders,
                                                            .baseDir = parts_.baseDir});
  compose_ =
      std::make_unique<ComposeRoom>(*this, ComposeRoom::Parts{.runtime = parts_.runtime,
                                                              .midi = parts_.midi,
                                                              .sounds = parts_.sounds,
                                                              .speaker = parts_.speaker,
                                                              .store = parts_.store,
                                                              .window = parts_.window,
                                                              .opt = parts_.opt,
                                                              .wallClock = parts_.wallClock,
                                                              .pianoSpeech = parts_.pianoSpeech,
                                                              .baseDir = parts_.baseDir});
  jazz_ = std::make_unique<JazzRoom>(
      *this, JazzRoom::Parts{.runtime = parts_.runtime, .midi = parts_.midi});
  menu_ = std::make_unique<MenuRoom>(*this, MenuRoom::Parts{.midi = parts_.midi});
  logic_ = std::make_unique<LogicRoom>(*this, LogicRoom::Parts{.runtime = parts_.runtime},
                                       parts_.osaRunner);
  reaper_ = std::make_unique<ReaperRoom>(*this, parts_.reaperHooks ? *parts_.reaperHooks
                                                : parts_.pretendReaper
                                                    ? pretendReaperHooks()
                                                    : reaperHooks(parts_.runtime, parts_.baseDir));
  static NoAssistant none;
  aiTalk_ = std::make_unique<AiTalk>(*this,
                                     AiTalk::Parts{.runtime = parts_.runtime,
                                                   .window = parts_.window,
                                                   .opt = parts_.opt,
                                                   .wallClock = parts_.wallClock,
                                                   .ears = *ears_},
                                     parts_.assistant ? *parts_.assistant : none);
  static NoDaw noStudio;
  studioDesk_ =
      std::make_unique<StudioDesk>(*this,
                                   StudioDesk::Parts{.runtime = parts_.runtime,
                                                     .midi = parts_.midi,
                                                     .store = parts_.store,
                                                     .studio = parts_.studio,
                                                     .opt = parts_.opt,
                                                     .wallClock = parts_.wallClock,
                                                     .pretendReaper = parts_.pretendReaper,
                                                     .reaperRunning = parts_.reaperRunning,
                                                     .reaperHooks = reaper_->hooks()},
                                   parts_.daw ? *parts_.daw : noStudio);
  static NoAccess noDesktop;
  appDesk_ = std::make_unique<AppDesk>(*this,
                                       AppDesk::Parts{.runtime = parts_.runtime,
                                                      .opt = parts_.opt,
                                                      .installedApps = parts_.installedApps,
                                                      .clipboard = parts_.clipboard,
                                                      .ownAppPid = parts_.ownAppPid},
                                       parts_.access ? *parts_.access : noDesktop);
  voiceDesk_ = std::make_unique<VoiceDesk>(
      *this, VoiceDesk::Parts{.runtime = parts_.runtime, .store = parts_.store}, parts_.voiceHooks);
  live_ = std::make_unique<LiveStage>(
      *this, LiveStage::Parts{.runtime = parts_.runtime, .midi = parts_.midi});
  ear_ = std::make_unique<EarTraining>(
      *this, EarTraining::Parts{.runtime = parts_.runtime, .midi = parts_.midi, .opt = parts_.opt});
  metronome_ = std::make_unique<Metronome>(
      parts_.runtime, parts_.midi, [this](std::string_view line) { ui(line); },
      [this](const std::string& line) { logLine(line); },
      [this](const std::string& sentence) { speak(sentence); }, parts_.opt.fast);
  timers_ = std::make_unique<PracticeTimers>(
      *this, PracticeTimers::Parts{
                 .runtime = parts_.runtime, .speaker = parts_.speaker, .opt = parts_.opt});
  // Two bands never play at once: a take with its band silences the live one.
  compose_->setLiveBandSilencer([this] { live_->silence(); });
  // Two requests in a row are split before any family reads them as one.
  requests_->addSubHandler([this](const Heard& heard) { return appDesk_->sequenceHear(heard); });
  requests_->addSubHandler([this](const Heard& heard) { return voiceDesk_->hear(heard); });
  // Music goes into the history (and the take) and the round's echo first;
  // an ear-training round takes the notes played at home before the live
  // band and the jam hear them; then the mode's own handling of a press.
  noteListeners_ = {compose_.get(), ear_.get(), live_.get(), &roomNotes_};
  current_ = home_.get();
  registerLines();
  requests_->loadLearned();
}

// Nothing of ours may fire after we are gone (tests make many engines on one runtime).
Engine::~Engine() {
  voiceDesk_.reset();  // an install or removal on its way ends first
  timers_->cancelAll();
  metronome_->stop();
}

void Engine::toggleLive() {
  RecursiveMutexLock guard(lock);
  live_->toggleLive();
}

void Engine::runPlan(std::vector<PlanStep> steps) {
  studioDesk_->runPlan(std::move(steps));
}

Room& Engine::room(Mode mode) {
  switch (mode) {
    case Mode::talk:
      return *talk_;
    case Mode::teach:
      return *lessons_;
    case Mode::compose:
      return *compose_;
    case Mode::jazz:
      return *jazz_;
    case Mode::menu:
      return *menu_;
    case Mode::logic:
      return *logic_;
    case Mode::reaper:
      return *reaper_;
    case Mode::idle:
      break;
  }
  return *home_;
}

void Engine::setMode(Mode mode) {
  RecursiveMutexLock guard(lock);
  Room& next = room(mode);
  if (&next == current_) return;
  if (mode != Mode::idle) ear_->stop();  // a round lives only at home
  current_->leave();
  current_ = &next;
  next.enter();
  ui(lines::mode(modeName(mode)));
}

int Engine::run(std::function<void(int gen)> work) {
  int mine;
  {
    RecursiveMutexLock guard(lock);
    mine = ++gen_;
  }
  parts_.speaker.stop();
  // Diagnostic runs act at once, on the caller's thread.
  if (parts_.opt.fast) {
    work(mine);
    return mine;
  }
  ++activities_;
  parts_.runtime.async([this, work = std::move(work), mine] {
    work(mine);
    --activities_;
  });
  return mine;
}

void Engine::cutIn() {
  ++gen_;
  parts_.speaker.stop();
}

bool Engine::alive(int gen) {
  return gen == gen_.load();
}

void Engine::say(const std::string& text, int gen) {
  {
    RecursiveMutexLock guard(lock);
    if (gen != gen_) return;
    MutexLock spoken(spokenLock_);
    lastSpoken_ = text;
    lastSpokenAt_ = now() + 30.0;  // speech under way
    ++speaking_;
  }
  parts_.speaker.say(text, SpeechTicket{&gen_, gen});
  bool finished;
  bool asked;
  {
    RecursiveMutexLock guard(lock);
    --speaking_;
    finished = gen == gen_;
    asked = pendingSentence_.has_value() || requests_->questionPending() ||
            (studioDesk_ && studioDesk_->questionPending());
    // A sentence cut off by a newer one leaves the speaking state to that one;
    // one cut off by a note still ends it, and an interruption has already.
    MutexLock spoken(spokenLock_);
    if ((finished || speaking_ == 0) && lastSpokenAt_ > now()) lastSpokenAt_ = now();
  }
  if (!finished) return;
  if (asked) {
    ears_->expectAnswer();
  } else {
    ears_->voiceFinished();
  }
}

void Engine::interrupt() {
  RecursiveMutexLock guard(lock);
  ++gen_;
  parts_.speaker.stop();
  parts_.duck(false);
  parts_.midi.allOff();
  setLastSpokenAt(now() - 1.0);
}

void Engine::setLastSpokenAt(double at) {
  MutexLock spoken(spokenLock_);
  lastSpokenAt_ = at;
}

EarsLink::Speaking Engine::speakingNow() {
  MutexLock spoken(spokenLock_);
  return {lastSpoken_, lastSpokenAt_};
}

void Engine::setPendingSentence(std::optional<std::string> sentence) {
  RecursiveMutexLock guard(lock);
  pendingSentence_ = std::move(sentence);
}

void Engine::speak(const std::string& text) {
  run([this, text](int gen) { say(text, gen); });
}

void Engine::keyboardChanged(bool connected) {
  {
    RecursiveMutexLock guard(lock);
    if (current_->mode() == Mode::teach && lessons_->listening()) return;
  }
  parts_.speaker.say(connected ? "Piano connected." : "Piano disconnected.");
}

void Engine::keepThenSay(const std::string& file, std::string content, std::string confirmation) {
  sayOnceKept(file, [&](Store::Kept kept) {
    parts_.store.write(file, std::move(content), nullptr, std::move(kept));
    return std::move(confirmation);
  });
}

void Engine::sayOnceKept(const std::string& what,
                         const std::function<std::string(Store::Kept)>& change) {
  auto done = parts_.runtime.makeSemaphore();
  auto problem = std::make_shared<std::optional<std::string>>();
  std::string confirmation = change([done, problem](const std::optional<std::string>& why) {
    *problem = why;
    done->signal();
  });
  run([this, what, done, problem, confirmation = std::move(confirmation)](int gen) {
    // The store writes in order on its own queue; a disk that never answers is a failure too.
    const std::optional<std::string> why =
        done->wait(10.0) ? *problem : std::optional<std::string>("the disk did not answer");
    if (why) logLine("not kept: " + what + ": " + *why);
    say(why ? "I couldn't keep that, because " + *why + "." : confirmation, gen);
  });
}

std::string Engine::intro(const std::string& key, const std::string& text) {
  RecursiveMutexLock guard(lock);
  int seen = intros_[key];
  intros_[key] = seen + 1;
  parts_.store.write("intros.json", jsonfile::text(nlohmann::json(intros_)));
  return seen <= 1 ? text : "";
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
  RecursiveMutexLock guard(lock);
  Greeting greeting = buildGreeting(profile_, mem_, found);
  // Its file is left exactly as it is: said once, so nothing seems forgotten without a word.
  if (parts_.store.unreadable("memory.json")) {
    greeting.rest +=
        " I couldn't read what I remember of your pieces and lessons, so I'm "
        "leaving that file as it is.";
  }
  if (keyboardConnected && awaitingTop_) {
    greeting.rest += " I can see a piano. Press its highest key once, so I know its size.";
  }
  // Without a piano the computer keyboard is the way in: said to a newcomer.
  const std::string keys = keyboardConnected
                               ? ""
                               : intro("computer keys",
                                       "Until then, the computer keyboard works: h for help, 1 for "
                                       "a lesson, and q to quit.");
  ui(lines::welcome(greeting.whole()));
  // The profile asked for the natural voice: it is fetched once the greeting is said.
  const std::optional<std::string> fetching = voiceDesk_->fetchAtStart(profile_);
  if (gen_ != 0) {
    // A key came first: its answer is not talked over, but whether a piano
    // was found is still said once the answer is done.
    parts_.runtime.async([this, found, fetching, keys] {
      for (int waited = 0; waited < 200; ++waited) {
        {
          RecursiveMutexLock guard(lock);
          if (speaking_ == 0) break;
        }
        parts_.runtime.sleep(0.1);
      }
      parts_.speaker.say(found);
      if (!keys.empty()) parts_.speaker.say(keys);
      if (fetching) {
        parts_.speaker.say(*fetching);
        voiceDesk_->beginInstall();
      }
    });
    return;
  }
  run([this, greeting, fetching, keys](int gen) {
    // The natural voice, just starting, gets two seconds to say the greeting itself.
    for (int waited = 0; waited < 20 && parts_.voiceHooks.coming() && alive(gen); ++waited) {
      parts_.runtime.sleep(0.1);
    }
    say(greeting.hello, gen);
    if (!greeting.rest.empty()) say(greeting.rest, gen);
    if (!keys.empty()) say(keys, gen);
    if (fetching) {
      say(*fetching, gen);
      voiceDesk_->beginInstall();
    }
  });
}

void Engine::markOpened(const std::string& localTime) {
  RecursiveMutexLock guard(lock);
  mem_.lastOpened = localTime;
  saveMemory();
  compose_->pieces().rememberUnknownLater();
}

// Another copy (a one-off "--drop" beside the running one) may have written
// the file since: its dropped songs are kept, and leave the library here too.
std::string Engine::mergeMemory(const std::string& ours, const std::string& theirs) {
  Memory merged = Memory::parse(ours);
  Memory other = Memory::parse(theirs);
  bool more = false;
  for (const auto& title : other.dropped) more = merged.drop(title) || more;
  if (more) {
    RecursiveMutexLock guard(lock);
    for (const auto& title : merged.dropped) mem_.drop(title);
    lessons_->applyDropped();
  }
  return merged.text();
}

void Engine::saveMemory() {
  writeMemory(nullptr);
}

void Engine::saveMemoryThenSay(std::string confirmation) {
  sayOnceKept("memory.json", [&](Store::Kept kept) {
    writeMemory(std::move(kept));
    return std::move(confirmation);
  });
}

void Engine::writeMemory(Store::Kept kept) {
  RecursiveMutexLock guard(lock);
  parts_.store.write(
      "memory.json", mem_.text(),
      [this](const std::string& ours, const std::string& theirs) {
        return mergeMemory(ours, theirs);
      },
      std::move(kept));
}

Mode Engine::currentMode() {
  RecursiveMutexLock guard(lock);
  return current_->mode();
}

bool Engine::isPaused() {
  RecursiveMutexLock guard(lock);
  return lessons_->paused();
}

int Engine::currentGen() {
  return gen_;
}

ButtonKeys Engine::buttonKeys() {
  RecursiveMutexLock guard(lock);
  return keys_;
}

Profile Engine::currentProfile() {
  RecursiveMutexLock guard(lock);
  return profile_;
}

Memory Engine::currentMemory() {
  RecursiveMutexLock guard(lock);
  return mem_;
}

}  // namespace orvo
