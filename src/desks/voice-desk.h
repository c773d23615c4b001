#pragma once
// The talk about the natural voice: offering it and fetching it in the
// background on a yes, a no kept in "voice-declined.txt" so it is not offered
// again, whether it is there, removing it, and an audition of its favourite
// voices, each naming itself. The installer speaks its own steps.
//
// Threads: hear() and fetchAtStart() with the engine's lock held; the
// install and the removal run on the global queue, never under the lock.

#include <optional>
#include <string>
#include <vector>

#include "platform/background-tasks.h"
#include "player/profile.h"
#include "sound/voice-hooks.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class Store;
class Runtime;

// The sentences said most often, rendered by the natural voice ahead of time.
std::vector<std::string> frequentSentences();

class VoiceDesk {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    Store& store;
  };
  VoiceDesk(RoomServices& engine, Parts parts, VoiceHooks hooks);
  ~VoiceDesk();

  // A request sub-handler: the outcome word, or nothing for any other sentence.
  std::optional<std::string> hear(const Heard& heard);
  // The player does not want the natural voice (a no, or the typed "declined").
  void decline();
  bool declined();
  // The profile asks for the natural voice and it is neither here nor refused:
  // the sentence that says it is being fetched; beginInstall() then fetches it.
  std::optional<std::string> fetchAtStart(const Profile& profile);
  void beginInstall();

 private:
  std::string offer();
  // Said while it downloads or when it is not there: the outcome; else nothing.
  std::optional<std::string> notThere(const std::string& missing);
  std::string status();
  std::string removal();
  std::string audition();

  RoomServices& engine_;
  Parts parts_;
  VoiceHooks hooks_;
  // An install or a removal on its way, waited for before the desk goes.
  BackgroundTasks background_;
};

}  // namespace orvo
