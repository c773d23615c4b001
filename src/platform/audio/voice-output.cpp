#include "platform/audio/voice-output.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace orvo {

namespace {

class PulseVoiceOutput final : public VoiceOutput {
 public:
  explicit PulseVoiceOutput(pa_simple* stream) : stream_(stream) {}
  ~PulseVoiceOutput() override { pa_simple_free(stream_); }
  bool write(const std::int16_t* samples, std::size_t count) override {
    int error = 0;
    return pa_simple_write(stream_, samples, count * sizeof(std::int16_t), &error) >= 0;
  }
  double latency() override {
    int error = 0;
    const pa_usec_t usec = pa_simple_get_latency(stream_, &error);
    return usec == static_cast<pa_usec_t>(-1) ? 0.0 : static_cast<double>(usec) / 1e6;
  }
  void drain() override {
    int error = 0;
    pa_simple_drain(stream_, &error);
  }

 private:
  pa_simple* stream_;
};

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

class FileVoiceOutput final : public VoiceOutput {
 public:
  FileVoiceOutput(int fd, int rate) : fd_(fd), rate_(rate) {}
  ~FileVoiceOutput() override { ::close(fd_); }
  bool write(const std::int16_t* samples, std::size_t count) override {
    // Little-endian on every machine we build for; the bytes go as they are.
    const char* bytes = reinterpret_cast<const char*>(samples);
    std::size_t left = count * sizeof(std::int16_t);
    while (left > 0) {
      const ssize_t wrote = ::write(fd_, bytes, left);
      if (wrote <= 0) return false;
      bytes += wrote;
      left -= static_cast<std::size_t>(wrote);
    }
    // At the pace of playback: the clock runs from the first block.
    const auto now = std::chrono::steady_clock::now();
    if (written_ == 0 || now > due_ + std::chrono::milliseconds(200)) due_ = now;
    written_ += count;
    due_ += std::chrono::microseconds(static_cast<long long>(count) * 1000000 / rate_);
    std::this_thread::sleep_until(due_);
    return true;
  }
  double latency() override { return 0.0; }
  void drain() override {}

 private:
  int fd_;
  int rate_;
  std::size_t written_ = 0;
  std::chrono::steady_clock::time_point due_;
};

}  // namespace

std::unique_ptr<VoiceOutput> openPulseVoiceOutput(int rate, const std::string& name) {
  pa_sample_spec format;
  format.format = PA_SAMPLE_S16LE;
  format.rate = static_cast<std::uint32_t>(rate);
  format.channels = 1;
  // A short buffer, so a stop is heard at once: about 40 ms ahead.
  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = static_cast<std::uint32_t>(rate / 25 * 2);
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "Orvo", PA_STREAM_PLAYBACK, nullptr, name.c_str(),
                                    &format, nullptr, &attributes, &error);
  if (!stream) return nullptr;
  return std::make_unique<PulseVoiceOutput>(stream);
}

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

std::unique_ptr<VoiceOutput> openFileVoiceOutput(const std::filesystem::path& path, int rate) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::make_unique<FileVoiceOutput>(fd, rate);
}

std::unique_ptr<VoiceOutput> openVoiceOutput(int rate) {
  if (const char* file = std::getenv("ORVO_VOICE_OUT"); file && *file) {
    return openFileVoiceOutput(file, rate);
  }
  if (auto pulse = openPulseVoiceOutput(rate, "natural voice")) return pulse;
  return openAlsaVoiceOutput(rate);
}

}  // namespace orvo
