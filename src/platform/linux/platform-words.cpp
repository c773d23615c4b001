#include "platform/platform-words.h"

namespace orvo {

const PlatformWords& platformWords() {
  static const PlatformWords words{
      .computer = "this computer",
      .ownVoice = "the computer's own voice",
      .loginRefused =
          "Your desktop wouldn't let me set that. You can add Orvo yourself to your desktop's "
          "startup applications.",
      .noModel = "I didn't recognise that one. Without an AI tool I can only follow requests I "
                 "know, and none is set up on this computer.",
      .notSignedIn = "The AI is not signed in yet. Open a terminal, type claude, press Enter, "
                     "and sign in with your Claude account. After that I can answer.",
      .accessPermission =
          "I need one permission for that. Switch on assistive technologies in your desktop's "
          "accessibility settings, then log out and in again.",
      .studios = "REAPER",
      .computerForTheAi = "computer",
  };
  return words;
}

}  // namespace orvo
