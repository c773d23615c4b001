#include "window/microphone.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>

namespace orvo::window {

std::unique_ptr<Microphone> Microphone::open(const std::string& source, std::string* why) {
  pa_sample_spec sample{};
  sample.format = PA_SAMPLE_S16LE;
  sample.rate = kRate;
  sample.channels = 1;
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(kBlock * sizeof(std::int16_t));
  int error = 0;
  pa_simple* stream =
      pa_simple_new(nullptr, "Orvo", PA_STREAM_RECORD, source.empty() ? nullptr : source.c_str(),
                    "listening for its name", &sample, nullptr, &attributes, &error);
  if (!stream) {
    if (why) {
      *why = std::string("I can't hear the microphone (") + pa_strerror(error) +
             "). Check that one is plugged in and the sound server is running.";
    }
    return nullptr;
  }
  std::unique_ptr<Microphone> microphone(new Microphone);
  microphone->stream_ = stream;
  return microphone;
}

Microphone::~Microphone() {
  if (stream_) pa_simple_free(stream_);
}

bool Microphone::read(std::vector<std::int16_t>& block) {
  block.resize(kBlock);
  int error = 0;
  return pa_simple_read(stream_, block.data(), block.size() * sizeof(std::int16_t), &error) >= 0;
}

double levelOf(const std::vector<std::int16_t>& block) {
  if (block.empty()) return 0;
  double sum = 0;
  for (std::int16_t sample : block) sum += static_cast<double>(sample) * sample;
  return std::sqrt(sum / static_cast<double>(block.size())) / 32768.0;
}

}  // namespace orvo::window
