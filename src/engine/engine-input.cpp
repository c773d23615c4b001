// Typed lines from the window or the terminal, and single computer keys.

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "desks/studio-desk.h"
#include "desks/voice-desk.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "platform/login-items.h"
#include "platform/platform-words.h"
#include "platform/utf8.h"
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
#include "voice/request-words.h"

namespace orvo {

// The engine's own verbs; rooms and subsystems register theirs when made.
void Engine::registerLines() {
  // Recognised speech: a flag ("1" for the final result), one separating
  // character, the transcript so far. A line cut short is an empty transcript.
  routes_.prefix("ear ", [this](const std::string& rest) {
    bool final = !rest.empty() && rest[0] == '1';
    ears_->partial(rest.size() > 2 ? rest.substr(2) : "", final);
  });
  // The microphone level; anything that is not a number counts as silence.
  routes_.prefix("lvl ", [this](const std::string& rest) {
    char* end = nullptr;
    double value = std::strtod(rest.c_str(), &end);
    bool number = end != rest.c_str() && files::trim(end).empty();
    ears_->level(number ? value : 0.0);
  });
  routes_.exact("ear", [this](const std::string&) { ear_->startEar(); });
  // The window's outputs: "output voice NAME", "output music NAME", an empty
  // name for the usual output, "output together".
  routes_.prefix("output ", [this](const std::string& rest) {
    if (rest == "together") return outputsTogether();
    const auto space = rest.find(' ');
    const std::string verb = rest.substr(0, space);
    const std::string name(space == std::string::npos ? "" : files::trim(rest.substr(space)));
    if (verb == "voice" || verb == "music") {
      const OutputFor what = verb == "voice" ? OutputFor::voice : OutputFor::music;
      return name.empty() ? useUsualOutput(what) : chooseOutput(what, name);
    }
    logLine("typed line not understood: output " + cutUtf8(rest, 200));
  });
  // "metronome 100", "metronome off", or "metronome" alone for the last tempo.
  routes_.prefix("metronome", [this](const std::string& rest) {
    const std::string word = files::trim(rest);
    if (word.empty()) return metronome_->set(metronome_->bpm());
    if (word == "off" || word == "stop") return metronome_->set(std::nullopt);
    char* end = nullptr;
    const long bpm = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || !files::trim(end).empty())
      return speak("A tempo is a number of beats a minute, like metronome 100.");
    metronome_->set(static_cast<int>(std::clamp(bpm, -1L, 100000L)));
  });
  // "timer SECONDS [label]".
  routes_.prefix("timer", [this](const std::string& rest) {
    const std::string line = files::trim(rest);
    char* end = nullptr;
    const double seconds = std::strtod(line.c_str(), &end);
    if (end == line.c_str() || (*end != '\0' && *end != ' '))
      return speak("A timer needs its length in seconds, like timer 300.");
    timers_->set(seconds, files::trim(end));
  });
  routes_.exact("bg", [this](const std::string&) {
    std::string assistant = currentProfile().assistantName;
    speak(pick({"I'm still here, in the background. Just say my name.",
                "The window's closed, but I'm still listening. Just say " + assistant + "."}));
  });
  routes_.prefix("login ", [this](const std::string& want) {
    if (want != "on" && want != "off") {
      logLine("login: not understood: " + want);
      return;
    }
    setLogin(want == "on");
  });
  routes_.prefix("setup ", [this](const std::string& fields) {
    RecursiveMutexLock guard(lock);
    auto updated = profile_.withSetup(fields);
    if (!updated) return;
    profile_ = *updated;
    ears_->setAssistantName(profile_.assistantName);
    ui(profile_.nameLine());
    std::string user = profile_.userName.empty() ? "" : ", " + profile_.userName;
    const std::string& assistant = profile_.assistantName;
    keepThenSay("profile.json", profile_.text(),
                "All set" + user + ". I'm " + assistant + ". Whenever you need me, say " +
                    assistant + ", then what you'd like. Try: " + assistant + ", what can you do?");
  });
  routes_.prefix("speak ", [this](const std::string& rest) { hear(rest); });
  routes_.prefix("say ", [this](const std::string& rest) { hear(rest); });
  routes_.prefix("restart", [this](const std::string&) { restartTake(); });
  routes_.exact("bandstyle", [this](const std::string&) {
    RecursiveMutexLock guard(lock);
    compose_->toggleBandStyle();
  });
  routes_.exact("name", [this](const std::string&) {
    ui(currentProfile().nameLine());
    ui(vocabLine());
  });
  auto logOnly = [this](const std::string& line) { logLine("not yet: " + line); };
  routes_.prefix("update ", [logOnly](const std::string& rest) { logOnly("update " + rest); });
  // The natural voice is not wanted: it is not offered at start again.
  routes_.exact("declined", [this](const std::string&) { voiceDesk_->decline(); });
  // Requests of features still to come: said, never silent.
  routes_.exact("live", [this](const std::string&) { toggleLive(); });
  // "jazz 3": the lesson by its number; anything else there is told the range.
  routes_.prefix("jazz ", [this](const std::string& rest) {
    const std::string number = files::trim(rest);
    char* end = nullptr;
    const long lesson = std::strtol(number.c_str(), &end, 10);
    const bool whole = !number.empty() && *end == '\0' && lesson >= 1 && lesson <= 9;
    jazz_->startJazz(whole ? static_cast<int>(lesson) - 1 : -1);
  });
}

