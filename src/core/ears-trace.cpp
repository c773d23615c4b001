#include "core/ears-trace.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "apps/music-player.h"
#include "core/engine.h"
#include "core/requests.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/random.h"
#include "platform/virtual-runtime.h"
#include "studio/studio-host.h"

namespace orvo::earstrace {
namespace {

constexpr double kStart = 1000.0;

// Says each sentence by printing it and letting virtual time pass while it is
// "spoken": events that fall inside the sentence happen during it, and a stop
// ends it there.
class TraceSpeaker final : public SpeechOutput {
 public:
  TraceSpeaker(VirtualRuntime& runtime, std::function<void(const std::string&)> print)
      : runtime_(runtime), print_(std::move(print)) {}

  void lasts(const std::string& sentence, double seconds) { seconds_[sentence] = seconds; }

  void say(const std::string& text, SpeechTicket ticket) override {
    if (!ticket.current()) return;
    print_("say: " + text);
    auto given = seconds_.find(text);
    double seconds =
        given != seconds_.end() ? given->second : 0.06 * static_cast<double>(text.size());
    int stopsBefore = stops_;
    runtime_.runUntil(runtime_.now() + seconds, [&] { return stops_ != stopsBefore; });
  }
  void stop() override { ++stops_; }
  void silenceNow() override { stop(); }
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return "No other voices"; }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}

 private:
  VirtualRuntime& runtime_;
  std::function<void(const std::string&)> print_;
  std::map<std::string, double> seconds_;
  int stops_ = 0;
};

struct Event {
  double at;
  std::string verb;
  std::string rest;
};

// "<t> <verb> <rest>"; nothing when the line is not an event.
std::optional<Event> parseLine(const std::string& line) {
  std::istringstream in(line);
  std::string time, verb;
  if (!(in >> time >> verb)) return std::nullopt;
  char* end = nullptr;
  double at = std::strtod(time.c_str(), &end);
  if (*end != '\0' || !(at >= 0 && at < 1e6)) return std::nullopt;
  std::string rest;
  std::getline(in, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  static const char* verbs[] = {"ear", "lvl", "says", "asks", "name", "file"};
  for (const char* known : verbs) {
    if (verb == known) return Event{at, verb, rest};
  }
  return std::nullopt;
}

// "<s> <sentence>" of a says or asks line.
std::optional<std::pair<double, std::string>> timedSentence(const std::string& rest) {
  char* end = nullptr;
  double seconds = std::strtod(rest.c_str(), &end);
  if (end == rest.c_str() || *end != ' ' || !(seconds >= 0 && seconds < 1e4)) return std::nullopt;
  std::string sentence = files::trim(end);
  if (sentence.empty()) return std::nullopt;
  return std::pair{seconds, sentence};
}

}  // namespace

int runScript(const std::string& script, bool asJarvis, const Print& print) {
  char pattern[] = "/tmp/orvo-ears-XXXXXX";
  if (!::mkdtemp(pattern)) {
    print("could not make a folder for the trace");
    return 1;
  }
  const std::filesystem::path folder = pattern;
  {
    VirtualRuntime runtime(Random::chooseSeed(), kStart);
    auto stamped = [&](const std::string& line) {
      char time[32];
      std::snprintf(time, sizeof time, "%.3f ", runtime.now() - kStart);
      print(time + line);
    };
    if (asJarvis) {
      Profile jarvis;
      jarvis.assistantName = "Jarvis";
      files::writeFileAtomically(folder / "profile.json", jarvis.text());
    }
    files::writeFileAtomically(folder / "top-key.txt", "108\n");
    Window window(runtime.serial("lorimel.ui"), false, [](std::string_view) {});
    Log log(folder / "log.txt");
    TraceSpeaker speaker(runtime, stamped);
    NoMusicPlayer player;
    NoStudioHost studio;
    FileStore store(folder, runtime, runtime.serial("orvo.store"));
    LoopbackMidiBackend midiBackend;
    MidiIO midi(
        midiBackend, runtime, [](const std::string&) {}, false);
    Sounds sounds({.runtime = runtime,
                   .store = store,
                   .log = [&log](const std::string& line) { log.logLine(line); },
                   .banks = {}});
    Engine engine(EngineParts{
        .runtime = runtime,
        .window = window,
        .log = log,
        .speaker = speaker,
        .musicPlayer = player,
        .studio = studio,
        .midi = midi,
        .sounds = sounds,
        .store = store,
        .baseDir = folder,
        .duck = [&](bool on) { stamped(on ? "duck on" : "duck off"); },
        .earsTrace = stamped,
    });

    // The same afternoon every run, so the greetings do not follow the clock.
    engine.requests().setClock([] {
      std::tm afternoon{};
      afternoon.tm_year = 126;
      afternoon.tm_mon = 0;
      afternoon.tm_mday = 5;
      afternoon.tm_wday = 1;
      afternoon.tm_hour = 15;
      return afternoon;
    });
    double last = 0.0;
    std::istringstream lines(script);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
      std::string text = files::trim(line);
      if (text.empty() || text[0] == '#') continue;
      auto event = parseLine(text);
      std::optional<std::pair<double, std::string>> sentence;
      if (event && (event->verb == "says" || event->verb == "asks")) {
        sentence = timedSentence(event->rest);
        if (!sentence) event.reset();
      }
      if (event && event->verb == "file") {
        std::string name = event->rest.substr(0, event->rest.find(' '));
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
          event.reset();
        }
      }
      if (event && event->verb == "name" && files::trim(event->rest).empty()) event.reset();
      if (!event) {
        print("line " + std::to_string(number) + " not understood: " + text);
        continue;
      }
      last = std::max(last, event->at);
      runtime.after(event->at, [&engine, &speaker, event = *event, sentence] {
        if (event.verb == "ear" || event.verb == "lvl") {
          engine.appCommand(event.verb + " " + event.rest);
        } else if (sentence) {
          bool asks = event.verb == "asks";
          speaker.lasts(sentence->second, sentence->first);
          engine.run([&engine, asks, text = sentence->second](int gen) {
            if (asks) engine.setPendingSentence(text);
            engine.say(text, gen);
            if (asks) engine.setPendingSentence(std::nullopt);
          });
        } else if (event.verb == "name") {
          engine.renameAssistant(files::trim(event.rest));
        } else {
          auto space = event.rest.find(' ');
          std::string name = event.rest.substr(0, space);
          std::string content = space == std::string::npos ? "" : event.rest.substr(space + 1);
          files::writeFileAtomically(engine.baseDir() / name, content + "\n");
        }
      });
    }
    // Long enough for every window the last event opens to close.
    runtime.runUntil(kStart + last + 20.0, [] { return false; });
    runtime.discardPending();
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

int runFile(const std::string& path, bool asJarvis, const Print& print) {
  auto script = files::readFile(path);
  if (!script) {
    print("cannot read " + path);
    return 1;
  }
  return runScript(*script, asJarvis, print);
}

}  // namespace orvo::earstrace
