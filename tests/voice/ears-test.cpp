#include "voice/ears.h"

#include <cstdio>
#include <set>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

constexpr double kStart = 1000.0;

// The engine as the listener sees it. Sentences are "spoken" on the virtual
// clock; casual requests are clear only when listed in `clear`.
struct FakeLink final : EarsLink {
  VirtualRuntime& runtime;
  std::vector<std::string>& out;
  Speaking state;
  std::set<std::string> clear = {"new composition", "stop"};
  explicit FakeLink(VirtualRuntime& runtime, std::vector<std::string>& out)
      : runtime(runtime), out(out) {}

  Speaking speaking() override { return state; }
  bool naming() override { return false; }
  std::string hear(const std::string& request, bool casual, bool guessedName) override {
    if (casual && !clear.count(request)) return "ignored";
    (void)guessedName;
    return "acted";
  }
  void interrupt() override { state.lastSpokenAt = runtime.now() - 1.0; }
  void duck(bool on) override {
    char line[32];
    std::snprintf(line, sizeof line, "%.2f duck %s", runtime.now() - kStart, on ? "on" : "off");
    out.push_back(line);
  }
  void chime(const std::vector<int>&, int, double) override {}
  void ui(std::string_view) override {}
};

struct Event {
  double at;
  std::string kind;  // ear0, ear1, lvl, says, asks, file
  std::string text;
  double value = 0.0;
};
Event ear(double at, bool final, std::string text) {
  return {at, final ? "ear1" : "ear0", std::move(text)};
}
Event says(double at, double seconds, std::string text) {
  return {at, "says", std::move(text), seconds};
}
Event asks(double at, double seconds, std::string text) {
  return {at, "asks", std::move(text), seconds};
}
Event lvl(double at, double value) {
  return {at, "lvl", "", value};
}
Event file(double at, std::string name, std::string content) {
  return {at, "file", name + "|" + content};
}

// Runs the events on a virtual clock; the lines traced, "time line", keeping
// only those that start with one of `keep`.
class Listening {
 public:
  explicit Listening(std::string name = "Jarvis") : name_(std::move(name)) {}

  std::vector<std::string> run(const std::vector<Event>& events,
                               std::vector<std::string> keep = {"hear", "log:"}) {
    Ears ears({.runtime = runtime_,
               .link = link_,
               .baseDir = home_.path(),
               .assistantName = name_,
               .fast = false,
               .trace = [&](const std::string& line) {
                 for (const auto& prefix : keep) {
                   if (line.rfind(prefix, 0) == 0) {
                     char time[32];
                     std::snprintf(time, sizeof time, "%.2f ", runtime_.now() - kStart);
                     out_.push_back(time + line);
                   }
                 }
               }});
    int sentence = 0;
    for (const auto& event : events) {
      runtime_.after(event.at, [&, event] {
        if (event.kind == "ear0" || event.kind == "ear1") {
          ears.partial(event.text, event.kind == "ear1");
        } else if (event.kind == "lvl") {
          ears.level(event.value);
        } else if (event.kind == "file") {
          auto bar = event.text.find('|');
          files::writeFileAtomically(home_ / event.text.substr(0, bar), event.text.substr(bar + 1));
        } else {
          // A sentence: speaking until its end, unless interrupted first.
          int mine = ++sentence;
          link_.state = {event.text, runtime_.now() + 30.0};
          bool asked = event.kind == "asks";
          runtime_.after(event.value, [&, mine, asked] {
            if (mine != sentence || link_.state.lastSpokenAt < runtime_.now()) return;
            link_.state.lastSpokenAt = runtime_.now();
            asked ? ears.expectAnswer() : ears.voiceFinished();
          });
        }
      });
    }
    runtime_.advance(60.0);
    return out_;
  }

  testing::TempFolder home_;
  VirtualRuntime runtime_{1, kStart};
  std::vector<std::string> out_;
  FakeLink link_{runtime_, out_};
  std::string name_;
};

struct Scenario {
  const char* name;
  std::vector<Event> events;
  std::vector<std::string> expected;
  const char* assistant = "Jarvis";
};

