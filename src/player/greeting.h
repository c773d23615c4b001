#pragma once
// The words the system opens with, built from the profile and memory.

#include <string>

#include "player/memory.h"
#include "player/profile.h"

namespace orvo {

struct Greeting {
  std::string hello;  // spoken first
  std::string rest;   // spoken after; may be empty

  // Both parts, for the window's "welcome" line.
  std::string whole() const { return rest.empty() ? hello : hello + " " + rest; }
};

// `found` is the sentence about the piano ("Piano connected." or the
// plug-it-in sentence).
Greeting buildGreeting(const Profile& profile, const Memory& memory, const std::string& found);

}  // namespace orvo
