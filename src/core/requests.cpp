#include "core/requests.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "compose/midi-take.h"
#include "core/ai-talk.h"
#include "core/app-desk.h"
#include "core/compose-room.h"
#include "core/ear-training.h"
#include "core/engine.h"
#include "core/jazz-room.h"
#include "core/json-file.h"
#include "core/lesson-room.h"
#include "core/live-stage.h"
#include "core/logic-room.h"
#include "core/menu-room.h"
#include "core/metronome.h"
#include "core/reaper-room.h"
#include "core/studio-desk.h"
#include "lessons/plain-words.h"
#include "platform/files.h"
#include "platform/utf8.h"
#include "studio/daw-ways.h"
#include "voice/request-words.h"
#include "voice/wake-name.h"
#include "platform/platform-words.h"

namespace orvo {
namespace {

// A learned meaning heard again, a loose rule's request, a yes: each hears a
// sentence again. A cycle in a hand-edited "learned.json" ends here.
constexpr int kMaxDepth = 6;
constexpr double kQuestionSeconds = 20.0;
std::string openStudioFirst() {
  return "Open " + std::string(platformWords().studios) + " first, then ask me again.";
}
const char* kCannotYet = "I know what you're after, but I can't do that one yet.";
// The platform voice speaks at the rate the player set for it.
const char* kOwnRate =
    "Only my natural voice changes speed here. This voice keeps the speed set in your "
    "computer's speech settings.";

bool among(const std::string& text, const std::vector<std::string>& phrases) {
  return std::find(phrases.begin(), phrases.end(), text) != phrases.end();
}

// The sentence without a trailing "please" or "now": "stop please" is "stop".
std::string bare(const Heard& heard) {
  std::string text = heard.text;
  for (const char* tail : {" please", " now", " thanks", " thank you"}) {
    std::string end = tail;
    if (text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) {
      text.erase(text.size() - end.size());
    }
  }
  return text;
}

std::string stem(const std::string& word) {
  return word.size() > 3 && word.back() == 's' ? word.substr(0, word.size() - 1) : word;
}

std::string clockText(const std::tm& local, const char* format) {
  char text[64];
  std::strftime(text, sizeof text, format, &local);
  std::string out = text;
  if (!out.empty() && out[0] == '0') out.erase(0, 1);  // "3:05 PM", not "03:05 PM"
  return out;
}

bool aboutText(const Heard& heard) {
  return heard.hasAny({"text", "words", "letters", "captions", "caption", "font", "writing"});
}

// Never a restyle of the music: "make the text bigger", "make the window epic".
bool aboutTheScreen(const Heard& heard) {
  return aboutText(heard) || heard.hasAny({"window", "screen"});
}

// The name in a request to save or rename a piece ("save that as blues for
// ann"): empty when the request names none, nothing when it is no such request.
std::optional<std::string> pieceName(const Heard& heard) {
  for (const char* phrase :
       {"rename this to", "rename it to", "rename that to", "call it", "call this piece", "name it",
        "save that as", "save it as", "save this as", "keep that as", "keep it as",
        "remember that as", "save as"}) {
    if (heard.has(phrase)) return heard.after(phrase);
  }
  return std::nullopt;
}

// Spoken names come in lower case; a file name reads better with capitals.
std::string titleCase(std::string name) {
  bool start = true;
  for (char& c : name) {
    if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    start = c == ' ';
  }
  return name;
}

// What to be reminded of: "remind me in 10 minutes to call mum" gives
// "call mum", and so does "remind me to call mum in 10 minutes".
std::string reminderLabel(const Heard& heard) {
  const std::string& text = heard.text;
  const auto remind = text.find("remind me");
  if (remind == std::string::npos) return "";
  const auto to = text.find(" to ", remind);
  if (to == std::string::npos) return "";
  std::string label = text.substr(to + 4);
  // A time said after the label belongs to the timer.
  for (const char* cut : {" in ", " after "}) {
    const auto at = label.rfind(cut);
    if (at != std::string::npos && Heard(label.substr(at)).number()) label.resize(at);
  }
  return files::trim(label);
}

// A number said, where "a" and "an" count as one only before a unit of time
// ("in an hour"): "set a timer" has no length yet, "give me a steady beat" no tempo.
std::optional<int> numberSaid(const Heard& heard) {
  if (heard.hasAny({"second", "seconds", "minute", "minutes", "hour", "hours"})) {
    return heard.number();
  }
  std::string strong;
  for (const auto& word : heard.words) {
    if (word != "a" && word != "an") strong += word + " ";
  }
  return Heard(strong).number();
}

// A timer's length in seconds, in minutes unless seconds or hours are said.
std::optional<double> timerSeconds(const Heard& heard) {
  auto number = numberSaid(heard);
  if (!number) return std::nullopt;
  const bool seconds = heard.hasAny({"second", "seconds"});
  const bool hours = heard.hasAny({"hour", "hours"});
  return *number * (seconds ? 1.0 : hours ? 3600.0 : 60.0);
}

}  // namespace

Requests::Requests(Engine& engine)
    : engine_(engine), clock_([] {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
      }) {}

void Requests::trace(const std::string& line) {
  if (trace_) trace_("  " + line);
}

void Requests::op(const std::string& name) {
  trace("op: " + name);
}

std::string Requests::say(const std::string& sentence, const std::string& outcome) {
  engine_.speak(sentence);
  return outcome;
}

std::string Requests::newProject() {
  StudioDesk& studio = engine_.studioDesk();
  if (studio.logicRunning()) {
    engine_.run([this](int gen) {
      const LogicNewProjectAnswer answer = engine_.logic().newProject();
      engine_.logLine(answer.log);
      if (!answer.mistake.empty()) noteMistake(answer.mistake);
      engine_.say(answer.sentence, gen);
    });
    return "logic new project";
  }
  if (studio.listening()) {
    engine_.run([this, &studio](int gen) {
      const bool done = studio.daw().adapter.send({"action", "40023"}, 5.0).has_value();
      engine_.say(done ? "A new project in REAPER. If the old one had changes, REAPER is asking "
                         "whether to save them."
                       : "REAPER did not answer.",
                  gen);
    });
    return "reaper new project";
  }
  return say("Open " + std::string(platformWords().studios) + " first, and I'll start a project.",
             "no daw");
}

std::string Requests::notYet(const std::string& operation) {
  op(operation + " (not yet)");
  engine_.logLine("not yet: " + operation);
  if (secondPass_) return "not yet";
  return say(kCannotYet, "not yet");
}

std::string Requests::hearAgain(const std::string& request) {
  std::lock_guard guard(engine_.lock);
  const bool before = secondPass_;
  secondPass_ = true;
  std::string outcome = hearAt(request, 0);
  secondPass_ = before;
  engine_.logLine("heard again \"" + cutUtf8(request, 200) + "\": " + outcome);
  return outcome;
}

std::string Requests::playerName() {
  std::string name = engine_.currentProfile().userName;
  return name.empty() ? "friend" : name;
}

bool Requests::casual() {
  return engine_.casualHearing();
}

std::string Requests::hear(const std::string& text) {
  std::lock_guard guard(engine_.lock);
  return hearAt(text, 0);
}

std::string Requests::tooDeep(const std::string& text) {
  trace("too deep: " + text);
  engine_.logLine("request went round in circles: " + text);
  if (casual()) return "ignored";
  return say("Sorry, I got myself in a loop there. Try saying it another way.", "not understood");
}

std::string Requests::hearAt(const std::string& text, int depth) {
  if (depth > kMaxDepth) return tooDeep(text);
  // Normalising does the clean-up too: the stray punctuation at the ends and a
  // leading "jarvis" or "hey" go with the other fillers.
  Heard heard(text);
  // Its own last sentence, coming back while it is still being said or has
  // only just ended. Later, the same words are a person asking again ("band
  // quieter" twice): the listener has already let its own voice go by then.
  auto speaking = engine_.speakingNow();
  if (speaking.lastSpoken != spokenKey_) {
    spokenKey_ = speaking.lastSpoken;
    spokenText_ = Heard(speaking.lastSpoken).text;
  }
  bool justSaid = engine_.now() - speaking.lastSpokenAt < 0.6;
  if (justSaid && !among(heard.text, {"stop", "quiet", "cancel", "silence"}) &&
      !heard.text.empty() && heard.text == spokenText_) {
    engine_.logLine("heard (my own voice: ignored)");
    return "echo";
  }
  engine_.ui("heard " + heard.text);
  if (depth == 0) engine_.studioDesk().newSentence();
  std::string repairs;
  for (const auto& repair : heard.repairs) repairs += (repairs.empty() ? " (" : ", ") + repair;
  trace("heard: " + heard.text + (repairs.empty() ? "" : repairs + ")"));
  std::string outcome = dispatch(heard, depth);
  // What a later "that's wrong" is about: the request acted on, not the correction.
  if (depth == 0 && !heard.text.empty() && outcome != "correcting" && outcome != "corrected") {
    lastRequest_ = heard.text;
  }
  return outcome;
}

std::string Requests::dispatch(const Heard& heard, int depth) {
  const double now = engine_.now();
  // A question waiting for its yes.
  if (pendingYes_ && now <= pendingUntil_) {
    auto onYes = std::move(pendingYes_);
    auto onNo = std::move(pendingNo_);
    static const std::vector<std::string> yes = {
        "yes",     "yeah",  "yep",       "sure",       "go ahead",  "ok",    "okay",
        "confirm", "do it", "please do", "yes please", "of course", "please"};
    static const std::vector<std::string> no = {
        "no", "nope", "cancel", "never mind", "leave it", "no thanks", "no thank you", "dont"};
    clearQuestion();
    if (among(heard.text, yes) || heard.starts("yes")) {
      trace("family: yes");
      return onYes();
    }
    if (among(heard.text, no) || heard.starts("no")) {
      trace("family: no");
      if (onNo) return onNo();
      return say("Okay, I'll leave it.", "dropped");
    }
  }
  // Saying again what was last said.
  if (heard.hasAny({"say that again", "what did you say", "say it again", "repeat that",
                    "come again", "pardon", "what was that you said"})) {
    trace("family: repeat");
    std::string last = engine_.speakingNow().lastSpoken;
    return say(last.empty() ? "I have not said anything yet." : last, "repeated");
  }
  // How the studio assistant asks before acting.
  if (among(bare(heard), {"guided", "guided mode", "assisted", "assisted mode", "autonomous",
                          "autonomous mode"})) {
    trace("family: studio mode");
    std::string mode = heard.words[0];
    engine_.studioDesk().setMode(dawModeFrom(mode));
    op("studio mode " + mode);
    if (mode == "guided") {
      return say("Guided mode. I will explain every change and wait for a yes before I make it.");
    }
    if (mode == "assisted") {
      return say(
          "Assisted mode. I make ordinary changes straight away and tell you what happened. I "
          "still ask before deleting anything or running a plan of several steps.");
    }
    return say(
        "Autonomous mode. I carry out plans of several steps without asking first, and report "
        "at the end. I still ask before deleting anything.");
  }
  if (auto corrected = correction(heard, depth)) return *corrected;
  for (const auto& handler : subHandlers_) {
    if (auto outcome = handler(heard)) return *outcome;
  }
  if (heard.text.empty()) {
    trace("family: wake");
    std::string reply = wakeReply();
    op("wake reply");
    engine_.speak(reply);
    engine_.ears().expectAnswer();
    return "woke";
  }
  // "when i say X i mean Y"
  if (heard.starts("when i say") && heard.has("i mean")) {
    std::string phrase = heard.text.substr(11, heard.text.find(" i mean ") - 11);
    std::string means = heard.after("i mean");
    if (!phrase.empty() && !means.empty() && heard.text.find(" i mean ") != std::string::npos) {
      trace("family: teach a meaning");
      learn(phrase, means);
      return say("Got it. When you say " + phrase + ", I will take it as " + means + ".",
                 "learned");
    }
  }
  return rest(heard, depth);
}

std::string Requests::hearPastStudio(const std::string& text, int depth) {
  std::lock_guard guard(engine_.lock);
  if (depth + 1 > kMaxDepth) return tooDeep(text);
  const bool before = pastStudio_;
  pastStudio_ = true;
  trace("studio: not a studio request");
  std::string outcome = rest(Heard(text), depth + 1);
  pastStudio_ = before;
  return outcome;
}

std::string Requests::rest(const Heard& heard, int depth) {
  if (auto outcome = family(heard, depth)) return *outcome;

  // Meanings the player taught, on the first pass only.
  if (!secondPass_) {
    auto found = learned_.find(heard.text);
    if (found != learned_.end()) {
      trace("learned: " + found->second);
      return hearAt(found->second, depth + 1);
    }
  }
  if (casual()) {
    trace("casual: let go");
    return "ignored";
  }
  // A question about chords, scales or keys is answered before the loose
  // rules can take its words ("what notes are in a G seven chord").
  if (heard.hasAny({"chord", "chords", "scale", "scales", "key", "interval", "sharps", "flats",
                    "relative", "major", "minor", "arpeggio"})) {
    if (auto answer = engine_.theory(heard)) {
      trace("family: theory");
      op("theory");
      return say(*answer);
    }
  }
  if (auto loose = loosely(heard)) {
    trace("loose " + std::to_string(loose->first) + ": " + loose->second);
    return hearAt(loose->second, depth + 1);
  }
  if (auto mood = engine_.compose().gifts().mood(heard); mood && !aboutTheScreen(heard)) {
    std::string request = "play me something " + mood->name;
    trace("mood: " + request);
    return hearAt(request, depth + 1);
  }
  // Small talk.
  static const std::vector<std::pair<std::vector<std::string>, std::string>> chat = {
      {{"thank you", "thanks", "thanks a lot", "cheers"}, "You're welcome."},
      {{"how are you", "how are you doing", "how are things"},
       "I'm well, thank you. Ready when you are."},
      {{"hello", "hi there", "good morning", "good afternoon", "good evening"}, "Hello!"},
      {{"who are you", "what is your name", "whats your name"}, ""},
      {{"i love you", "you are great", "good job", "well done"}, "That's kind of you. Thank you."},
  };
  for (const auto& [phrases, answer] : chat) {
    if (!among(bare(heard), phrases)) continue;
    trace("family: small talk");
    std::string assistant = engine_.currentProfile().assistantName;
    return say(answer.empty() ? "I'm " + assistant + ", your piano teacher." : answer);
  }
  // Opening apps.
  for (const char* verb : {"open", "launch", "bring up"}) {
    if (!heard.starts(verb)) continue;
    trace("family: open an app");
    std::string name = heard.after(verb);
    if (name.rfind("the ", 0) == 0) name.erase(0, 4);
    if (name.empty()) return say("Open what? Tell me its name.", "asked");
    if (!engine_.appDesk().installedApp(name))
      return say("I cannot find an app called " + name + " on " +
                     std::string(platformWords().computer) + ".",
                 "no app");
    return notYet("opening apps");
  }

  // Nothing matched.
  engine_.logLine("rules did not understand: " + heard.text);
  trace("family: not understood");
  noteMistake("\"" + heard.text + "\" was not understood");
  if (auto answer = engine_.theory(heard)) {
    op("theory");
    return say(*answer);
  }
  // A request the AI itself named is never sent back to it, nor guessed at.
  if (secondPass_) return "not understood";
  if (engine_.aiTalk().canAsk()) {
    trace("family: ai");
    op("finishAsk");
    engine_.aiTalk().finishAsk(heard.text);
    return "asked the AI";
  }
  if (auto guess = closest(heard)) {
    ask("Did you mean, " + guess->second + "?", guess->first);
    return "asked";
  }
  return say(engine_.aiTalk().noModelSentence(), "not understood");
}

std::optional<std::string> Requests::correction(const Heard& heard, int depth) {
  std::optional<std::string> meant;
  if (heard.starts("i was asking for")) {
    meant = heard.after("i was asking for");
  } else if (correcting_ && !heard.text.empty()) {
    meant = heard.text;
  }
  static const std::vector<std::string> openers = {
      "thats wrong",           "that is wrong",   "wrong",          "thats not what i meant",
      "thats not what i said", "thats not right", "no thats wrong", "not what i meant",
      "you got that wrong",    "thats not it"};
  for (const auto& opener : openers) {
    if (!heard.starts(opener)) continue;
    trace("family: correction");
    std::string rest = heard.after(opener);
    if (rest.rfind("i was asking for ", 0) == 0) {
      meant = rest.substr(17);
      break;
    }
    noteMistake("\"" + lastRequest_ + "\" told it was wrong");
    correcting_ = lastRequest_;
    engine_.ears().expectAnswer();
    return say("Sorry about that. What did you want?", "correcting");
  }
  if (!meant || meant->empty()) return std::nullopt;
  std::string old = correcting_.value_or(lastRequest_);
  correcting_.reset();
  trace("family: corrected");
  if (!old.empty() && old != *meant) {
    noteMistake("\"" + old + "\" should have been \"" + *meant + "\"");
    learn(old, *meant);
  }
  trace("again: " + *meant);
  hearAt(*meant, depth + 1);
  lastRequest_ = Heard(*meant).text;
  return "corrected";
}

std::optional<std::string> Requests::family(const Heard& heard, int depth) {
  const std::string text = bare(heard);
  const ButtonKeys keys = engine_.buttonKeys();
  LessonRoom& lessons = engine_.lessons();
  auto named = [&](const char* name) { trace(std::string("family: ") + name); };
  // A family whose operation exists: traced, done, and its outcome word.
  auto act = [&](const char* name, const char* operation, auto&& action,
                 const char* outcome = "acted") -> std::optional<std::string> {
    named(name);
    op(operation);
    action();
    return std::string(outcome);
  };
  if (heard.hasAny({"mute the microphone", "microphone off", "mic off", "turn off your ears",
                    "private conversation", "stop eavesdropping", "ears off"})) {
    named("ears off");
    op("ears off");
    engine_.ui("ears off");
    return say("I've stopped listening. Turn me back on in the window when you want me.",
               "ears off");
  }
  // Whole sentences only, so "the band is too quiet" reaches the band.
  if (text == "stop the band" && engine_.live().liveOn()) {
    return act("stop", "live band off", [&] { engine_.live().setLive(false); });
  }
  if (among(text, {"stop", "quiet", "be quiet", "silence", "enough", "never mind", "stop it",
                   "stop the music", "stop the band"})) {
    auto outcome = act(
        "stop", "stopEverything", [&] { engine_.stopEverything(); }, "stopped");
    // A studio playing or recording stops too: nothing the player asked to
    // stop goes on sounding. The stop is answered already, so the studio
    // keeps it or drops it; it never comes back here.
    if (text == "stop" && !casual() && !pastStudio_ && engine_.studioDesk().listening()) {
      trace("family: studio");
      engine_.studioDesk().hear(heard, depth, StudioDesk::NotTaken::dropped);
    }
    return outcome;
  }
  if (among(text, {"stop the metronome", "metronome off"})) {
    return act("stop", "metronome off", [&] { engine_.setMetronome(std::nullopt); });
  }
  if (among(text, {"pause", "pause it", "pause the lesson", "hold on", "wait"})) {
    return act("pause", "pause", [&] { engine_.command(keys.pause); });
  }
  if (among(text, {"continue", "resume", "carry on", "keep going", "go on"})) {
    named("continue");
    op("continue");
    if (engine_.isPaused()) {
      engine_.command(keys.pause);
      return std::string("acted");
    }
    return say("We're not paused. Carry on whenever you like.");
  }
  if (among(text, {"go back to the start", "home", "go home", "main menu", "start again"})) {
    return act("home", "goHome", [&] { engine_.goHome(); });
  }
  if (among(text, {"goodbye", "good bye", "quit", "bye", "bye bye", "good night"})) {
    named("goodbye");
    op("quit");
    engine_.goodbye("asked to say goodbye");
    return std::string("goodbye");
  }
  if (heard.hasAny({"what can you do", "what do you understand", "voice commands"}) ||
      among(text, {"help", "help me"})) {
    named("help");
    op("help");
    return say(
        "You can say things like: play me something sad. Make it a lullaby. Play my album. Jam "
        "with me. Surprise me. New composition. Today I can teach you songs: say teach me, and "
        "a song's name, or song list. In a lesson, say again, next, back, pause, slower or "
        "faster. Say song menu to choose a song on the piano's keys, or jazz for the jazz course. "
        "Ask me about chords and scales, like what is the relative minor of C major. "
        "Practise with ear training, the metronome at 100, or a timer for 5 minutes. And say "
        "stop whenever you want quiet.");
  }
  // The clock, but never a time signature or a timer.
  if (heard.hasAny({"what time", "the time"}) &&
      !heard.hasAny(
          {"signature", "timer", "in time", "next time", "one more time", "first time"})) {
    named("time");
    return say("It is " + clockText(clock_(), "%I:%M %p") + ".");
  }
  if (heard.hasAny({"what day", "what is the date", "whats the date", "the date today"})) {
    named("date");
    // "Monday, January 5": the day of the month as it is said, without a leading zero.
    const std::tm today = clock_();
    return say("It is " + clockText(today, "%A, %B ") + std::to_string(today.tm_mday) + ".");
  }
  // A studio in use hears the sentences addressed to us first (a remark not
  // meant for us never changes a project); what it does not take comes back
  // past it. Without one, naming it asks for it.
  StudioDesk& studio = engine_.studioDesk();
  if (among(text, {"reaper control", "control reaper", "open reaper control"})) {
    return act("studio", "openReaper", [&] { engine_.reaper().openReaper(); });
  }
  if (among(text, {"logic control", "control logic", "open logic control"})) {
    return act("studio", "openLogic", [&] { engine_.logic().openLogic(); });
  }
  if (!casual() && heard.hasAny({"new project", "start a project", "new session"}) &&
      !heard.has("composition")) {
    named("studio");
    op("newProject");
    return newProject();
  }
  // A sentence for another app ("in logic, new audio track") is that app's.
  AppDesk& apps = engine_.appDesk();
  if (!pastStudio_ && !casual() && studio.listening() && !apps.namesOtherApp(heard)) {
    named("studio");
    return studio.hear(heard, depth);
  }
  // Logic Pro alone: its quick spoken commands; any other sentence goes on.
  if (!casual() && studio.logicRunning()) {
    if (auto outcome = engine_.logic().logicHear(heard)) {
      named("studio");
      op(*outcome);
      return *outcome;
    }
  }
  // Other apps: their windows, buttons and menus, and a request for an app
  // named in the sentence.
  if (auto outcome = apps.axHear(heard, [&] { named("apps"); })) return outcome;
  if (auto closed = apps.installedNamedIn(heard); closed && !casual()) {
    named("apps");
    return say(*closed + " isn't open. Open it first, then ask me again.", "no app");
  }
  if (studio.inUse() && !studio.logicRunning() && heard.hasAny({"in logic", "in logic pro"})) {
    named("studio");
    return say("Logic isn't open, so I can't do that there.", "no daw");
  }
  if (!studio.inUse() &&
      heard.hasAny({"in reaper", "in logic", "in logic pro", "reaper", "logic pro"})) {
    named("studio");
    return say(openStudioFirst(), "no daw");
  }
  for (const char* app : {"calendar", "photos", "weather app", "shortcuts"}) {
    if (heard.has(std::string("in ") + app) || heard.has(std::string("the ") + app)) {
      named("apps");
      return notYet("app control");
    }
  }
  if (auto outcome = screen(heard)) return outcome;
  // Music the player asks for.
  Gifts& gifts = engine_.compose().gifts();
  if (heard.has("joke")) return act("music", "joke", [&] { gifts.joke(); });
  if (heard.has("surprise")) return act("music", "surprise", [&] { gifts.surprise(); });
  if (heard.hasAny({"my pieces", "my songs", "my music", "concert", "everything i wrote",
                    "play my album", "my album"})) {
    return act("music", "playAlbum", [&] { gifts.playAlbum(); });
  }
  if (heard.hasAny({"jam", "duet", "answer me", "musical conversation", "call and response"})) {
    return act("music", "setJam", [&] { engine_.live().setJam(true); });
  }
  if ((heard.hasAny({"eight bit", "8 bit", "game boy", "arcade", "video game", "lo fi", "lofi",
                     "late night version", "restyle electric", "epic", "make it jazz", "lullaby",
                     "film score"}) ||
       (heard.starts("make it") && heard.has("as a"))) &&
      !aboutTheScreen(heard)) {
    std::string style;
    if (heard.hasAny({"lullaby"})) style = "lullaby";
    if (heard.hasAny({"eight bit", "8 bit", "game boy", "arcade", "video game"})) style = "8-bit";
    if (heard.hasAny({"epic", "film score"})) style = "epic";
    if (style.empty()) {
      named("music");
      op("restyle (no such style)");
      return say("I can make it a lullaby, a video game or a film score.");
    }
    return act("music", "restyle", [&] { gifts.restyle(style); });
  }
  if (heard.hasAny({"play me something", "play something", "improvise something",
                    "compose something", "something for me"})) {
    auto mood = gifts.mood(heard);
    return act("music", mood ? "performGift" : "performGift (any mood)",
               [&] { gifts.performGift(mood); });
  }
  // A song by name, to learn or to hear.
  for (const char* verb : {"teach me how to play", "teach me to play", "learn how to play",
                           "learn to play", "start a lesson on", "start the lesson", "teach me",
                           "lesson on", "let me hear", "i want to hear", "perform", "play"}) {
    if (!heard.starts(verb)) continue;
    std::string name = heard.after(verb);
    if (name.empty()) break;
    auto found = lessons.songNamed(Heard(name));
    bool teach = std::string(verb).find("teach") != std::string::npos ||
                 std::string(verb).find("learn") != std::string::npos ||
                 std::string(verb).find("lesson") != std::string::npos;
    if (!found) {
      if (!teach) break;  // "play it back", "play louder": other families
      named("lesson by name");
      return say(
          "I don't have " + name + " in the library yet. Say song menu to hear what I do have.",
          "no song");
    }
    named("lesson by name");
    if (!teach) {
      op("perform");
      if (auto song = lessons.songAt(*found)) {
        engine_.compose().gifts().perform(takeFromSong(*song), song->name);
      }
      return std::string("acted");
    }
    op("chooseSong");
    lessons.chooseSong(*found);
    return std::string("acted");
  }
  if (heard.hasAny({"right hand only", "only the right hand", "only my right hand",
                    "i only have my right hand", "left hand only", "only the left hand",
                    "only my left hand", "i only have my left hand", "both hands"})) {
    return act("hands", "setHands", [&] { lessons.setHands(heard); });
  }
  if (heard.has("contrast")) {
    named("contrast");
    bool off = heard.has("off") || heard.has("less") || heard.has("normal");
    engine_.ui(off ? "access contrast 0" : "access contrast 1");
    return say(off ? "High contrast off." : "High contrast on.");
  }
  if (heard.hasAny({"i cant hear", "i cannot hear", "im deaf", "i am deaf"}) &&
      !heard.hasAny({"band", "you", "voice"})) {
    named("hearing");
    engine_.ui("access large 1");
    return say(
        "I've made the captions large. Every sentence I say is also written on the screen, and "
        "the screen flashes green for a right note and red for a wrong one.");
  }
  if (heard.hasAny({"im blind", "i am blind", "i cant see", "i cannot see"})) {
    named("sight");
    return say(
        "Everything here works by sound and touch. I say everything I do, and the top white keys "
        "of your piano are the buttons. Press the top key's neighbour to hear what you can do.");
  }
  if (heard.hasAny({"remind me", "timer"})) {
    auto seconds = timerSeconds(heard);
    if (!seconds) {
      named("timer");
      return say("For how many minutes?", "asked");
    }
    return act("timer", "timer", [&] { engine_.setTimer(*seconds, reminderLabel(heard)); });
  }
  if (heard.has("metronome")) {
    if (heard.hasAny({"off", "stop"})) {
      return act("metronome", "metronome off", [&] { engine_.setMetronome(std::nullopt); });
    }
    int bpm = numberSaid(heard).value_or(engine_.metronome().bpm());
    // "too slow" asks for it faster, and so does "speed up"; "slow it down" slower.
    if (heard.hasAny({"faster", "speed up", "too slow", "quicker"})) {
      bpm = std::min(Metronome::kFastest, bpm + 10);
    } else if (heard.hasAny({"slower", "slow", "too fast"})) {
      bpm = std::max(Metronome::kSlowest, bpm - 10);
    }
    return act("metronome", "metronome", [&] { engine_.setMetronome(bpm); });
  }
  if (heard.hasAny({"band mode", "turn on the band", "i want the band"})) {
    named("band");
    return say(
        "There are two ways to get the band. Say new composition, play your idea, then say play "
        "it with the band. Or say live band, and it follows you while you play.");
  }
  if (heard.hasAny({"classic band", "original band", "old band", "early band", "band from before",
                    "band like before", "the band i liked", "band how it was",
                    "band the way it was"})) {
    return act("band style", "setBandStyle classic",
               [&] { engine_.compose().setBandStyle("classic"); });
  }
  if (heard.hasAny({"whole band", "orchestra band", "full band"})) {
    return act("band style", "setBandStyle full", [&] { engine_.compose().setBandStyle("full"); });
  }
  if (heard.hasAny({"small band", "smaller band"})) {
    return act("band style", "setBandStyle simple",
               [&] { engine_.compose().setBandStyle("simple"); });
  }
  if (among(text, {"band louder", "louder band", "band up"})) {
    return act("band", "band louder", [&] { engine_.stepBandLevel(+1); });
  }
  if (among(text, {"band quieter", "quieter band", "band down", "band softer"})) {
    return act("band", "band quieter", [&] { engine_.stepBandLevel(-1); });
  }
  if (among(text, {"speak up", "volume up", "voice up", "turn up the volume", "turn the volume up",
                   "voice louder", "louder voice", "turn the volume back up"})) {
    return act("voice", "voice louder", [&] { engine_.changeVoiceVolume(0.15f); });
  }
  if (among(text, {"voice quieter", "too loud", "volume down", "turn down the volume",
                   "turn the volume down", "quieter voice", "voice down"})) {
    return act("voice", "voice quieter", [&] { engine_.changeVoiceVolume(-0.15f); });
  }
  if (heard.hasAny({"switch to", "different voice", "another voice", "change your voice"})) {
    named("voice");
    op("next voice");
    std::string name = engine_.parts().speaker.nextVoice();
    if (name == "No other voices") return say("I could not switch to that voice.");
    return say("This is " + name + ". I will use this voice from now on.");
  }
  // The speaking rate; in a lesson, "too fast" is about the music (the loose rules).
  bool inLesson = engine_.currentMode() == Mode::teach;
  if ((heard.has("too fast") && !inLesson) ||
      (heard.hasAny({"talk slower", "speak slower", "talking too fast", "speaking too fast"}))) {
    named("speaking rate");
    op("slower voice");
    if (!engine_.parts().speaker.stepRate(-1)) return say(kOwnRate, "own rate");
    return say("Slowing it down.");
  }
  if ((heard.has("speed up") && !inLesson) || heard.hasAny({"talk faster", "speak faster"})) {
    named("speaking rate");
    op("faster voice");
    if (!engine_.parts().speaker.stepRate(+1)) return say(kOwnRate, "own rate");
    return say("Picking it up.");
  }
  if (heard.hasAny({"follow me", "play with me", "live band"})) {
    const bool off = heard.hasAny({"off", "stop"});
    return act("live band", off ? "live band off" : "live band on",
               [&] { engine_.live().setLive(!off); });
  }
  if (heard.hasAny({"from scratch", "throw that away", "restart"})) {
    if (engine_.currentMode() != Mode::compose) {
      named("composition");
      op("restartTake (no take)");
      return say(
          "There is no take to restart. Press the seventh key from the top for composition "
          "mode.");
    }
    return act("composition", "restartTake", [&] { engine_.compose().restartTake(); });
  }
  if (heard.hasAny(
          {"new composition", "composing idea", "new piece", "new idea", "composition mode"})) {
    return act("composition", "compose", [&] { engine_.command(keys.compose); });
  }
  if (heard.hasAny({"chord progression", "teach me to compose", "learn to compose",
                    "how to compose", "make me an idea", "idea for"})) {
    // The idea is played in composition mode, so the take that follows is a composition.
    return act("composition", "learnIdea", [&] {
      if (engine_.currentMode() != Mode::compose) {
        engine_.compose().autosaveTake();
        engine_.setMode(Mode::compose);
      }
      engine_.jazz().learnIdea(engine_.memory().composeIdea);
    });
  }
  if (heard.hasAny({"keep that", "keep it"})) {
    return act("composition", "keepLast", [&] { engine_.compose().keepLast(); });
  }
  if (auto name = pieceName(heard)) {
    if (name->empty()) {
      named("composition");
      op("saveNamed (no name)");
      return say("What should I call it? Say save that as, and the name.");
    }
    return act("composition", "saveNamed",
               [&] { engine_.compose().naming().saveNamed(titleCase(*name)); });
  }
  if (heard.hasAny({"save that", "save it"})) {
    return act("composition", "keepLast", [&] { engine_.compose().keepLast(); });
  }
  // In a lesson, hearing it back is the part again.
  if (heard.hasAny({"play that back", "play it back", "add a band"})) {
    if (engine_.currentMode() == Mode::teach) {
      return act("practice", "command hear", [&] { engine_.command(keys.hear); });
    }
    return act("composition", "playBack", [&] { engine_.compose().playBack(); });
  }
  if (heard.hasAny({"change it", "play it differently", "play a variation"})) {
    return act("composition", "playVariation", [&] { engine_.compose().playNextVariation(); });
  }
  if (heard.hasAny({"holding", "what chord am i"})) {
    named("describe");
    op("heldChord");
    return say(engine_.heldChord());
  }
  if (heard.hasAny({"what was that", "what key", "what am i playing", "what i played",
                    "what did i just play", "analyse", "analyze"})) {
    return act("describe", "describeLast", [&] { engine_.compose().describeLast(); });
  }
  if (!studio.inUse() &&
      (among(text, {"record", "undo", "start recording", "stop recording", "redo"}) ||
       heard.hasAny({"plugin", "plugins", "plug in"}))) {
    named("studio");
    return say(openStudioFirst(), "no daw");
  }
  if (heard.hasAny({"test my ear", "ear test", "guess the note", "ear training"})) {
    return act("practice", "ear training", [&] { engine_.ear().startEar(); });
  }
  if (among(text, {"jazz", "jazz course", "jazz lesson", "the jazz course"})) {
    return act("practice", "startJazz", [&] { engine_.jazz().startRemembered(); });
  }
  if (heard.starts("jazz lesson") && heard.number()) {
    const int lesson = *heard.number();
    return act("practice", "startJazz", [&] { engine_.jazz().startJazz(lesson - 1); });
  }
  if (among(text, {"talk", "talk mode"})) {
    return act("practice", "talk mode", [&] { engine_.command(keys.talk); });
  }
  if (heard.has("song menu")) {
    return act("practice", "openMenu", [&] { engine_.menu().openMenu(); });
  }
  if (heard.hasAny({"which songs", "song list", "list the songs", "what songs"})) {
    return act("practice", "listSongs", [&] { lessons.listSongs(); });
  }
  // "What notes are in a G seven chord" is a theory question, not the lesson's notes.
  if (heard.hasAny({"which notes", "what notes", "what are the notes", "tell me the notes",
                    "what comes next", "say the notes"}) &&
      !heard.hasAny({"chord", "scale", "key", "major", "minor", "interval", "arpeggio"})) {
    return act("practice", "command notes", [&] { engine_.command(keys.notes); });
  }
  if (among(text, {"again", "repeat", "one more time", "play that again", "once more"})) {
    return act("practice", "command hear", [&] { engine_.command(keys.hear); });
  }
  if (among(text, {"next", "skip ahead", "next part", "skip"})) {
    return act("practice", "command next", [&] { engine_.command(keys.next); });
  }
  if (among(text, {"previous", "go back", "back", "previous part"})) {
    return act("practice", "command back", [&] { engine_.command(keys.back); });
  }
  if (among(text, {"slower", "a bit slower", "slow down"})) {
    return act("practice", "tempo slower", [&] { lessons.changeTempo(-1); });
  }
  if (among(text, {"faster", "a bit faster", "speed up"})) {
    return act("practice", "tempo faster", [&] { lessons.changeTempo(+1); });
  }
  if (heard.hasAny({"im done with this song", "drop this song", "i am done with this song"})) {
    return act("practice", "dropSong", [&] { lessons.dropSong(); });
  }
  for (const char* opener : {"start a lesson", "start the lesson", "lesson"}) {
    if (text == opener) {
      return act("lesson by name", "chooseSong", [&] { lessons.chooseCurrent(); });
    }
  }
  return std::nullopt;
}

// The captions and the window: a sentence about the text, the words, the
// letters, the captions, the window or the screen asks for them, never for a
// restyle of the music ("make the text bigger").
std::optional<std::string> Requests::screen(const Heard& heard) {
  const bool text = aboutText(heard);
  const bool window = heard.hasAny({"window", "screen"});
  if (!text && !window) return std::nullopt;
  const bool bigger = heard.hasAny({"bigger", "larger", "big", "large", "enlarge", "zoom in",
                                    "increase", "huge", "cant read", "cannot read", "too small"});
  const bool smaller = heard.hasAny({"smaller", "small", "normal", "shrink", "zoom out", "reduce",
                                     "too big", "too large", "tiny"});
  const bool whole = heard.hasAny({"full screen", "fullscreen", "whole screen", "maximise",
                                   "maximize"});
  auto shown = [&](const char* line, const char* sentence) {
    trace(std::string("family: ") + (text ? "captions" : "window"));
    engine_.ui(line);
    return say(sentence);
  };
  if (text && (bigger || smaller)) {
    return bigger ? shown("access large 1", "Large captions on.")
                  : shown("access large 0", "Captions back to normal.");
  }
  if (!window) return std::nullopt;
  if (whole) {
    return heard.hasAny({"exit", "leave", "out of", "no more", "stop"})
               ? shown("window normal", "The window is back to its usual size.")
               : shown("window full", "The window fills the screen.");
  }
  if (bigger) return shown("window bigger", "The window is bigger.");
  if (smaller) return shown("window smaller", "The window is smaller.");
  return std::nullopt;
}

// The loose rules' phrases of several words, split once.
struct LongPhrase {
  std::size_t rule;
  std::vector<std::string> words;
};
const std::vector<LongPhrase>& longPhrases() {
  static const std::vector<LongPhrase> phrases = [] {
    std::vector<LongPhrase> all;
    const auto& rules = requests::looseRules();
    for (std::size_t r = 0; r < rules.size(); ++r) {
      for (const auto& group : rules[r].needs) {
        for (std::string_view phrase : group) {
          auto words = wake::pieces(phrase);
          if (words.size() >= 2) all.push_back({r, std::move(words)});
        }
      }
    }
    return all;
  }();
  return phrases;
}

std::optional<std::pair<int, std::string>> Requests::loosely(const Heard& heard) {
  const auto& rules = requests::looseRules();
  // Words inside a longer phrase of another rule belong to that phrase: in
  // "the band is too quiet", "quiet" is part of "too quiet" (louder), not a
  // request for less. taken[i] holds the rules whose phrase covers word i.
  std::vector<std::vector<std::size_t>> taken(heard.words.size());
  for (const auto& phrase : longPhrases()) {
    const auto& parts = phrase.words;
    for (std::size_t at = 0; at + parts.size() <= heard.words.size(); ++at) {
      if (std::equal(parts.begin(), parts.end(),
                     heard.words.begin() + static_cast<std::ptrdiff_t>(at))) {
        for (std::size_t k = 0; k < parts.size(); ++k) taken[at + k].push_back(phrase.rule);
      }
    }
  }
  auto coveredForOthers = [&](std::size_t word, std::size_t rule) {
    return std::any_of(taken[word].begin(), taken[word].end(),
                       [&](std::size_t other) { return other != rule; });
  };
  auto present = [&](std::size_t r, std::string_view phrase) {
    std::string text(phrase);
    if (!heard.has(text)) return false;
    if (text.find(' ') != std::string::npos) return true;
    bool anyWord = false;
    for (std::size_t i = 0; i < heard.words.size(); ++i) {
      if (heard.words[i] != text) continue;
      anyWord = true;
      if (!coveredForOthers(i, r)) return true;
    }
    return !anyWord;  // found through a near word only
  };
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const auto& rule = rules[i];
    bool all = std::all_of(rule.needs.begin(), rule.needs.end(), [&](const auto& group) {
      return std::any_of(group.begin(), group.end(),
                         [&](std::string_view phrase) { return present(i, phrase); });
    });
    if (!all) continue;
    if (std::any_of(rule.vetoes.begin(), rule.vetoes.end(),
                    [&](std::string_view phrase) { return heard.has(std::string(phrase)); })) {
      continue;
    }
    std::string means(rule.means);
    if (rule.keep == "number") {
      // Without a number the request stands alone: the metronome at its own
      // tempo, and a timer that asks how long.
      if (auto number = numberSaid(heard)) {
        means += " " + std::to_string(*number);
        if (heard.has("second") || heard.has("seconds")) {
          means += " seconds";
        } else if (means.rfind("timer", 0) == 0 && (heard.has("hour") || heard.has("hours"))) {
          means += " hours";
        } else if (means.rfind("timer", 0) == 0) {
          means += " minutes";
        }
      }
    } else if (rule.keep == "all") {
      means += " " + heard.text;
    }
    return std::pair{static_cast<int>(i) + 1, means};
  }
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> Requests::closest(const Heard& heard) {
  // The stems of each guessable request, found once.
  static const std::vector<std::vector<std::string>> stems = [] {
    std::vector<std::vector<std::string>> all;
    for (const auto& guess : requests::guessable()) {
      std::vector<std::string> words;
      for (const auto& word : Heard(std::string(guess.request)).words) words.push_back(stem(word));
      all.push_back(std::move(words));
    }
    return all;
  }();
  std::set<std::string> said;
  for (const auto& word : heard.words) said.insert(stem(word));
  double best = 0.0;
  std::optional<std::pair<std::string, std::string>> found;
  const auto& guesses = requests::guessable();
  for (std::size_t g = 0; g < guesses.size(); ++g) {
    if (stems[g].empty()) continue;
    int shared = 0;
    for (const auto& word : stems[g]) shared += said.count(word) > 0;
    double share = static_cast<double>(shared) / static_cast<double>(stems[g].size());
    if (share > best) {
      best = share;
      found = std::pair{std::string(guesses[g].request), std::string(guesses[g].description)};
    }
  }
  if (best < 0.5) return std::nullopt;
  return found;
}

std::string Requests::wakeReply() {
  const double now = engine_.now();
  double since = now - lastWakeAt_;
  lastWakeAt_ = now;
  const std::string name = playerName();
  std::vector<std::string> candidates;
  if (since < 12.0) {
    candidates = {"Still here, " + name + ".", "I'm listening.", "Go ahead."};
  } else if (wakeCount_ == 0 && (clock_().tm_hour < 12 || clock_().tm_hour >= 17)) {
    candidates = {clock_().tm_hour < 12 ? "Good morning, " + name + "."
                                        : "Good evening, " + name + "."};
  } else if (since > 1200.0 && wakeCount_ > 0) {
    candidates = {"Welcome back, " + name + "."};
  } else if (engine_.currentMode() == Mode::teach) {
    candidates = {"Yes? The lesson can wait."};
  } else {
    candidates = {"Yes, " + name + "?",      "I'm listening.",  "Go ahead.",
                  "At your service.",        "How can I help?", "What do you need?",
                  "I'm here, " + name + ".", "Right here."};
  }
  ++wakeCount_;
  std::vector<std::string> fresh;
  for (const auto& candidate : candidates) {
    if (candidate != lastWakeReply_) fresh.push_back(candidate);
  }
  lastWakeReply_ = engine_.pick(fresh.empty() ? candidates : fresh);
  return lastWakeReply_;
}

void Requests::ask(const std::string& question, const std::string& onYes) {
  // A yes is a new sentence of the player's: the request it hears is one level down.
  confirm(question, onYes, [this, onYes] {
    trace("again: " + onYes);
    return hearAt(onYes, 1);
  });
}

void Requests::confirm(const std::string& question, const std::string& what,
                       std::function<std::string()> onYes, std::function<std::string()> onNo) {
  pendingYes_ = std::move(onYes);
  pendingNo_ = std::move(onNo);
  pendingUntil_ = engine_.now() + kQuestionSeconds;
  trace("pending: " + what);
  engine_.speak(question);
}

bool Requests::questionPending() {
  return pendingYes_ && engine_.now() <= pendingUntil_;
}

void Requests::clearQuestion() {
  pendingYes_ = nullptr;
  pendingNo_ = nullptr;
}

void Requests::loadLearned() {
  learned_.clear();
  auto text = engine_.parts().store.read("learned.json");
  if (!text || text->size() > 4'000'000) return;
  auto doc = jsonfile::parseObject(*text);
  if (!doc) return;
  for (auto& [phrase, means] : doc->items()) {
    if (means.is_string()) learned_[Heard(phrase).text] = Heard(means.get<std::string>()).text;
  }
}

void Requests::learn(const std::string& phrase, const std::string& means) {
  std::string key = Heard(phrase).text;
  std::string value = Heard(means).text;
  if (key.empty() || value.empty() || key == value) return;
  learned_[key] = value;
  trace("learned: " + key + " = " + value);
  if (engine_.parts().opt.fast) return;
  engine_.parts().store.write("learned.json", jsonfile::text(nlohmann::json(learned_)));
}

void Requests::noteMistake(const std::string& description) {
  if (engine_.parts().opt.fast) return;
  std::tm local = clock_();
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M", &local);
  files::appendToFile(engine_.baseDir() / "mistakes.txt",
                      std::string(stamp) + "  " + description + "\n");
}

}  // namespace orvo
