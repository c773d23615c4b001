#pragma once
// What the engine's talk about the natural voice needs of it: whether it is
// installed or installing, installing and removing it, and saying a sentence
// in one of its voices. Each is a function, so tests put a pretend voice in
// place; without one there is no natural voice at all.
//
// Threads: install() blocks for minutes and speaks each step itself, remove()
// deletes gigabytes and sayAs() blocks while it speaks: activities or the
// global queue only. The rest from any thread.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvo {

class Kokoro;
class VoiceInstaller;

struct VoiceHooks {
  std::function<bool()> installed = [] { return false; };
  std::function<bool()> installing = [] { return false; };
  std::function<bool()> install = [] { return false; };  // true once the voice answers
  std::function<bool()> remove = [] { return false; };
  // The server is up: its voices may speak now.
  std::function<bool()> ready = [] { return false; };
  // The voice is chosen and its server is on its way up: a greeting may wait
  // a moment for it rather than be said by the platform voice.
  std::function<bool()> coming = [] { return false; };
  // The voice speaking now: "George", or the platform voice's words.
  std::function<std::string()> name = [] { return std::string(); };
  // The favourite voices the server offers, by id and spoken name.
  std::function<std::vector<std::pair<std::string, std::string>>()> offered = [] {
    return std::vector<std::pair<std::string, std::string>>();
  };
  // One sentence in the voice `id`; false when it could not be said.
  std::function<bool(const std::string& id, const std::string& text)> sayAs =
      [](const std::string&, const std::string&) { return false; };
};

// The real ones: the voice and its installer, the sentences of an audition
// captioned through `caption` ("say" lines).
VoiceHooks naturalVoiceHooks(Kokoro& voice, VoiceInstaller& installer,
                             std::function<void(const std::string&)> caption);

}  // namespace orvo
