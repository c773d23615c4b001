#include "sound/voice-meter.h"
#include "platform/window-lines.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace orvo {
namespace {

std::mutex planMutex;  // FFTW's planner is not thread-safe; executing a plan is

}  // namespace

VoiceMeter::VoiceMeter(Runtime& runtime, std::function<void(const std::string&)> ui)
    : queue_(runtime.serial("lorimel.meter")), ui_(std::move(ui)) {}

void VoiceMeter::measure(const std::string& text, int wordsPerMinute) {
  queue_.post([this, text, wordsPerMinute] {
    if (auto speech = espeak::render(text, wordsPerMinute)) send(*speech);
  });
}

void VoiceMeter::measure(RenderedSpeech speech) {
  queue_.post([this, speech = std::move(speech)] { send(speech); });
}

void VoiceMeter::measure(const VoiceWav& wav) {
  RenderedSpeech speech;
  speech.sampleRate = wav.rate;
  speech.samples.reserve(wav.samples.size());
  for (float sample : wav.samples)
    speech.samples.push_back(static_cast<std::int16_t>(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
  measure(std::move(speech));
}

void VoiceMeter::send(const RenderedSpeech& speech) {
  int id = ++id_;
  ui_(lines::meterHead(id, static_cast<double>(frameSize) / speech.sampleRate));
  std::string line = lines::meterFrames(id);
  auto frames = bandLevels(speech.samples, speech.sampleRate);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    if (f) line += ';';
    for (int b = 0; b < bands; ++b) {
      if (b) line += ',';
      line += std::to_string(frames[f][static_cast<std::size_t>(b)]);
    }
  }
  ui_(line);
}

std::vector<VoiceMeter::Frame> VoiceMeter::bandLevels(const std::vector<std::int16_t>& samples,
                                                      int sampleRate) {
  std::vector<Frame> frames;
  if (sampleRate <= 0 || samples.size() < static_cast<std::size_t>(frameSize)) return frames;

  std::vector<float> window(frameSize);
  for (int i = 0; i < frameSize; ++i) {
    window[static_cast<std::size_t>(i)] =
        0.5f - 0.5f * std::cos(2.0f * static_cast<float>(M_PI) * static_cast<float>(i) / frameSize);
  }
  float windowSum = 0;
  for (float w : window) windowSum += w;
  for (float& w : window) w /= windowSum;  // a full-scale sine peaks at 0.5 in any frame size

  // Band edges spread evenly on a log scale over the voice's range.
  const double low = 100.0, high = std::min(8000.0, sampleRate / 2.0);
  std::array<int, bands + 1> edges{};
  const int bins = frameSize / 2 + 1;
  for (int b = 0; b <= bands; ++b) {
    double hz = low * std::pow(high / low, static_cast<double>(b) / bands);
    edges[static_cast<std::size_t>(b)] =
        std::clamp(static_cast<int>(std::lround(hz * frameSize / sampleRate)), 1, bins - 1);
  }

  float* input = fftwf_alloc_real(frameSize);
  fftwf_complex* output = fftwf_alloc_complex(static_cast<std::size_t>(bins));
  fftwf_plan plan;
  {
    std::lock_guard guard(planMutex);
    plan = fftwf_plan_dft_r2c_1d(frameSize, input, output, FFTW_ESTIMATE);
  }
  for (std::size_t start = 0; start + frameSize <= samples.size(); start += frameSize) {
    for (int i = 0; i < frameSize; ++i) {
      input[i] = static_cast<float>(samples[start + static_cast<std::size_t>(i)]) / 32768.0f *
                 window[static_cast<std::size_t>(i)];
    }
    fftwf_execute(plan);
    Frame frame{};
    for (int b = 0; b < bands; ++b) {
      int from = edges[static_cast<std::size_t>(b)];
      int to = std::max(from + 1, edges[static_cast<std::size_t>(b) + 1]);
      double sum = 0;
      for (int k = from; k < to && k < bins; ++k) sum += std::hypot(output[k][0], output[k][1]);
      double level = sum / (to - from) * 2.0;  // 1.0 for a full-scale sine
      double db = 20.0 * std::log10(level + 1e-9);
      frame[static_cast<std::size_t>(b)] =
          std::clamp(static_cast<int>(std::lround((db + 60.0) * 100.0 / 60.0)), 0, 100);
    }
    frames.push_back(frame);
  }
  {
    std::lock_guard guard(planMutex);
    fftwf_destroy_plan(plan);
  }
  fftwf_free(input);
  fftwf_free(output);
  return frames;
}

}  // namespace orvo
