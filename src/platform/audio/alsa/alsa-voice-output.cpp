#include "platform/audio/voice-output.h"

#include <alsa/asoundlib.h>

namespace orvo {

namespace {

class AlsaVoiceOutput final : public VoiceOutput {
 public:
  AlsaVoiceOutput(snd_pcm_t* pcm, int rate) : pcm_(pcm), rate_(rate) {}
  ~AlsaVoiceOutput() override { snd_pcm_close(pcm_); }
  bool write(const std::int16_t* samples, std::size_t count) override {
    while (count > 0) {
      snd_pcm_sframes_t wrote = snd_pcm_writei(pcm_, samples, count);
      // An underrun (the voice paused between sentences) is mended and written again.
      if (wrote < 0) wrote = snd_pcm_recover(pcm_, static_cast<int>(wrote), 1);
      if (wrote < 0) return false;
      samples += wrote;
      count -= static_cast<std::size_t>(wrote);
    }
    return true;
  }
  double latency() override {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0 || delay < 0) return 0.0;
    return static_cast<double>(delay) / rate_;
  }
  void drain() override { snd_pcm_drain(pcm_); }

 private:
  snd_pcm_t* pcm_;
  int rate_;
};

}  // namespace

std::unique_ptr<VoiceOutput> openAlsaVoiceOutput(int rate) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return nullptr;
  // About 40 ms ahead, as the PulseAudio stream, so a stop is heard at once.
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                         static_cast<unsigned>(rate), 1, 40000) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return std::make_unique<AlsaVoiceOutput>(pcm, rate);
}

}  // namespace orvo
