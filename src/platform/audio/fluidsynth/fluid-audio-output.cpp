// The system's sound output through FluidSynth's audio drivers.

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

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

// Only drivers for an output that is there are tried, so no driver is asked
// for that cannot work (each failure would be another error message).
std::unique_ptr<AudioOutput> openSystemAudioOutput(AudioRender render, int sampleRate,
                                                   const std::string& device) {
  SoundSystems outputs = findSoundSystems();
  if (!outputs.any()) return nullptr;  // no device: nothing to try, and no noise
  static const std::vector<std::string> built = builtDrivers();
  auto has = [](const char* name) {
    return std::find(built.begin(), built.end(), name) != built.end();
  };
  if (!device.empty() && (outputs.pulse || outputs.pipewire) && has("pulseaudio")) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setstr(settings, "audio.driver", "pulseaudio");
    fluid_settings_setstr(settings, "audio.pulseaudio.device", device.c_str());
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "audio.period-size", 256);
    auto output = std::make_unique<FluidAudioOutput>(render, settings);
    if (output->open()) return output;
  }
  std::vector<const char*> drivers;
  if (outputs.pipewire && has("pipewire")) drivers.push_back("pipewire");
  // PipeWire also serves PulseAudio clients, through its pulse socket.
  if (outputs.pulse && has("pulseaudio")) drivers.push_back("pulseaudio");
  if (outputs.alsa && has("alsa")) drivers.push_back("alsa");
  for (const char* driver : drivers) {
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
