// The system's sound output through FluidSynth's audio drivers.

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform/audio/audio-output.h"

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

// The drivers this FluidSynth was built with.
std::vector<std::string> builtDrivers() {
  std::vector<std::string> names;
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_foreach_option(settings, "audio.driver", &names,
                                [](void* data, const char*, const char* option) {
                                  static_cast<std::vector<std::string>*>(data)->push_back(option);
                                });
  delete_fluid_settings(settings);
  return names;
}

}  // namespace

std::unique_ptr<AudioOutput> openFluidAudioOutput(AudioRender render, int sampleRate,
                                                  const char* driver) {
  static const std::vector<std::string> built = builtDrivers();
  if (std::find(built.begin(), built.end(), driver) == built.end()) return nullptr;
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setstr(settings, "audio.driver", driver);
  fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
  fluid_settings_setint(settings, "audio.period-size", 256);
  auto output = std::make_unique<FluidAudioOutput>(render, settings);
  if (output->open()) return output;
  return nullptr;
}

}  // namespace orvo
