#pragma once
// What the MIDI link needs from the platform's MIDI service: a client with a
// virtual source other programs can record from, an input port that merges
// every keyboard, and an output port that reaches every destination.
//
// One folder per backend, each with the same shape: alsa/ (the sequencer),
// raw/ (byte streams: FIFOs, files, raw MIDI devices), loopback/ (tests).
// The packet handler runs on the backend's own input thread; everything else
// may be called from any thread.

#include <time.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct MidiSource {
  std::string name;
  std::int64_t id = 0;  // unique while the source exists
};

// Nanoseconds on CLOCK_MONOTONIC: the clock of publishAt's due times.
inline std::int64_t midiClockNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class MidiBackend {
 public:
  // Whole MIDI messages, as the bytes of one packet.
  using PacketHandler = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

  virtual ~MidiBackend() = default;

  // Creates the client, ports and virtual source and starts the input thread.
  // `onSetupChanged` is called (on any thread) when sources come or go.
  // False when the MIDI service is not there; every later call then does nothing.
  virtual bool start(PacketHandler onPacket, std::function<void()> onSetupChanged) = 0;

  // What it listens through, for the log ("the ALSA sequencer" ...).
  virtual std::string describe() { return "the MIDI service"; }
  // Why the input thread runs at normal priority (the system refused real
  // time); empty when it is real-time or there is none. Asked after start().
  virtual std::string whyInputNotRealTime() { return ""; }

  // The id of our own virtual source, so it is never taken as a keyboard.
  virtual std::optional<std::int64_t> ownSourceId() = 0;
  virtual std::vector<MidiSource> sources() = 0;
  virtual void disconnectAll() = 0;
  virtual void connect(const MidiSource& source) = 0;
  // Re-reads the destinations that sendToDestinations reaches.
  virtual void refreshDestinations() = 0;

  // Publishes one message on the virtual source.
  virtual void publish(const std::uint8_t* bytes, std::size_t size) = 0;
  // Publishes it at `due` (midiClockNow's nanoseconds), at once when that has
  // passed. Backends without a timed output publish it at once.
  virtual void publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) {
    (void)due;
    publish(bytes, size);
  }
  // Forgets every message given to publishAt that has not gone out yet.
  virtual void dropScheduled() {}
  // Sends one message to every destination (the player's piano among them).
  virtual void sendToDestinations(const std::uint8_t* bytes, std::size_t size) = 0;
};

}  // namespace orvo
