#include "sound/mix-effects.h"

#include <cmath>

namespace orvo {
namespace {

// Freeverb's tunings at 44.1 kHz, scaled to the sample rate.
constexpr int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllpasses[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;

std::size_t scaled(int length, int sampleRate) {
  return static_cast<std::size_t>(std::max(1L, std::lround(length * sampleRate / 44100.0)));
}

}  // namespace

Reverb::Reverb(int sampleRate, Preset preset)
    : preset_(preset), feedback_(0.7f + 0.28f * preset.roomSize) {
  for (int i = 0; i < 8; ++i) {
    combsL_[static_cast<std::size_t>(i)].buffer.assign(scaled(kCombs[i], sampleRate), 0);
    combsR_[static_cast<std::size_t>(i)].buffer.assign(
        scaled(kCombs[i] + kStereoSpread, sampleRate), 0);
  }
  for (int i = 0; i < 4; ++i) {
    allpassL_[static_cast<std::size_t>(i)].buffer.assign(scaled(kAllpasses[i], sampleRate), 0);
    allpassR_[static_cast<std::size_t>(i)].buffer.assign(
        scaled(kAllpasses[i] + kStereoSpread, sampleRate), 0);
  }
}

void Reverb::process(float* left, float* right, int frames) {
  const float damp = preset_.damping * 0.4f;
  const float input = 0.015f;  // Freeverb's fixed input gain
  auto run = [&](std::array<Comb, 8>& combs, std::array<Allpass, 4>& allpasses, float in) {
    float out = 0;
    for (auto& comb : combs) {
      float delayed = comb.buffer[comb.at];
      comb.store = delayed * (1 - damp) + comb.store * damp;
      comb.buffer[comb.at] = in + comb.store * feedback_;
      if (++comb.at == comb.buffer.size()) comb.at = 0;
      out += delayed;
    }
    for (auto& allpass : allpasses) {
      float delayed = allpass.buffer[allpass.at];
      allpass.buffer[allpass.at] = out + delayed * 0.5f;
      if (++allpass.at == allpass.buffer.size()) allpass.at = 0;
      out = delayed - out;
    }
    return out;
  };
  for (int i = 0; i < frames; ++i) {
    float in = (left[i] + right[i]) * input;
    float wetL = run(combsL_, allpassL_, in);
    float wetR = run(combsR_, allpassR_, in);
    left[i] = left[i] * (1 - preset_.wet) + wetL * preset_.wet * 3.0f;
    right[i] = right[i] * (1 - preset_.wet) + wetR * preset_.wet * 3.0f;
  }
}

// Coefficients from the audio equaliser cookbook (R. Bristow-Johnson).
Biquad Biquad::highShelf(int sampleRate, double hz, double gainDB) {
  Biquad q;
  double a = std::pow(10.0, gainDB / 40.0);
  double w = 2 * M_PI * hz / sampleRate;
  double cosw = std::cos(w), alpha = std::sin(w) / 2 * std::sqrt(2.0);
  double sqrtA = std::sqrt(a);
  double a0 = (a + 1) - (a - 1) * cosw + 2 * sqrtA * alpha;
  q.b0_ = a * ((a + 1) + (a - 1) * cosw + 2 * sqrtA * alpha) / a0;
  q.b1_ = -2 * a * ((a - 1) + (a + 1) * cosw) / a0;
  q.b2_ = a * ((a + 1) + (a - 1) * cosw - 2 * sqrtA * alpha) / a0;
  q.a1_ = 2 * ((a - 1) - (a + 1) * cosw) / a0;
  q.a2_ = ((a + 1) - (a - 1) * cosw - 2 * sqrtA * alpha) / a0;
  return q;
}

Biquad Biquad::highPass(int sampleRate, double hz) {
  Biquad q;
  double w = 2 * M_PI * hz / sampleRate;
  double cosw = std::cos(w), alpha = std::sin(w) / (2 * M_SQRT1_2);
  double a0 = 1 + alpha;
  q.b0_ = (1 + cosw) / 2 / a0;
  q.b1_ = -(1 + cosw) / a0;
  q.b2_ = (1 + cosw) / 2 / a0;
  q.a1_ = -2 * cosw / a0;
  q.a2_ = (1 - alpha) / a0;
  return q;
}

void Biquad::process(float* samples, int frames) {
  for (int i = 0; i < frames; ++i) {
    double x = samples[i];
    double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    samples[i] = static_cast<float>(y);
  }
}

}  // namespace orvo
