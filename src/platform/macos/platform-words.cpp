#include "platform/platform-words.h"

namespace orvo {

const PlatformWords& platformWords() {
  static const PlatformWords words{
      .computer = "this Mac",
      .ownVoice = "the Mac's own voice",
      .loginRefused = "The Mac wouldn't let me set that. You can add Orvo yourself under System "
                      "Settings, General, Login Items.",
      .noModel = "I didn't recognise that one. On this Mac I can only follow requests I know, "
                 "because it has no built-in language model: that needs Apple Intelligence "
                 "switched on, in System Settings.",
      .notSignedIn = "The AI is not signed in yet. Open a Terminal window, type claude, press "
                     "Return, and sign in with your Claude account. After that I can answer.",
      .accessPermission = "I need one permission for that. Open System Settings, Privacy and "
                          "Security, Accessibility, and switch on Orvo.",
      .studios = "REAPER or Logic",
      .computerForTheAi = "Mac",
  };
  return words;
}

}  // namespace orvo
