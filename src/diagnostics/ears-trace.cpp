#include "diagnostics/ears-trace.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "diagnostics/trace-world.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "platform/files.h"

namespace orvo::earstrace {
namespace {

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
  std::function<void(const std::string&)> stamped;
  TraceWorld world({.asJarvis = asJarvis,
                    .secondsPerCharacter = 0.06,
                    .saying = [&](const std::string& text) { stamped("say: " + text); },
                    .adjust =
                        [&](EngineParts& parts) {
                          parts.earsTrace = [&](const std::string& line) { stamped(line); };
                          parts.duck = [&](bool on) { stamped(on ? "duck on" : "duck off"); };
                        }});
  if (!world.ready()) {
    print("could not make a folder for the trace");
    return 1;
  }
  VirtualRuntime& runtime = world.runtime();
  Engine& engine = world.engine();
  TraceSpeaker& speaker = world.speaker();
  stamped = [&](const std::string& line) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f ", runtime.now() - TraceWorld::start);
    print(time + line);
  };
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
  runtime.runUntil(TraceWorld::start + last + 20.0, [] { return false; });
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
