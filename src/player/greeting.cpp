#include "player/greeting.h"

namespace orvo {

Greeting buildGreeting(const Profile& profile, const Memory& memory, const std::string& found) {
  Greeting greeting;
  std::string name = profile.userName.empty() ? "" : ", " + profile.userName;
  if (memory.lastOpened.empty()) {
    greeting.hello = "Hello" + name + ". I'm " + profile.assistantName + ", your piano teacher.";
  } else {
    greeting.hello = "Welcome back" + name + ".";
  }
  greeting.rest = found;
  if (!memory.lastSong.empty()) {
    greeting.rest += " Last time we worked on " + memory.lastSong + ".";
  }
  return greeting;
}

}  // namespace orvo
