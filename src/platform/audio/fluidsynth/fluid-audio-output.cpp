// The system's sound output through FluidSynth's audio drivers.

#include <fluidsynth.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/audio/audio-output.h"
#include "platform/audio/pull-watch.h"

namespace orvo {
namespace {

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
    pulls_.pulled();
    return driver_ != nullptr;
  }

  bool running() override { return driver_ && pulls_.recent(); }

 private:
  static int pull(void* data, int len, int, float*[], int nout, float* out[]) {
    auto* self = static_cast<FluidAudioOutput*>(data);
    self->pulls_.pulled();
    if (nout >= 2) self->render_(out[0], out[1], len);
    return FLUID_OK;
  }

  AudioRender render_;
  fluid_settings_t* settings_;
  fluid_audio_driver_t* driver_ = nullptr;
  PullWatch pulls_;
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
