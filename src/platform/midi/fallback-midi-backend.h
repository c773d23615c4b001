#pragma once
// The first of two backends that starts: the ALSA sequencer where there is
// one, else the raw MIDI devices. Every call goes to the one that started.

#include "platform/midi/midi-backend.h"

namespace orvo {

class FallbackMidiBackend final : public MidiBackend {
 public:
  FallbackMidiBackend(MidiBackend& first, MidiBackend& second) : first_(first), second_(second) {}

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override {
    if (first_.start(onPacket, onSetupChanged)) return true;
    chosen_ = &second_;
    return second_.start(std::move(onPacket), std::move(onSetupChanged));
  }
  std::string describe() override {
    return chosen_ == &first_ ? first_.describe()
                              : second_.describe() + " (" + first_.describe() + " is not there)";
  }
  std::string whyInputNotRealTime() override { return chosen_->whyInputNotRealTime(); }
  std::optional<std::int64_t> ownSourceId() override { return chosen_->ownSourceId(); }
  std::vector<MidiSource> sources() override { return chosen_->sources(); }
  void disconnectAll() override { chosen_->disconnectAll(); }
  void connect(const MidiSource& source) override { chosen_->connect(source); }
  void refreshDestinations() override { chosen_->refreshDestinations(); }
  void publish(const std::uint8_t* bytes, std::size_t size) override {
    chosen_->publish(bytes, size);
  }
  void publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) override {
    chosen_->publishAt(bytes, size, due);
  }
  void dropScheduled() override { chosen_->dropScheduled(); }
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override {
    chosen_->sendToDestinations(bytes, size);
  }

 private:
  MidiBackend& first_;
  MidiBackend& second_;
  MidiBackend* chosen_ = &first_;  // set once, in start(), before any other call
};

}  // namespace orvo
