// The engine's own sounds: chime, knock and the band level.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/engine.h"

namespace orvo {

void Engine::chime(const std::vector<int>& notes, int velocity, double hold) {
  if (parts_.opt.fast) return;
  auto vel = static_cast<std::uint8_t>(std::clamp(velocity, 1, 127));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    auto note = static_cast<std::uint8_t>(std::clamp(notes[i], 0, 127));
    double at = static_cast<double>(i) * 0.12;
    auto play = [this, note, vel] { parts_.midi.send({0x94, note, vel}); };
    if (at == 0) {
      play();
    } else {
      parts_.runtime.after(at, play);
    }
    parts_.runtime.after(at + hold, [this, note] { parts_.midi.send({0x84, note, 0}); });
  }
}

void Engine::knock() {
  if (parts_.opt.fast) return;
  parts_.midi.send({0x99, 77, 66});
  parts_.runtime.after(0.1, [this] { parts_.midi.send({0x89, 77, 0}); });
}

std::string Engine::bandLevelLine(double db) {
  char line[32];
  std::snprintf(line, sizeof line, "bandlevel %+d dB", static_cast<int>(std::lround(db)));
  return line;
}

void Engine::stepBandLevel(int direction) {
  constexpr double step = 3.0;
  double before = parts_.sounds.level();
  double after = parts_.sounds.setLevel(before + direction * step);
  ui(bandLevelLine(after));
  std::string text = direction < 0 ? "Band quieter." : "Band louder.";
  if (after == before) {
    text += direction < 0 ? " That is as quiet as it goes." : " That is as loud as it goes.";
  }
  speak(text);
}

}  // namespace orvo
