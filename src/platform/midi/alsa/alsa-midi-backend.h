#pragma once
// The ALSA sequencer: client "Orvo" with a readable virtual port "Orvo" (other
// programs subscribe to it to record what we play), an input port "Orvo In"
// subscribed to every keyboard, and an output port "Orvo Out" that reaches
// every other writable port. Hot-plug comes through the system announce port.
// Messages given ahead of their time wait on a sequencer queue of our own, in
// real time, so the kernel sends them at their due time.

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/midi/midi-backend.h"

typedef struct _snd_seq snd_seq_t;
typedef struct snd_midi_event snd_midi_event_t;

namespace orvo {

class AlsaMidiBackend final : public MidiBackend {
 public:
  AlsaMidiBackend() = default;
  ~AlsaMidiBackend() override;

  // Whether this machine has a sequencer device at all.
  static bool present();

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override;
  std::string whyInputNotRealTime() override { return whyNormal_; }
  std::string describe() override { return "the ALSA sequencer (/dev/snd/seq)"; }
  std::optional<std::int64_t> ownSourceId() override;
  std::vector<MidiSource> sources() override;
  void disconnectAll() override;
  void connect(const MidiSource& source) override;
  void refreshDestinations() override;
  void publish(const std::uint8_t* bytes, std::size_t size) override;
  void publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) override;
  void dropScheduled() override;
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override;

 private:
  void readLoop();
  // `delay` in nanoseconds; 0 sends it directly.
  void output(const std::uint8_t* bytes, std::size_t size, int port, std::int64_t delay = 0);
  void makeQueue();

  snd_seq_t* seq_ = nullptr;
  int client_ = -1;
  int sourcePort_ = -1;
  int inPort_ = -1;
  int outPort_ = -1;
  int queue_ = -1;  // the real-time queue; -1 when it could not be made
  PacketHandler onPacket_;
  std::function<void()> onSetupChanged_;
  std::mutex mutex_;  // guards the encoder, the connection lists and output
  snd_midi_event_t* encoder_ = nullptr;
  std::vector<std::pair<int, int>> connected_;
  std::vector<std::pair<int, int>> destinations_;
  std::atomic<bool> stopping_{false};
  int stopPipe_[2] = {-1, -1};
  std::thread reader_;
  std::string whyNormal_;  // set by start(), before anyone asks
};

}  // namespace orvo
