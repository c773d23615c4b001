// The system's sound output through FluidSynth's audio drivers.

#include <fluidsynth.h>

#include <atomic>
#include <chrono>

#include "platform/audio/audio-output.h"
#include "platform/sound-output.h"

namespace orvo {
namespace {

double secondsNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

class FluidAudioOutput final : public AudioOutput {
 public:
  FluidAudioOutput(AudioRender render, fluid_settings_t* settings)
      : render_(std::move(render)), settings_(settings) {}
  ~FluidAudioOutput() override {
    if (driver_) delete_fluid_audio_driver(driver_);
    delete_fluid_settings(settings_);
  }

  bool open() {
    driver_ = new_fluid_audio_driver2(settings_, &FluidAudioOutput::pull, this);
    lastPull_ = secondsNow();
    return driver_ != nullptr;
  }

  // A stream that has not asked for sound for a second has stopped.
  bool running() override { return driver_ && secondsNow() - lastPull_ < 1.0; }

 private:
  static int pull(void* data, int len, int, float*[], int nout, float* out[]) {
    auto* self = static_cast<FluidAudioOutput*>(data);
    self->lastPull_ = secondsNow();
    if (nout >= 2) self->render_(out[0], out[1], len);
    return FLUID_OK;
  }

  AudioRender render_;
  fluid_settings_t* settings_;
  fluid_audio_driver_t* driver_ = nullptr;
  std::atomic<double> lastPull_{0};
};

}  // namespace

std::unique_ptr<AudioOutput> openSystemAudioOutput(AudioRender render, int sampleRate) {
  if (!soundOutputPresent()) return nullptr;  // no device: nothing to try, and no noise
  for (const char* driver : {"pipewire", "pulseaudio", "alsa"}) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setstr(settings, "audio.driver", driver);
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "audio.period-size", 256);
    auto output = std::make_unique<FluidAudioOutput>(render, settings);
    if (output->open()) return output;
  }
  return nullptr;
}

}  // namespace orvo
