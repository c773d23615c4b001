#pragma once
// A lesson's demonstration played by the real binary and recorded from the
// test's own sound server.

#include <fcntl.h>
#include <unistd.h>

#include "e2e/orvo-process.h"
#include "e2e/sound-server.h"

namespace orvo::testing {

// Presses the top key on the piano's FIFO (a lesson starts with its
// demonstration) and records every sink for 3 s from just before; false when
// the piano could not be opened or no note went out.
inline bool recordALessonDemonstration(const std::filesystem::path& piano, OrvoProcess& orvo,
                                       SoundServer& sound) {
  const int keys = ::open(piano.c_str(), O_WRONLY);
  if (keys < 0) return false;
  sound.record();
  const bool pressed = ::write(keys, "\x90\x6c\x60\x80\x6c\x00", 6) == 6;
  const bool played = pressed && orvo.waitForPrefix("@out ", 5.0).has_value();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  ::close(keys);
  return played;
}

}  // namespace orvo::testing
