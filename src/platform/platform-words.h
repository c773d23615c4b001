#pragma once
// The words that depend on the computer the player has: what it is called,
// its own voice, its settings and which studios it can run. Every sentence
// that would name the computer or its settings takes its words from here,
// so each operating system's wording lives in one file of its own
// (platform/linux/, platform/macos/) and CMake builds the one for this system.
// Plain constants; any thread.

#include <string_view>

namespace orvo {

struct PlatformWords {
  // "this computer": where apps are looked for and the natural voice runs.
  std::string_view computer;
  // The speech the system has without the natural voice.
  std::string_view ownVoice;
  // Starting at login could not be set, and how to do it by hand.
  std::string_view loginRefused;
  // A sentence no rule understood, with no AI to ask; the assistant's name
  // and "what can you do" follow it.
  std::string_view noModel;
  // The AI tool is there but signed out.
  std::string_view notSignedIn;
  // Reading other apps needs the desktop's permission.
  std::string_view accessPermission;
  // The studios a request can ask to be opened ("REAPER or Logic").
  std::string_view studios;
  // How the AI is told where it runs: "their computer".
  std::string_view computerForTheAi;
};

const PlatformWords& platformWords();

}  // namespace orvo
