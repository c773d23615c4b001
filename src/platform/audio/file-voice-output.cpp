#include "platform/audio/voice-output.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace orvo {

namespace {

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

std::unique_ptr<VoiceOutput> openFileVoiceOutput(const std::filesystem::path& path, int rate) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::make_unique<FileVoiceOutput>(fd, rate);
}

}  // namespace orvo
