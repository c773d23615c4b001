#include "sound/mix-effects.h"

#include <algorithm>
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

namespace {

// Four combs of one side over `count` samples, each adding what comes out of
// its line to `out`. Four at once keep the processor busy while each comb's
// damping waits on its previous sample. No comb reaches the end of its line
// inside the stretch: the caller stops there.
void combStretch(std::array<Reverb::Comb*, 4> combs, const float* in, float* out, std::size_t count,
                 float damp, float feedback) {
  float* d0 = combs[0]->buffer.data() + combs[0]->at;
  float* d1 = combs[1]->buffer.data() + combs[1]->at;
  float* d2 = combs[2]->buffer.data() + combs[2]->at;
  float* d3 = combs[3]->buffer.data() + combs[3]->at;
  float s0 = combs[0]->store, s1 = combs[1]->store, s2 = combs[2]->store, s3 = combs[3]->store;
  const float keep = 1 - damp;
  for (std::size_t i = 0; i < count; ++i) {
    const float x = in[i];
    const float a0 = d0[i], a1 = d1[i], a2 = d2[i], a3 = d3[i];
    s0 = a0 * keep + s0 * damp;
    s1 = a1 * keep + s1 * damp;
    s2 = a2 * keep + s2 * damp;
    s3 = a3 * keep + s3 * damp;
    d0[i] = x + s0 * feedback;
    d1[i] = x + s1 * feedback;
    d2[i] = x + s2 * feedback;
    d3[i] = x + s3 * feedback;
    out[i] = (((out[i] + a0) + a1) + a2) + a3;
  }
  combs[0]->store = s0;
  combs[1]->store = s1;
  combs[2]->store = s2;
  combs[3]->store = s3;
}

// Runs `stretch(offset, count)` over `frames` samples in stretches that end
// where one of the lines reaches its end, then moves the lines on (wrapping).
template <typename Line, std::size_t N, typename Stretch>
void throughLines(std::array<Line*, N> lines, std::size_t frames, Stretch stretch) {
  for (std::size_t done = 0; done < frames;) {
    std::size_t count = frames - done;
    for (Line* line : lines) count = std::min(count, line->buffer.size() - line->at);
    stretch(done, count);
    for (Line* line : lines) {
      line->at += count;
      if (line->at == line->buffer.size()) line->at = 0;
    }
    done += count;
  }
}

}  // namespace

void Reverb::side(std::array<Comb, 8>& combs, std::array<Allpass, 4>& allpasses, const float* in,
                  float* out, std::size_t frames) {
  const float damp = preset_.damping * 0.4f;
  std::fill(out, out + frames, 0.0f);
  for (std::size_t first : {0u, 4u}) {
    std::array<Comb*, 4> four{&combs[first], &combs[first + 1], &combs[first + 2],
                              &combs[first + 3]};
    throughLines(four, frames, [&](std::size_t offset, std::size_t count) {
      combStretch(four, in + offset, out + offset, count, damp, feedback_);
    });
  }
  for (auto& allpass : allpasses) {
    throughLines(std::array<Allpass*, 1>{&allpass}, frames,
                 [&](std::size_t offset, std::size_t count) {
                   float* line = allpass.buffer.data() + allpass.at;
                   float* o = out + offset;
                   for (std::size_t i = 0; i < count; ++i) {
                     const float delayed = line[i];
                     line[i] = o[i] + delayed * 0.5f;
                     o[i] = delayed - o[i];
                   }
                 });
  }
}

void Reverb::process(float* left, float* right, int frames) {
  // Each line runs over a stretch of samples at a time rather than all lines
  // sample by sample: the same arithmetic in the same order, so the same sound.
  constexpr std::size_t kStretch = 256;
  const float input = 0.015f;  // Freeverb's fixed input gain
  const float wet = preset_.wet;
  float in[kStretch], wetL[kStretch], wetR[kStretch];
  for (std::size_t from = 0; from < static_cast<std::size_t>(frames); from += kStretch) {
    const std::size_t count = std::min(kStretch, static_cast<std::size_t>(frames) - from);
    float* l = left + from;
    float* r = right + from;
    for (std::size_t i = 0; i < count; ++i) in[i] = (l[i] + r[i]) * input;
    side(combsL_, allpassL_, in, wetL, count);
    side(combsR_, allpassR_, in, wetR, count);
    for (std::size_t i = 0; i < count; ++i) {
      l[i] = l[i] * (1 - wet) + wetL[i] * wet * 3.0f;
      r[i] = r[i] * (1 - wet) + wetR[i] * wet * 3.0f;
    }
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

double Biquad::step(double x) {
  double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
  x2_ = x1_;
  x1_ = x;
  y2_ = y1_;
  y1_ = y;
  return y;
}

void Biquad::process(float* samples, int frames) {
  for (int i = 0; i < frames; ++i) samples[i] = static_cast<float>(step(samples[i]));
}

void Biquad::processStereoChain(std::array<Biquad, 2>& first, std::array<Biquad, 2>& second,
                                float* left, float* right, int frames) {
  // Copies in locals, so the four stay in registers and run side by side.
  Biquad firstL = first[0], firstR = first[1], secondL = second[0], secondR = second[1];
  for (int i = 0; i < frames; ++i) {
    left[i] = static_cast<float>(secondL.step(static_cast<float>(firstL.step(left[i]))));
    right[i] = static_cast<float>(secondR.step(static_cast<float>(firstR.step(right[i]))));
  }
  first = {firstL, firstR};
  second = {secondL, secondR};
}

}  // namespace orvo