TEST(Ears, ScriptedTranscriptsActOnlyOnWhatIsMeantAndWhenItIsFinished) {
  const Scenario scenarios[] = {
      {"its own greeting comes back, then the name on a transcript started over",
       {says(0, 2.0, "Hello, I am Jarvis, ready to help."),
        ear(2.7, true, "hello I am Jarvis ready to help"),
        ear(4.0, false, "Jarvis new composition")},
       {"2.70 log: ignored my own voice", "4.22 log: acting on: new composition",
        "4.22 hear \"new composition\""}},
      {"after a bare name the next words are the request",
       {ear(0, true, "Jarvis"), ear(2.0, true, "new composition")},
       {"0.35 log: acting on: (just the name)", "0.35 hear \"\"",
        "2.02 log: acting on: new composition", "2.02 hear \"new composition\""}},
      {"talk without the name is left alone",
       {ear(0, true, "we should get pizza tonight"), ear(5.0, true, "pizza"),
        ear(6.0, true, "pizza")},
       {"5.00 log: a word or two went by that did not sound like my name"}},
      {"misheard and split names act, talk about drivers does not",
       {ear(0, true, "Jar vis new composition"), ear(10, true, "Hey Jarvus, new composition"),
        ear(20, true, "Charvis new composition"),
        ear(30, true, "we were talking drivers new composition")},
       {"0.02 log: acting on: new composition", "0.02 hear \"new composition\"",
        "10.02 log: acting on: new composition", "10.02 hear \"new composition\"",
        "20.02 log: acting on: new composition", "20.02 hear \"new composition\""}},
      {"a loose name first makes a casual request, let go unless it is clear",
       {ear(0, true, "service new composition"), ear(10, true, "service was really slow today"),
        ear(20, true, "the service at that restaurant was terrible"),
        ear(30, true, "Davis gives me a lift to school")},
       {"0.02 log: acting on: new composition", "0.02 hear casual guessed \"new composition\"",
        "10.02 log: acting on: was really slow today",
        "10.02 hear casual guessed \"was really slow today\"", "10.02 log: let a remark go by",
        "30.02 log: acting on: gives me a lift to school",
        "30.02 hear casual guessed \"gives me a lift to school\"",
        "30.02 log: let a remark go by"}},
      {"a sound-alike alone is answered as the name, an everyday word is not",
       {ear(0, true, "davis"), ear(10, false, "hey dravis"), ear(40, true, "Thursday")},
       {"0.25 log: acting on: (just the name)", "0.25 hear \"\"",
        "11.50 log: acting on: (just the name)", "11.50 hear \"\"",
        "40.00 log: a word or two went by that did not sound like my name"}},
      {"the name said last, and how long unfinished requests wait",
       {ear(0, true, "open composition mode Jarvis"), ear(10, false, "Jarvis open"),
        ear(20, false, "Jarvis play smooth jazz on"), ear(30, false, "Jarvis stop"),
        ear(31, true, "Jarvis stop"), ear(40, true, "Jarvis stop"),
        ear(50, false, "Jarvis tell me a story")},
       {"0.02 log: acting on: open composition mode", "0.02 hear \"open composition mode\"",
        "11.50 log: acting on: open", "11.50 hear \"open\"",
        "21.50 log: acting on: play smooth jazz on", "21.50 hear \"play smooth jazz on\"",
        "30.22 log: acting on: stop", "30.22 hear \"stop\"", "40.02 log: acting on: stop",
        "40.02 hear \"stop\"", "50.45 log: acting on: tell me a story",
        "50.45 hear \"tell me a story\""}},
      {"the pause after a request comes from its file, within its limits",
       {file(0, "voice-pause.txt", " 0.8\n"), ear(1, false, "Jarvis tell me a story"),
        ear(4, true, "Jarvis tell me a story"), file(5, "voice-pause.txt", "9"),
        ear(6, false, "Jarvis tell me a story"), ear(9, true, "Jarvis tell me a story"),
        file(10, "voice-pause.txt", "0.01"), ear(11, false, "Jarvis tell me a story"),
        ear(14, true, "Jarvis tell me a story"), file(15, "voice-pause.txt", "soon"),
        ear(16, false, "Jarvis tell me a story")},
       {"1.80 log: acting on: tell me a story", "1.80 hear \"tell me a story\"",
        "8.50 log: acting on: tell me a story", "8.50 hear \"tell me a story\"",
        "11.25 log: acting on: tell me a story", "11.25 hear \"tell me a story\"",
        "16.45 log: acting on: tell me a story", "16.45 hear \"tell me a story\""}},
      {"a newer transcript makes the step already scheduled stale",
       {ear(0, false, "Jarvis play some"), ear(0.3, false, "Jarvis play some jazz")},
       {"1.40 log: acting on: play some jazz", "1.40 hear \"play some jazz\""}},
      {"a name the recogniser rewrote within 5 s is put back",
       {ear(0, false, "Jarvis play some"), ear(0.5, false, "Harris play some jazz")},
       {"1.60 log: acting on: play some jazz", "1.60 hear \"play some jazz\""}},
      {"a pause after the name in a partial result is waited out, never answered over",
       {ear(0.5, false, "Jarvis"), ear(1.2, false, "Jarvis play it back"),
        ear(1.6, true, "Jarvis play it back")},
       {"1.42 log: acting on: play it back", "1.42 hear \"play it back\""}},
      {"a name alone in a partial result is answered after longer than a breath",
       {ear(0, false, "Jarvis")},
       {"1.50 log: acting on: (just the name)", "1.50 hear \"\""}},
      {"a name in one passing partial result, replaced by a word, was no name",
       {ear(1.5, false, "open composition"), ear(1.7, false, "open composition Jarvis"),
        ear(2.0, false, "open composition mode"), ear(2.4, true, "open composition mode")},
       {"1.50 log: a word or two went by that did not sound like my name"}},
      {"an answer said over the end of a short question is heard after it",
       {ear(0, true, "Jarvis"), says(0.4, 1.0, "Yes, sir?"), ear(1.2, true, "new composition")},
       {"0.35 log: acting on: (just the name)", "0.35 hear \"\"",
        "2.27 log: acting on: new composition", "2.27 hear \"new composition\""}},
      {"the name over its voice interrupts it and keeps the request",
       {says(0, 4.0, "I am here and ready to help."),
        ear(1.0, false, "I am here and ready to help Jarvis new composition")},
       {"1.00 log: interrupted while speaking", "1.22 log: acting on: new composition",
        "1.22 hear \"new composition\""}},
      {"its own stop does not stop it, a person's Jarvis stop does",
       {says(0, 3.0, "Say stop when you want me to stop."), ear(1.0, false, "say stop when"),
        ear(1.5, false, "Jarvis stop"), says(10, 3.0, "I am Jarvis."),
        ear(10.5, false, "I am Jarvis"), ear(11.0, false, "Jarvis stop")},
       {"1.50 log: interrupted while speaking", "1.72 log: acting on: stop", "1.72 hear \"stop\"",
        "11.00 log: interrupted while speaking", "11.22 log: acting on: stop",
        "11.22 hear \"stop\""}},
      {"the open window after a bare name lasts 10 s",
       {ear(0, true, "Jarvis"), ear(10.3, true, "new composition"), ear(20, true, "Jarvis"),
        ear(30.4, true, "new composition")},
       {"0.35 log: acting on: (just the name)", "0.35 hear \"\"",
        "10.32 log: acting on: new composition", "10.32 hear \"new composition\"",
        "20.35 log: acting on: (just the name)", "20.35 hear \"\"",
        "30.40 log: a word or two went by that did not sound like my name"}},
      {"the follow-up window after speaking lasts 6 s, and its file turns it off",
       {says(0, 1.0, "Here you go."), ear(6.9, true, "new composition"),
        says(10, 1.0, "Here you go."), ear(17.1, true, "keep that"),
        file(19, "follow-up.txt", "0\n"), says(30, 1.0, "Here you go."),
        ear(32, true, "save that")},
       {"6.92 log: acting on: new composition", "6.92 hear casual \"new composition\"",
        "17.10 log: a word or two went by that did not sound like my name",
        "32.00 log: a word or two went by that did not sound like my name"}},
      {"a question keeps the answer window open 12 s",
       {asks(0, 1.0, "Shall I start?"), ear(12.9, true, "sure thing"),
        asks(20, 1.0, "Shall I start?"), ear(33.1, true, "no way")},
       {"12.92 log: acting on: sure thing", "12.92 hear \"sure thing\"",
        "33.10 log: a word or two went by that did not sound like my name"}},
      {"its own words come back within 5 s of speaking, and not only within 0.6 s",
       {says(0, 1.0, "Shall we play a song"), ear(1.5, true, "play a song"),
        ear(1.7, true, "we play a song"), ear(5.9, true, "a song"), ear(6.2, true, "shall we")},
       {"1.70 log: ignored my own voice", "5.90 log: ignored my own voice",
        "6.22 log: acting on: shall we", "6.22 hear casual \"shall we\"",
        "6.22 log: let a remark go by"}},
      {"right after speaking only the name gets through",
       {says(0, 1.0, "Here you go."), ear(1.55, true, "new composition"),
        ear(11, true, "Jarvis new composition"), says(20, 1.0, "Here you go."),
        ear(21.65, true, "new composition")},
       {"11.02 log: acting on: new composition", "11.02 hear \"new composition\"",
        "21.67 log: acting on: new composition", "21.67 hear casual \"new composition\""}},
  };
  for (const auto& scenario : scenarios) {
    Listening listening(scenario.assistant);
    EXPECT_THAT(listening.run(scenario.events), ElementsAreArray(scenario.expected))
        << scenario.name;
  }
}

