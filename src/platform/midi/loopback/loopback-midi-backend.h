#pragma once
// A MIDI service in memory, for tests: the test plays packets as a keyboard
// would, plugs sources in and out, and reads back what was published.

#include <mutex>

#include "platform/midi/midi-backend.h"

namespace orvo {

class LoopbackMidiBackend final : public MidiBackend {
 public:
  bool available = true;

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override {
    if (!available) return false;
    onPacket_ = std::move(onPacket);
    onSetupChanged_ = std::move(onSetupChanged);
    return true;
  }
  std::optional<std::int64_t> ownSourceId() override {
    return available ? 1 : std::optional<std::int64_t>();
  }
  std::vector<MidiSource> sources() override {
    std::lock_guard guard(mutex_);
    return sources_;
  }
  void disconnectAll() override {
    std::lock_guard guard(mutex_);
    connected.clear();
  }
  void connect(const MidiSource& source) override {
    std::lock_guard guard(mutex_);
    connected.push_back(source.name);
  }
  void refreshDestinations() override {}
  void publish(const std::uint8_t* bytes, std::size_t size) override {
    std::lock_guard guard(mutex_);
    published.emplace_back(bytes, bytes + size);
  }
  // Timed messages are published at once, as a backend with no timed output
  // would, and kept with their due time.
  void publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) override {
    std::lock_guard guard(mutex_);
    published.emplace_back(bytes, bytes + size);
    scheduled.push_back({std::vector<std::uint8_t>(bytes, bytes + size), due});
  }
  void dropScheduled() override {
    std::lock_guard guard(mutex_);
    ++drops;
  }
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override {
    std::lock_guard guard(mutex_);
    toDestinations.emplace_back(bytes, bytes + size);
  }

  // Test side.
  void plug(MidiSource source) {
    {
      std::lock_guard guard(mutex_);
      sources_.push_back(std::move(source));
    }
    if (onSetupChanged_) onSetupChanged_();
  }
  void unplugAll() {
    {
      std::lock_guard guard(mutex_);
      sources_.clear();
    }
    if (onSetupChanged_) onSetupChanged_();
  }
  void play(const std::vector<std::uint8_t>& packet) {
    if (onPacket_) onPacket_(packet.data(), packet.size());
  }
  // What was published, read safely while other threads still publish.
  std::vector<std::vector<std::uint8_t>> publishedSoFar() {
    std::lock_guard guard(mutex_);
    return published;
  }

  std::vector<std::string> connected;
  std::vector<std::vector<std::uint8_t>> published;
  std::vector<std::vector<std::uint8_t>> toDestinations;
  struct Scheduled {
    std::vector<std::uint8_t> bytes;
    std::int64_t due;
  };
  std::vector<Scheduled> scheduled;
  int drops = 0;

 private:
  std::mutex mutex_;
  std::vector<MidiSource> sources_;
  PacketHandler onPacket_;
  std::function<void()> onSetupChanged_;
};

}  // namespace orvo
