#pragma once
// A running stream to the sound output, pulling stereo blocks from a render
// function on the driver's own thread.

#include <functional>
#include <memory>
#include <string>

namespace orvo {

using AudioRender = std::function<void(float* left, float* right, int frames)>;

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Still pulling sound (a driver that died, or a device that went away, stops).
  virtual bool running() = 0;
};

// Opens the output, trying PipeWire, PulseAudio and ALSA in turn; nothing when
// none can be opened (as on a machine without sound).
using OpenAudioOutput =
    std::function<std::unique_ptr<AudioOutput>(AudioRender render, int sampleRate)>;

// `device`: the sound server's name for an output the player chose, tried
// first through PulseAudio (which PipeWire also serves); when it is not there,
// the usual output, so the music is never silent for it.
std::unique_ptr<AudioOutput> openSystemAudioOutput(AudioRender render, int sampleRate,
                                                   const std::string& device = "");

// The backends it chooses from. A PulseAudio stream of ours (PipeWire serves
// it too) on `device`, or the server's default output when empty; nothing
// without a server or when that output is not there.
std::unique_ptr<AudioOutput> openPulseAudioOutput(AudioRender render, int sampleRate,
                                                  const std::string& device = "");
// FluidSynth's driver of that name ("pipewire", "alsa"); nothing when this
// FluidSynth was built without it or it does not open.
std::unique_ptr<AudioOutput> openFluidAudioOutput(AudioRender render, int sampleRate,
                                                  const char* driver);

}  // namespace orvo
