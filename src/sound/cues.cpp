#include "sound/cues.h"

#include <algorithm>
#include <cstdint>

#include "platform/runtime.h"
#include "sound/midi-io.h"
#include "sound/sound-graph.h"

namespace orvo {

void Cues::chime(const std::vector<int>& notes, int velocity, double hold) {
  auto vel = static_cast<std::uint8_t>(std::clamp(velocity, 1, 127));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    auto note = static_cast<std::uint8_t>(std::clamp(notes[i], 0, 127));
    double at = static_cast<double>(i) * 0.12;
    auto play = [this, note, vel] { midi_.send({0x94, note, vel}); };
    if (at == 0) {
      play();
    } else {
      runtime_.after(at, play);
    }
    runtime_.after(at + hold, [this, note] { midi_.send({0x84, note, 0}); });
  }
}

void Cues::knockStart() {
  midi_.send({0x99, band::knockNote, band::knockVelocity});
}

void Cues::knockEnd() {
  midi_.send({0x89, band::knockNote, 0});
}

void Cues::knock() {
  knockStart();
  runtime_.after(0.1, [this] { knockEnd(); });
}

}  // namespace orvo
