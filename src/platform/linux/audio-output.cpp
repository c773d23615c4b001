#include "platform/audio/audio-output.h"
#include "platform/sound-output.h"

namespace orvo {

// Only outputs that are there are tried, so no driver is asked for that
// cannot work (each failure would be another error message).
std::unique_ptr<AudioOutput> openSystemAudioOutput(AudioRender render, int sampleRate,
                                                   const std::string& device) {
  const SoundSystems outputs = findSoundSystems();
  if (!outputs.any()) return nullptr;  // no device: nothing to try, and no noise
  // PipeWire also serves PulseAudio clients, through its pulse socket.
  const bool pulse = outputs.pulse || outputs.pipewire;
  if (!device.empty() && pulse) {
    if (auto chosen = openPulseAudioOutput(render, sampleRate, device)) return chosen;
  }
  if (outputs.pipewire) {
    if (auto output = openFluidAudioOutput(render, sampleRate, "pipewire")) return output;
  }
  if (pulse) {
    if (auto output = openPulseAudioOutput(render, sampleRate)) return output;
  }
  if (outputs.alsa) return openFluidAudioOutput(render, sampleRate, "alsa");
  return nullptr;
}

}  // namespace orvo
