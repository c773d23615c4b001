// The engine's own sounds: the band level, and playing events.

#include <algorithm>
#include <array>
#include <cmath>

#include "apps/spoken-list.h"
#include "desks/outputs-sentence.h"
#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/window-lines.h"
#include "sound/sound-graph.h"

namespace orvo {

std::string Engine::bandLevelLine(double db) {
  return lines::bandLevel(static_cast<int>(std::lround(db)));
}

void Engine::stepBandLevel(int direction) {
  constexpr double step = 3.0;
  const double before = parts_.sounds.level();
  const double after = Sounds::levelWithin(before + direction * step);
  ui(bandLevelLine(after));
  std::string text = direction < 0 ? "Band quieter." : "Band louder.";
  if (after == before) {
    text += direction < 0 ? " That is as quiet as it goes." : " That is as loud as it goes.";
    return speak(text);  // nothing changed, nothing to keep
  }
  sayOnceKept("band-level.txt", [&](Store::Kept kept) {
    parts_.sounds.setLevel(after, std::move(kept));
    return text;
  });
}

void Engine::listOutputs() {
  run([this](int gen) {
    const auto outputs = parts_.outputs ? parts_.outputs->list() : std::nullopt;
    say(outputsSentence(outputs), gen);
  });
}

void Engine::chooseOutput(OutputFor what, const std::string& asked) {
  run([this, what, asked](int gen) {
    const bool voice = what == OutputFor::voice;
    OutputRoute* route = parts_.outputRoute;
    const auto outputs = parts_.outputs && route ? parts_.outputs->list() : std::nullopt;
    if (!outputs || outputs->empty()) {
      return say(voice ? "I can't reach the sound server, so my voice stays where it is."
                       : "I can't reach the sound server, so the music stays where it is.",
                 gen);
    }
    const auto found = outputsNamed(asked, *outputs);
    if (found.size() == 1) return useOutput(what, found.front());
    // Unsure: the likeliest is offered, and a yes takes it.
    const auto guess = found.empty() ? closestOutput(asked, *outputs) : found.front();
    if (!guess) {
      return say("I can't find an output called " + spokenText(asked) + ". I have " +
                     outputNames(*outputs) + ".",
                 gen);
    }
    RecursiveMutexLock guard(lock);
    requests_->confirm("Did you mean " + outputNames({*guess}) + "?", "output " + guess->name,
                       [this, what, output = *guess] {
                         useOutput(what, output);
                         return std::string("acted");
                       });
  });
}

void Engine::useOutput(OutputFor what, const SoundOutput& output) {
  const bool voice = what == OutputFor::voice;
  OutputChoice choice = parts_.outputRoute->get();
  (voice ? choice.voice : choice.music) = output.name;
  const std::string where = outputNames({output});
  keepOutputs(choice, !voice,
              std::string(voice ? "the voice" : "the music") + " goes to the output " + output.name,
              voice ? "I'll speak on " + where + " from now on."
                    : "The music plays on " + where + " from now on.");
}

void Engine::useUsualOutput(OutputFor what) {
  const bool voice = what == OutputFor::voice;
  OutputChoice choice = parts_.outputRoute ? parts_.outputRoute->get() : OutputChoice{};
  std::string& place = voice ? choice.voice : choice.music;
  if (place.empty()) {
    return speak(voice ? "My voice is already on the usual output."
                       : "The music is already on the usual output.");
  }
  if (choice.voice.empty() || choice.music.empty()) return outputsTogether();
  place.clear();
  keepOutputs(choice, !voice,
              voice ? "the voice goes to the usual output" : "the music goes to the usual output",
              voice ? "I'll speak on the usual output from now on."
                    : "The music plays on the usual output from now on.");
}

void Engine::keepOutputs(const OutputChoice& choice, bool musicMoves, const std::string& logged,
                         const std::string& confirmation) {
  const bool placesChange = !parts_.outputRoute->get().samePlaces(choice);
  parts_.outputRoute->set(choice);
  logLine(logged);
  // The built-in sound opens its stream again, on its own queue.
  if (musicMoves) {
    parts_.sounds.revive(choice.music.empty() ? "the music is back on the usual output"
                                              : "the music moved to " + choice.music,
                         false, true);
  }
  if (placesChange) showOutputs();
  keepThenSay("outputs.json", choice.json(), confirmation);
}

void Engine::showOutputs() {
  if (!parts_.outputRoute) return;
  parts_.runtime.async(
      [this] { ui(outputsLine(parts_.outputs ? parts_.outputs->list() : std::nullopt)); });
}

std::string Engine::outputsLine(const std::optional<std::vector<SoundOutput>>& there) const {
  const OutputChoice choice = parts_.outputRoute->get();
  const std::vector<SoundOutput> none;
  const std::vector<SoundOutput>& listed = there ? *there : none;
  // A chosen output that is not there shows by the server's name, all we kept of it.
  auto known = [&](const std::string& name) {
    for (const auto& output : listed) {
      if (output.name == name) return output.description;
    }
    return name;
  };
  std::vector<std::string> names;
  for (const auto& output : listed) names.push_back(output.description);
  return lines::outputs(known(choice.voice), known(choice.music), names);
}

void Engine::outputsChanged(bool serverBack) {
  if (!parts_.outputs || !parts_.outputRoute) return;
  const auto there = parts_.outputs->list();
  if (!there) return;
  ui(outputsLine(there));
  const std::string music = parts_.outputRoute->get().music;
  const bool present =
      music.empty() || std::any_of(there->begin(), there->end(),
                                   [&](const SoundOutput& output) { return output.name == music; });
  // While it is gone the server plays the music on the usual output; when it
  // comes back the music goes back to it.
  if (!present) {
    if (musicOnItsOutput_.exchange(false))
      logLine("the music's output " + music + " is gone: it plays on the usual output");
    return;
  }
  if (!musicOnItsOutput_.exchange(true)) {
    logLine("the music's output " + music + " is back");
    parts_.sounds.revive("the music's output came back", false, true);
  } else if (serverBack) {
    parts_.sounds.revive("the sound server came back", false);
  }
}

void Engine::outputsTogether() {
  const OutputChoice before = parts_.outputRoute ? parts_.outputRoute->get() : OutputChoice{};
  if (before.samePlaces(OutputChoice{})) {
    return speak("My voice and the music are already together, on the usual output.");
  }
  // The player's ducking stays as it was.
  keepOutputs({"", "", before.duck}, !before.music.empty(),
              "the voice and the music go to the usual output",
              "My voice and the music are together again, on the usual output.");
}

void Engine::duckMusic(bool on) {
  if (!parts_.outputRoute) return speak("I can't change how the music sounds here.");
  OutputChoice choice = parts_.outputRoute->get();
  choice.duck = on;
  keepOutputs(choice, false,
              on ? "the music goes down while the voice speaks"
                 : "the music stays as it is while the voice speaks",
              on ? "I'll turn the music down while I talk."
                 : "I'll leave the music as it is while I talk.");
}

// The sequence plays on its own clock; the activity waits for its end, so
// what it says next follows the last note, and cuts it off when a newer
// press has taken over (the player itself never sends a note after that).
void Engine::play(const std::vector<Ev>& events, int gen) {
  if (events.empty() || !alive(gen)) return;
  Runtime& runtime = parts_.runtime;
  double length = 0;
  for (const Ev& ev : events) length = std::max(length, ev.t);
  const double end = runtime.now() + length;
  const std::uint64_t sequence = player_.start(events, [this, gen] { return alive(gen); });
  while (!player_.finished(sequence)) {
    if (!alive(gen)) return player_.stop(sequence);
    const double left = end - runtime.now();
    runtime.sleep(left > 0 ? std::min(left, 0.05) : 0.002);
  }
}

}  // namespace orvo
