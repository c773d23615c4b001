#pragma once
// MIDI as byte streams: the input is a file, a FIFO or a raw MIDI device
// (/dev/snd/midiC1D0), and is the one keyboard, named after the file; the
// output receives every message published on our virtual source, byte for byte.
// When the input is a device, messages for the destinations go back to it.
// Messages given ahead of their time go out from a timed writer of their own.
//
// A FIFO whose writer goes away, or a device that is unplugged, is a keyboard
// gone: the sources are told, and the stream is opened again when it can be
// (a FIFO when its next writer comes, a device polled once a second). A
// plain file is played once.
//
// This is how tests play the piano, and how a keyboard is used where the ALSA
// sequencer is not available.

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/midi/midi-backend.h"
#include "platform/midi/raw/midi-stream-framer.h"
#include "platform/midi/raw/timed-writer.h"

namespace orvo {

class RawMidiBackend final : public MidiBackend {
 public:
  // Either path may be empty. `log` is told once when the input cannot be
  // opened, and each time it goes away or comes back.
  RawMidiBackend(std::filesystem::path input, std::filesystem::path output,
                 std::function<void(const std::string&)> log);
  ~RawMidiBackend() override;

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override;
  std::string whyInputNotRealTime() override { return whyNormal_; }
  std::string describe() override { return "the MIDI stream " + input_.string(); }
  std::optional<std::int64_t> ownSourceId() override { return 1; }
  std::vector<MidiSource> sources() override;
  void disconnectAll() override {}
  void connect(const MidiSource&) override {}
  void refreshDestinations() override {}
  void publish(const std::uint8_t* bytes, std::size_t size) override;
  void publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) override;
  void dropScheduled() override;
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override;

 private:
  void readLoop();
  // Reads one opened stream until it ends; false when asked to stop.
  bool readUntilEnd(int fd, std::string& why);
  void ended(const std::string& why);
  // Waits up to `seconds` for the stop pipe; true when asked to stop.
  bool stopWithin(double seconds);

  std::filesystem::path input_;
  std::filesystem::path output_;
  std::function<void(const std::string&)> log_;
  PacketHandler onPacket_;
  std::function<void()> onSetupChanged_;
  std::atomic<bool> inputOpen_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<int> inputFd_{-1};
  int stopPipe_[2] = {-1, -1};
  int outputFd_ = -1;
  std::atomic<int> deviceOutFd_{-1};
  std::thread reader_;
  std::string whyNormal_;  // set by start(), before anyone asks
  MidiStreamFramer framer_;
  std::unique_ptr<TimedWriter> writer_;  // made in start() when there is an output
};

}  // namespace orvo
