#include "desks/voice-desk.h"
#include "platform/store.h"

#include "engine/requests.h"
#include "engine/room-services.h"
#include "platform/platform-words.h"

namespace orvo {

namespace {

constexpr const char* kDeclinedFile = "voice-declined.txt";
constexpr const char* kDownloading =
    "It's already downloading. I'll tell you the moment it's ready.";
constexpr const char* kNotInstalled = "The natural voice isn't installed.";

// The voice it is about: the natural (or neural) voice, Kokoro.
bool aboutTheVoice(const Heard& heard) {
  return heard.hasAny({"natural voice", "neural voice", "kokoro", "better voice", "new voice"});
}

}  // namespace

std::vector<std::string> frequentSentences() {
  // The praise, the stops, the pauses, the turns and the modes.
  return {"That's correct.",
          "Yes, that's right.",
          "That's it, well done.",
          "Spot on.",
          "Okay, stopped.",
          "All quiet now.",
          "Stopping there.",
          "Paused for now.",
          "Okay, paused.",
          "Your turn.",
          "Now you.",
          "Over to you.",
          "Have a go.",
          "Good. On we go.",
          "Still there. Carrying on.",
          "Back home.",
          "Home again.",
          "Home, all quiet.",
          "New composition.",
          "Composition mode off.",
          "Piano connected."};
}

VoiceDesk::VoiceDesk(RoomServices& engine, Parts parts, VoiceHooks hooks)
    : engine_(engine),
      parts_(std::move(parts)),
      hooks_(std::move(hooks)),
      background_(parts_.runtime) {}

VoiceDesk::~VoiceDesk() {
  // The hooks' objects outlive the engine in the program; tests end their pretend ones.
  background_.waitAll();
}

std::optional<std::string> VoiceDesk::hear(const Heard& heard) {
  if (heard.hasAny({"audition the voices", "audition voices", "audition your voices",
                    "hear all the voices", "hear all your voices", "audition"})) {
    return audition();
  }
  if (!aboutTheVoice(heard)) return std::nullopt;
  if (heard.hasAny({"remove", "uninstall", "delete", "get rid of"})) return removal();
  const bool asking = heard.hasAny({"is the", "have you got", "do you have", "installed"});
  if (!asking && heard.hasAny({"install", "download", "get", "fetch", "want"})) return offer();
  if (asking || heard.has("have the")) return status();
  return std::nullopt;
}

std::string VoiceDesk::offer() {
  if (hooks_.installing()) {
    engine_.speak(kDownloading);
    return "installing";
  }
  if (hooks_.installed()) {
    engine_.speak(
        "The natural voice is already installed. Say next voice to hear the others, or "
        "audition the voices.");
    return "installed";
  }
  engine_.requests().confirm(
      "The natural voice is a free download of about 400 megabytes, and uses about 600 on your "
      "disk. It runs entirely on " +
          std::string(platformWords().computer) + ". Shall I get it? Say yes or no.",
      "install the natural voice",
      [this] {
        engine_.run([this](int gen) {
          engine_.say(
              "Starting now. Carry on with whatever you like. I'll tell you when each step is "
              "done.",
              gen);
          beginInstall();
        });
        return std::string("installing");
      },
      [this] {
        decline();
        engine_.speak("Stopped. I'll keep " + std::string(platformWords().ownVoice) +
                      ". If you change your mind, say install the natural voice.");
        return std::string("declined");
      });
  return "asked";
}

std::optional<std::string> VoiceDesk::notThere(const std::string& missing) {
  if (hooks_.installing()) {
    engine_.speak(kDownloading);
    return "installing";
  }
  if (!hooks_.installed()) {
    engine_.speak(missing);
    return "not installed";
  }
  return std::nullopt;
}

std::string VoiceDesk::status() {
  if (auto outcome = notThere(engine_.pick(
          {kNotInstalled,
           "Not yet. Say, install the natural voice, and I'll download it. It's free."}))) {
    return *outcome;
  }
  engine_.speak("Yes, the natural voice is installed. I'm speaking as " + hooks_.name() + ".");
  return "installed";
}

std::string VoiceDesk::removal() {
  if (auto outcome = notThere(kNotInstalled)) return *outcome;
  engine_.requests().confirm(
      "Remove the natural voice and free about 600 megabytes? Say yes or no.",
      "remove the natural voice", [this] {
        // Gigabytes go: off the engine's lock, then said.
        background_.run([this] {
          const bool removed = hooks_.remove();
          engine_.speak(removed
                            ? "The natural voice is removed. I'm back to " +
                                  std::string(platformWords().ownVoice) + " after the next restart."
                            : "I couldn't remove all of the natural voice. Ask me again.");
        });
        return std::string("removing");
      });
  return "asked";
}

std::string VoiceDesk::audition() {
  if (!hooks_.installed()) {
    engine_.speak(kNotInstalled);
    return "not installed";
  }
  if (!hooks_.ready()) {
    engine_.speak("The natural voice is still starting. Ask me again in a moment.");
    return "not ready";
  }
  engine_.run([this](int gen) {
    for (const auto& [id, name] : hooks_.offered()) {
      if (!engine_.alive(gen)) return;
      // A voice that cannot speak is named by the one speaking now.
      if (!hooks_.sayAs(id, "This is " + name + ".")) engine_.say(name + " could not speak.", gen);
    }
    if (engine_.alive(gen)) engine_.say("Say next voice to choose one of them.", gen);
  });
  return "audition";
}

void VoiceDesk::decline() {
  parts_.store.write(kDeclinedFile, "declined\n");
}

bool VoiceDesk::declined() {
  return parts_.store.read(kDeclinedFile).has_value();
}

std::optional<std::string> VoiceDesk::fetchAtStart(const Profile& profile) {
  if (!profile.neuralVoice || hooks_.installed() || hooks_.installing() || declined()) {
    return std::nullopt;
  }
  return "I'm fetching my natural voice in the background. It's a one time download, and I'll "
         "switch to it the moment it's ready.";
}

void VoiceDesk::beginInstall() {
  background_.run([this] {
    if (!hooks_.install()) engine_.logLine("the natural voice was not installed");
  });
}

}  // namespace orvo