TEST(Ears, AWordNotTrustedAloneOnlyMakesItListenQuietlyAndTheNameIsRememberedFor5s) {
  // "volvo" alone: quiet listening, then the next sentence is a casual request.
  Listening soft("Orvo");
  EXPECT_THAT(soft.run({ear(0, true, "volvo"), ear(3.0, true, "new composition")},
                       {"hear", "log:", "@flash"}),
              ElementsAre("0.70 log: may have heard my name: listening quietly for a request",
                          "0.70 @flash good", "3.02 log: acting on: new composition",
                          "3.02 hear casual guessed \"new composition\""));

  // A request scheduled after the name, made stale by quiet listening: the
  // name dropped by a later result is put back until 5 s after it was heard.
  auto rewritten = [](double at) {
    Listening listening("Orvo");
    return listening.run({ear(0, false, "hey there Orvo play"), ear(0.5, true, "volvo"),
                          ear(at, false, "hey there Harris play the piano")},
                         {"hear"});
  };
  EXPECT_THAT(rewritten(4.9), ElementsAre("6.00 hear \"play the piano\""));
  EXPECT_THAT(rewritten(5.1),
              ElementsAre("5.55 hear casual guessed \"hey there Harris play the piano\""));
}

TEST(Ears, TalkingOverItTurnsItDownAndThenItsOwnStopCounts) {
  auto readings = [](double from, double to, double value) {
    std::vector<Event> events;
    for (double at = from; at < to - 1e-9; at += 0.1) events.push_back(lvl(at, value));
    return events;
  };
  auto join = [](std::vector<Event> a, const std::vector<Event>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  // The first sentence teaches how loud its own voice is.
  std::vector<Event> events = {says(0, 2.0, "This is what I sound like.")};
  events = join(events, readings(0.05, 2.0, 0.1));
  events.push_back(lvl(2.05, 0.0));
  // Two loud readings 0.7 s into the next sentence: someone is talking over it,
  // and now even a stop the assistant says itself counts.
  events.push_back(says(3.0, 4.0, "You could say stop at any time."));
  events = join(events, readings(3.05, 3.75, 0.1));
  events.push_back(lvl(3.8, 0.3));
  events.push_back(lvl(3.9, 0.3));
  events.push_back(ear(4.0, false, "you could say stop"));
  Listening over;
  EXPECT_THAT(over.run(events, {"hear", "log:", "duck", "interrupt"}),
              ElementsAre("3.90 duck on",
                          "3.90 log: someone is talking over me: voice turned down to listen",
                          "4.00 interrupt", "4.00 log: interrupted while speaking",
                          "4.22 log: acting on: stop", "4.22 hear \"stop\""));

  // A window that runs out lets the voice carry on; after two fruitless ones
  // nothing more is noticed in that sentence.
  events = {says(0, 2.0, "This is what I sound like.")};
  events = join(events, readings(0.05, 2.0, 0.1));
  events.push_back(lvl(2.05, 0.0));
  events.push_back(says(3.0, 20.0, "A long story about a piano that wanted to sing."));
  events = join(events, readings(3.05, 3.75, 0.1));
  events = join(events, readings(3.8, 3.95, 0.5));   // first window, until 6.1
  events = join(events, readings(6.2, 6.35, 0.1));   // it runs out
  events = join(events, readings(7.0, 7.15, 0.9));   // second window, until 9.3
  events = join(events, readings(9.4, 9.55, 0.1));   // it runs out
  events = join(events, readings(10.0, 10.5, 5.0));  // louder still, but no more
  Listening fruitless;
  EXPECT_THAT(fruitless.run(events, {"log:", "duck"}),
              ElementsAre("3.90 duck on",
                          "3.90 log: someone is talking over me: voice turned down to listen",
                          "6.20 duck off", "6.20 log: carried on speaking", "7.10 duck on",
                          "7.10 log: someone is talking over me: voice turned down to listen",
                          "9.40 duck off", "9.40 log: carried on speaking"));
}

// Diagnostic runs act at once, without chimes or the log file.
TEST(Ears, TheFastModeActsInsideTheCall) {
  testing::TempFolder home;
  VirtualRuntime runtime{1, kStart};
  std::vector<std::string> out;
  struct Counting final : EarsLink {
    std::vector<std::string> heard;
    int chimes = 0;
    Speaking speaking() override { return {}; }
    bool naming() override { return false; }
    std::string hear(const std::string& request, bool casual, bool) override {
      heard.push_back(request);
      return casual ? "ignored" : "acted";
    }
    void interrupt() override {}
    void duck(bool) override {}
    void chime(const std::vector<int>&, int, double) override { ++chimes; }
    void ui(std::string_view) override {}
  } link;
  Ears ears({.runtime = runtime, .link = link, .baseDir = home.path(), .fast = true});
  EXPECT_EQ(ears.partial("Orvo new composition", true), "acted");
  EXPECT_EQ(ears.partial("servo was really slow today", true), "ignored");
  EXPECT_THAT(link.heard, ElementsAre("new composition", "was really slow today"));
  EXPECT_EQ(link.chimes, 0);
  EXPECT_EQ(runtime.pendingTimers(), 0u);
  EXPECT_FALSE(std::filesystem::exists(home / "voice-log.txt"));
}

TEST(Ears, BadInputNeverCrashesAndGetsAnOutcome) {
  testing::TempFolder home;
  VirtualRuntime runtime{1, kStart};
  std::vector<std::string> out;
  FakeLink link(runtime, out);
  Ears ears({.runtime = runtime, .link = link, .baseDir = home / "missing folder"});
  EXPECT_EQ(ears.partial("", true), "nothing new");
  EXPECT_EQ(ears.partial("   ", false), "nothing new");
  EXPECT_EQ(ears.partial("?!...", true), "not for me");
  EXPECT_EQ(ears.partial("😀 😀", true), "not for me");
  EXPECT_EQ(ears.partial("Привет как дела", true), "not for me");
  std::string huge;
  while (huge.size() < 2000) huge += "orvo play some music ";
  EXPECT_EQ(ears.partial(huge, false), "waiting");
  EXPECT_EQ(ears.partial(huge.substr(0, 40), false), "waiting");  // shrank: all new
  for (double value : {-1.0, std::nan(""), HUGE_VAL, 1e300}) ears.level(value);
  runtime.advance(10.0);  // the unwritable log is ignored
  EXPECT_THAT(out, IsEmpty());
  EXPECT_DOUBLE_EQ(Ears::wait("", true, 0.45), 0.35);
  EXPECT_DOUBLE_EQ(Ears::wait("make it", false, std::nan("")), 1.5);
}

}  // namespace
}  // namespace orvo
