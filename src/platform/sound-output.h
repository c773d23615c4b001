#pragma once
// Whether this machine can make any sound at all: an ALSA playback device, or
// a PulseAudio or PipeWire server to hand sound to. Without one, speaking
// would only wait on sentences nobody hears, so they are printed instead.

namespace orvo {

// What can play sound here: a PipeWire or PulseAudio server's socket, an ALSA
// playback device.
struct SoundSystems {
  bool pipewire = false;
  bool pulse = false;
  bool alsa = false;
  bool any() const { return pipewire || pulse || alsa; }
};
SoundSystems findSoundSystems();

bool soundOutputPresent();

}  // namespace orvo
