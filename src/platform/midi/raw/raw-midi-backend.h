#pragma once
// MIDI as byte streams: the input is a file, a FIFO or a raw MIDI device
// (/dev/snd/midiC1D0), and is the one keyboard, named after the file; the
// output receives every message published on our virtual source, byte for byte.
// When the input is a device, messages for the destinations go back to it.
//
// This is how tests play the piano, and how a keyboard is used where the ALSA
// sequencer is not available.

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/midi/midi-backend.h"
#include "platform/midi/raw/midi-stream-framer.h"

namespace orvo {

class RawMidiBackend final : public MidiBackend {
 public:
  // Either path may be empty. `log` is told once when the input cannot be
  // opened and once when it closes.
  RawMidiBackend(std::filesystem::path input, std::filesystem::path output,
                 std::function<void(const std::string&)> log);
  ~RawMidiBackend() override;

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override;
  std::optional<std::int64_t> ownSourceId() override { return 1; }
  std::vector<MidiSource> sources() override;
  void disconnectAll() override {}
  void connect(const MidiSource&) override {}
  void refreshDestinations() override {}
  void publish(const std::uint8_t* bytes, std::size_t size) override;
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override;

 private:
  void readLoop();
  void ended(const std::string& why);

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
  MidiStreamFramer framer_;
};

}  // namespace orvo