void Engine::appCommand(const std::string& text) {
  // A prompt of REAPER control takes the next typed line; the listener's
  // lines keep their meaning.
  auto verb = text.substr(0, text.find(' '));
  if (verb != "ear" && verb != "lvl") {
    RecursiveMutexLock guard(lock);
    if (current_ == reaper_.get() && reaper_->typed(text)) return;
  }
  if (routes_.route(text)) return;
  logLine("typed line not understood: " + cutUtf8(text, 200));
  notYet("typing a request");
}

std::string Engine::vocabLine() {
  std::string words = "vocab " + currentProfile().assistantName;
  for (const auto& title : lessons_->songTitles()) words += ", " + title;
  for (auto word : requests::knownWords()) words += ", " + std::string(word);
  return words;
}

void Engine::setLogin(bool on) {
  bool ok = login::setStartAtLogin(on, login::thisProgram());
  if (!ok) {
    speak(std::string(platformWords().loginRefused));
  } else {
    speak(on ? "Done. I'll start by myself whenever you log in, out of sight, and listen for my "
               "name."
             : "Okay. I won't start by myself any more.");
  }
}

void Engine::changeVoiceVolume(float step) {
  auto& speaker = parts_.speaker;
  speaker.setVolume(std::clamp(speaker.volume() + step, 0.2f, 1.0f));
  speak(step < 0 ? "Voice quieter." : "Voice louder.");
}

void Engine::restartTake() {
  RecursiveMutexLock guard(lock);
  if (current_ != compose_.get()) {
    return speak("There is no take to start again here. Press c for composition mode.");
  }
  compose_->restartTake();
}

bool Engine::namingPiece() {
  return compose_->naming().active();
}

void Engine::nameKey(std::uint8_t byte) {
  compose_->naming().nameKey(byte);
}

bool Engine::typingQuestion() {
  return aiTalk_->typingQuestion();
}

void Engine::askKey(std::uint8_t byte) {
  aiTalk_->askKey(byte);
}

void Engine::computerKey(char key) {
  ButtonKeys keys = buttonKeys();
  if (key == 'K') return askForTopKey();
  switch (std::tolower(static_cast<unsigned char>(key))) {
    case ' ':
      return command(keys.hear);
    case 'n':
      return command(keys.notes);
    case 't':
      return command(keys.talk);
    case '\n':
    case '\r':
      return command(keys.pause);
    case 'c':
      return command(keys.compose);
    case 's':
      return command(keys.keep);
    case '0':
      return command(keys.home);
    case 'l':
      return lessons_->listSongs();
    case 'a': {
      RecursiveMutexLock guard(lock);
      return aiTalk_->startAsk();
    }
    case 'g':
      return logic_->openLogic();
    case 'r':
      return reaper_->openReaper();
    case 'm':
      return menu_->openMenu();
    case 'j':
      return jazz_->startRemembered();
    case 'h':
      return help();
    case '/':
    case '?':
      return openCommandSheet();
    case 'v':
      return sayOnceKept("voice", [this](Store::Kept kept) {
        std::string name = parts_.speaker.nextVoice(std::move(kept));
        if (name == SpeechOutput::kVoicesLoading) return name;
        return name == SpeechOutput::kNoOtherVoices ? name + "." : "This is " + name + ".";
      });
    case ',':
      return changeVoiceVolume(-0.15f);
    case '.':
      return changeVoiceVolume(0.15f);
    case '[':
      return stepBandLevel(-1);
    case ']':
      return stepBandLevel(+1);
    case '-':
      return lessons_->changeTempo(-1);
    case '=':
    case '+':
      return lessons_->changeTempo(+1);
    case 'p': {
      bool toPiano = !parts_.midi.alsoToPiano;
      parts_.midi.alsoToPiano = toPiano;
      const bool studio = studioDesk_->logicRunning();
      return speak(toPiano
                       ? "Also playing through the piano."
                       : "Playing through " +
                             (studio ? parts_.studio.name() : std::string("the built-in sound")) +
                             " only.");
    }
    case 'e':
      return ear_->startEar();
    case 'o':
      return metronome_->toggle();
    case 'i':
      return timers_->toggle();
    case 'b':
      return toggleLive();
    case 'q':
      return goodbye("Q pressed");
  }
  if (key >= '1' && key <= '9') return lessons_->chooseSong(key - '1');
  // Every key answers: one that does nothing says so, and where help is.
  const auto byte = static_cast<unsigned char>(key);
  if ((byte >= 0x20 && byte < 0x7f) || byte == '\t' || byte == '\b') {
    speak("That key does nothing here. Press h to hear the keys.");
  }
}

}  // namespace orvo
