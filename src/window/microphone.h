#pragma once
// The microphone through PulseAudio's simple API (PipeWire's pulse server
// serves it too): 16 kHz mono blocks of 100 ms. ORVO_MIC names a source of
// its own (an echo-cancelled one, a test's null sink monitor); otherwise the
// default source.
//
// Threads: read() blocks; one caller at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pa_simple;

namespace orvo::window {

class Microphone {
 public:
  static constexpr int kRate = 16000;
  static constexpr std::size_t kBlock = kRate / 10;  // 100 ms

  // Nothing, and why in plain words, when there is no microphone to open.
  static std::unique_ptr<Microphone> open(const std::string& source, std::string* why);
  ~Microphone();
  Microphone(const Microphone&) = delete;
  Microphone& operator=(const Microphone&) = delete;

  // The next block; false once the microphone has gone.
  bool read(std::vector<std::int16_t>& block);

 private:
  Microphone() = default;
  pa_simple* stream_ = nullptr;
};

// The level of a block: its RMS, 0 for silence and 1 for full scale.
double levelOf(const std::vector<std::int16_t>& block);

}  // namespace orvo::window
