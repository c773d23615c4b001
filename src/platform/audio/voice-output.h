#pragma once
// The natural voice's own output stream: mono 16-bit samples written in
// short blocks, each write waiting as playback does, so a stop between two
// blocks silences the voice within one block.
//
// Threads: one playing thread writes; latency() may be asked from it too.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace orvo {

class VoiceOutput {
 public:
  virtual ~VoiceOutput() = default;
  // False when the stream broke (the sound server went away).
  virtual bool write(const std::int16_t* samples, std::size_t count) = 0;
  // Seconds between a write and its sound reaching the ear.
  virtual double latency() = 0;
  // Waits until what was written has played.
  virtual void drain() = 0;
};

// A PulseAudio stream (PipeWire serves it too) on the output named `device`
// (the server's own name for it; empty: its default); nothing without a
// server, or when that output is not there. A stream on a named output stays
// there: when the output goes, writes fail rather than move elsewhere.
std::unique_ptr<VoiceOutput> openPulseVoiceOutput(int rate, const std::string& name,
                                                  const std::string& device = "");
// ALSA's default device, where no sound server runs; nothing without one.
std::unique_ptr<VoiceOutput> openAlsaVoiceOutput(int rate);
// Raw little-endian samples appended to `path`, written at the pace of
// playback: tests and the sound check hear the voice this way.
std::unique_ptr<VoiceOutput> openFileVoiceOutput(const std::filesystem::path& path, int rate);
// ORVO_VOICE_OUT's file when it is set; else, with a `device`, PulseAudio on
// that output or nothing; else PulseAudio's default output, else ALSA's;
// nothing when none opens.
std::unique_ptr<VoiceOutput> openVoiceOutput(int rate, const std::string& device = "");

}  // namespace orvo
