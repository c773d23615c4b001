// The engine's own sounds: chime, knock, the band level, and playing events.

#include <algorithm>
#include <array>
#include <cmath>

#include "core/engine.h"
#include "platform/window-lines.h"
#include "sound/sound-graph.h"

namespace orvo {

void Engine::chime(const std::vector<int>& notes, int velocity, double hold) {
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

void Engine::knockStart() {
  parts_.midi.send({0x99, band::knockNote, band::knockVelocity});
}

void Engine::knockEnd() {
  parts_.midi.send({0x89, band::knockNote, 0});
}

void Engine::knock() {
  knockStart();
  parts_.runtime.after(0.1, [this] { knockEnd(); });
}

std::string Engine::bandLevelLine(double db) {
  return lines::bandLevel(static_cast<int>(std::lround(db)));
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

void Engine::play(const std::vector<Ev>& events, int gen) {
  Runtime& runtime = parts_.runtime;
  const double start = runtime.now();
  std::vector<std::array<std::uint8_t, 2>> held;  // channel and note of what is sounding
  for (const Ev& ev : events) {
    // Short waits, so a newer press cuts the playing off promptly.
    for (double left = start + ev.t - runtime.now(); left > 0 && alive(gen);
         left = start + ev.t - runtime.now()) {
      runtime.sleep(std::min(left, 0.05));
    }
    if (!alive(gen)) break;
    parts_.midi.send(ev.bytes.data(), 3);
    std::array<std::uint8_t, 2> key = {static_cast<std::uint8_t>(ev.bytes[0] & 0x0F), ev.bytes[1]};
    if ((ev.bytes[0] & 0xF0) == 0x90 && ev.bytes[2] > 0) {
      held.push_back(key);
    } else {
      std::erase(held, key);
    }
  }
  for (auto [channel, note] : held) {
    parts_.midi.send({static_cast<std::uint8_t>(0x80 | channel), note, 0});
  }
}

}  // namespace orvo
