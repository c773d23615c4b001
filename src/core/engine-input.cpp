// Typed lines from the window or the terminal, and single computer keys.

#include <algorithm>
#include <cctype>

#include "core/engine.h"
#include "platform/login-items.h"

namespace orvo {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void Engine::appCommand(const std::string& text) {
  // Speech and the microphone level stream in all the time: log their arrival
  // once, not every line, until the listener takes them.
  if (startsWith(text, "ear ") || startsWith(text, "lvl ")) {
    std::lock_guard guard(lock);
    bool speech = text[0] == 'e';
    bool& noted = speech ? speechLinesNoted_ : levelLinesNoted_;
    if (!noted) {
      noted = true;
      logLine(speech ? "not yet: recognised speech from the window"
                     : "not yet: microphone level from the window");
    }
    return;
  }
  if (text == "bg") {
    std::string assistant = currentProfile().assistantName;
    speak(pick({"I'm still here, in the background. Just say my name.",
                "The window's closed, but I'm still listening. Just say " + assistant + "."}));
    return;
  }
  if (startsWith(text, "login ")) {
    std::string want = text.substr(6);
    if (want != "on" && want != "off") {
      logLine("login: not understood: " + want);
      return;
    }
    setLogin(want == "on");
    return;
  }
  if (startsWith(text, "setup ")) {
    std::lock_guard guard(lock);
    auto updated = profile_.withSetup(text.substr(6));
    if (!updated) return;
    profile_ = *updated;
    if (!parts_.opt.fast) profile_.save(dataFile("profile.json"));
    ui(profile_.nameLine());
    std::string user = profile_.userName.empty() ? "" : ", " + profile_.userName;
    const std::string& assistant = profile_.assistantName;
    speak("All set" + user + ". I'm " + assistant + ". Whenever you need me, say " + assistant +
          ", then what you'd like. Try: " + assistant + ", what can you do?");
    return;
  }
  if (startsWith(text, "speak ") || startsWith(text, "say ")) {
    return spokenRequest(text.substr(text.find(' ') + 1));
  }
  if (startsWith(text, "restart")) return restartTake();
  if (startsWith(text, "drop")) return dropSong();
  if (startsWith(text, "hands")) return setHands(Heard::from(text.substr(5)));
  if (text == "name") {
    ui(currentProfile().nameLine());
    return;
  }
  if (startsWith(text, "update ") || text == "declined") {
    logLine("not yet: " + text);
    return;
  }
  struct Later {
    const char* prefix;
    bool exact;
    const char* what;
  };
  static const Later later[] = {
      {"play ", false, "playing a MIDI file"},   {"speak ", false, "understanding requests"},
      {"say ", false, "understanding requests"}, {"ear", true, "ear training"},
      {"hands", false, "choosing the hands"},    {"metronome", false, "the metronome"},
      {"live", false, "the live band"},          {"bandstyle", false, "changing the band style"},
      {"drop", false, "dropping a song"},        {"jazz ", false, "the jazz course"},
  };
  for (const auto& item : later) {
    if (item.exact ? text == item.prefix : startsWith(text, item.prefix)) {
      return notYet(item.what);
    }
  }
  logLine("typed line not understood: " + text.substr(0, 200));
  notYet("typing a request");
}

// What a spoken request can already reach: the theory answers and the held chord.
void Engine::spokenRequest(const std::string& sentence) {
  Heard heard = Heard::from(sentence);
  if (auto answer = theory(heard)) return speak(*answer);
  if (heard.has("chord") && heard.hasAny({"holding", "playing", "hold", "this"})) {
    return speak(heldChord());
  }
  logLine("request not understood yet: " + heard.text);
  notYet("understanding that request");
}

void Engine::setLogin(bool on) {
  bool ok = login::setStartAtLogin(on, login::thisProgram());
  if (!ok) {
    speak(
        "The Mac wouldn't let me set that. You can add Orvo yourself under System Settings, "
        "General, Login Items.");
  } else {
    speak(on ? "Done. I'll start by myself whenever you log in, out of sight, and listen for my "
               "name."
             : "Okay. I won't start by myself any more.");
  }
}

void Engine::changeVoiceVolume(float step) {
  float volume = std::clamp(parts_.opt.voiceVolume.load() + step, 0.2f, 1.0f);
  parts_.opt.voiceVolume = volume;
  speak(step < 0 ? "Voice quieter." : "Voice louder.");
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
      return listSongs();
    case 'a':
      return notYet("asking me anything");
    case 'g':
      return notYet("Logic control");
    case 'r':
      return notYet("REAPER control");
    case 'm':
      return notYet("the song menu");
    case 'j':
      return notYet("the jazz course");
    case 'h':
      return help();
    case '/':
    case '?':
      return openCommandSheet();
    case 'v': {
      std::string name = parts_.speaker.nextVoice();
      return speak(name == "No other voices" ? name + "." : "This is " + name + ".");
    }
    case ',':
      return changeVoiceVolume(-0.15f);
    case '.':
      return changeVoiceVolume(0.15f);
    case '[':
      return stepBandLevel(-1);
    case ']':
      return stepBandLevel(+1);
    case '-':
      return changeTempo(-1);
    case '=':
    case '+':
      return changeTempo(+1);
    case 'p': {
      bool toPiano = !parts_.opt.toPiano;
      parts_.opt.toPiano = toPiano;
      return speak(toPiano ? "Also playing through the piano." : "Playing through Logic only.");
    }
    case 'b':
      return notYet("the live band");
    case 'q':
      return parts_.quit("Q pressed", 0);
  }
  if (key >= '1' && key <= '9') return chooseSong(key - '1');
}

}  // namespace orvo
