#include "platform/midi/raw/raw-midi-backend.h"

#include "platform/real-time-priority.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/signals.h"

namespace orvo {
namespace {

bool isFifo(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool isDevice(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

void writeWhole(int fd, const std::uint8_t* bytes, std::size_t size) {
  // Messages are at most 3 bytes, under the pipe's atomic write size: one
  // write puts them out whole or not at all. A full pipe drops the message
  // rather than holding up the note path.
  while (fd >= 0 && ::write(fd, bytes, size) < 0 && errno == EINTR) {
  }
}

}  // namespace

RawMidiBackend::RawMidiBackend(std::filesystem::path input, std::filesystem::path output,
                               std::function<void(const std::string&)> log)
    : input_(std::move(input)), output_(std::move(output)), log_(std::move(log)) {}

RawMidiBackend::~RawMidiBackend() {
  writer_.reset();  // it writes to outputFd_, closed below
  stopping_ = true;
  if (stopPipe_[1] >= 0) {
    [[maybe_unused]] ssize_t written = ::write(stopPipe_[1], "x", 1);
  }
  if (reader_.joinable()) {
    // A reader waiting in open() for a FIFO's writer, or about to, is let
    // through: a writer held open until it has gone (read-write, so this
    // open never waits itself).
    int writer = isFifo(input_) ? ::open(input_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
    reader_.join();
    if (writer >= 0) ::close(writer);
  }
  for (int fd : {stopPipe_[0], stopPipe_[1], outputFd_, deviceOutFd_.load(), inputFd_.load()}) {
    if (fd >= 0) ::close(fd);
  }
}

bool RawMidiBackend::start(PacketHandler onPacket, std::function<void()> onSetupChanged) {
  onPacket_ = std::move(onPacket);
  onSetupChanged_ = std::move(onSetupChanged);
  if (!output_.empty()) {
    if (isFifo(output_)) {
      // Read-write, so a FIFO with nobody reading yet neither blocks us nor fails.
      outputFd_ = ::open(output_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } else {
      outputFd_ =
          ::open(output_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
    }
    if (outputFd_ < 0) {
      log_("MIDI output " + output_.string() + " cannot be opened");
    } else {
      writer_ = std::make_unique<TimedWriter>(
          [fd = outputFd_](const std::uint8_t* bytes, std::size_t size) {
            writeWhole(fd, bytes, size);
          });
      if (!writer_->whyNormalPriority().empty())
        log_("the timed MIDI writer runs at normal priority: " + writer_->whyNormalPriority());
    }
  }
  if (input_.empty()) return true;
  std::error_code error;
  if (!std::filesystem::exists(input_, error)) {
    log_("MIDI input " + input_.string() + " cannot be opened: it does not exist");
    return true;
  }
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return true;
  inputOpen_ = true;
  reader_ = std::thread([this] { readLoop(); });
  // A note reaches the band and the judge at once even when the cores are busy.
  if (auto why = raiseToRealTime(reader_.native_handle())) whyNormal_ = *why;
  return true;
}

std::vector<MidiSource> RawMidiBackend::sources() {
  if (!inputOpen_) return {};
  return {MidiSource{input_.filename().string(), 2}};
}

void RawMidiBackend::readLoop() {
  touchStack();
  blockQuitSignalsHere();
  const bool fifo = isFifo(input_);
  const bool device = isDevice(input_);
  bool wasOpen = true;  // start() counted the stream as a keyboard already
  for (;;) {
    // Blocking open: a FIFO opens when its writer arrives.
    int fd = ::open(input_.c_str(), O_RDONLY | O_CLOEXEC | (device ? O_NONBLOCK : 0));
    if (fd < 0) {
      std::string why = "cannot be opened: " + std::string(std::strerror(errno));
      if (!fifo && !device) return ended(why);
      if (wasOpen) ended(why + "; it is opened again when it comes back");
      wasOpen = false;
      if (stopWithin(1.0)) return;
      continue;
    }
    inputFd_ = fd;
    if (stopping_) return;
    if (device) deviceOutFd_ = ::open(input_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    framer_ = MidiStreamFramer();  // nothing half-read from the last one
    if (!wasOpen) {
      inputOpen_ = true;
      log_("MIDI input " + input_.string() + " is back");
      if (onSetupChanged_) onSetupChanged_();
    }
    std::string why;
    bool more = readUntilEnd(fd, why);
    int out = deviceOutFd_.exchange(-1);
    inputFd_ = -1;
    ::close(fd);
    if (out >= 0) ::close(out);
    if (!more) return;
    if (!fifo && !device) return ended(why);
    ended(why + "; it is opened again when it comes back");
    wasOpen = false;
    if (device && stopWithin(1.0)) return;
  }
}

bool RawMidiBackend::readUntilEnd(int fd, std::string& why) {
  auto emit = [this](const std::uint8_t* bytes, std::size_t size) { onPacket_(bytes, size); };
  std::uint8_t buffer[256];
  for (;;) {
    pollfd waits[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      why = "failed: " + std::string(std::strerror(errno));
      return true;
    }
    if (stopping_ || (waits[1].revents & POLLIN)) return false;
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) {
      why = got == 0 ? "closed" : "failed: " + std::string(std::strerror(errno));
      return true;
    }
    for (ssize_t i = 0; i < got; ++i) framer_.feed(buffer[i], emit);
  }
}

bool RawMidiBackend::stopWithin(double seconds) {
  pollfd wait{stopPipe_[0], POLLIN, 0};
  ::poll(&wait, 1, static_cast<int>(seconds * 1000));
  return stopping_ || (wait.revents & POLLIN);
}

void RawMidiBackend::ended(const std::string& why) {
  if (stopping_) return;
  inputOpen_ = false;
  log_("MIDI input " + input_.string() + " " + why);
  if (onSetupChanged_) onSetupChanged_();
}

void RawMidiBackend::publish(const std::uint8_t* bytes, std::size_t size) {
  writeWhole(outputFd_, bytes, size);
}

void RawMidiBackend::publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) {
  if (!writer_ || !writer_->at(bytes, size, due)) publish(bytes, size);
}

void RawMidiBackend::dropScheduled() {
  if (writer_) writer_->drop();
}

void RawMidiBackend::sendToDestinations(const std::uint8_t* bytes, std::size_t size) {
  writeWhole(deviceOutFd_, bytes, size);
}

}  // namespace orvo
