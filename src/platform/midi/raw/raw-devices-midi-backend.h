#pragma once
// Every raw MIDI device in a folder (/dev/snd/midiC1D0 ...), for a machine
// without the ALSA sequencer. The folder is looked at once a second: each
// device that appears is a keyboard of its own, read by a RawMidiBackend that
// follows it going away and coming back. There is no virtual source here:
// publish() sends nothing (ORVO_MIDI_OUT can mirror it).
//
// Threads: the looking runs on a thread of its own; every call from any thread.

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/midi/midi-backend.h"
#include "platform/midi/raw/raw-midi-backend.h"

namespace orvo {

class RawDevicesMidiBackend final : public MidiBackend {
 public:
  RawDevicesMidiBackend(std::filesystem::path folder, std::function<void(const std::string&)> log,
                        double every = 1.0);
  ~RawDevicesMidiBackend() override;

  bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) override;
  std::string describe() override { return "raw MIDI devices in " + folder_.string(); }
  std::optional<std::int64_t> ownSourceId() override { return std::nullopt; }
  std::vector<MidiSource> sources() override;
  void disconnectAll() override {}
  void connect(const MidiSource&) override {}
  void refreshDestinations() override {}
  void publish(const std::uint8_t*, std::size_t) override {}
  void sendToDestinations(const std::uint8_t* bytes, std::size_t size) override;

  // The name a person knows a device by: its card's id ("Keystation") where
  // the system says, else the file's name.
  static std::string deviceName(const std::filesystem::path& device);

 private:
  // Starts a reader for every device not seen before; true when one was added.
  bool look();

  std::filesystem::path folder_;
  std::function<void(const std::string&)> log_;
  double every_;
  PacketHandler onPacket_;
  std::function<void()> onSetupChanged_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::map<std::filesystem::path, std::unique_ptr<RawMidiBackend>> devices_;
  std::map<std::filesystem::path, std::string> names_;
  std::thread looker_;
};

}  // namespace orvo
