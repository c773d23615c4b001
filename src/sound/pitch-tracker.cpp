#include "sound/pitch-tracker.h"

#include <cmath>

namespace orvo::pitch {

std::vector<Frame> track(const std::vector<std::int16_t>& samples, int sampleRate, double minHz,
                         double maxHz) {
  std::vector<Frame> frames;
  if (sampleRate <= 0) return frames;
  const std::size_t window = static_cast<std::size_t>(sampleRate * 0.025);  // 25 ms integration
  const std::size_t hop = static_cast<std::size_t>(sampleRate * 0.01);      // 10 ms steps
  const std::size_t minLag = static_cast<std::size_t>(sampleRate / maxHz);
  const std::size_t maxLag = static_cast<std::size_t>(sampleRate / minHz);
  const double threshold = 0.15;
  if (samples.size() < window + maxLag + 1) return frames;

  std::vector<double> x(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) x[i] = samples[i] / 32768.0;
  std::vector<double> diff(maxLag + 2);

  for (std::size_t start = 0; start + window + maxLag + 1 < x.size(); start += hop) {
    Frame frame;
    frame.t = (static_cast<double>(start) + window / 2.0) / sampleRate;
    double energy = 0;
    for (std::size_t j = 0; j < window; ++j) energy += x[start + j] * x[start + j];
    frame.rms = std::sqrt(energy / window);

    // Difference function, then its cumulative-mean normalisation.
    double running = 0;
    diff[0] = 1.0;
    for (std::size_t lag = 1; lag <= maxLag + 1; ++lag) {
      double d = 0;
      for (std::size_t j = 0; j < window; ++j) {
        double delta = x[start + j] - x[start + j + lag];
        d += delta * delta;
      }
      running += d;
      diff[lag] = running > 0 ? d * lag / running : 1.0;
    }
    std::size_t best = 0;
    for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
      if (diff[lag] < threshold) {
        while (lag + 1 <= maxLag && diff[lag + 1] < diff[lag]) ++lag;
        best = lag;
        break;
      }
    }
    if (best > 0) {
      // Parabolic interpolation between neighbouring lags.
      double a = diff[best - 1], b = diff[best], c = diff[best + 1];
      double denominator = a - 2 * b + c;
      double shift = denominator != 0 ? 0.5 * (a - c) / denominator : 0.0;
      double period = static_cast<double>(best) + (std::abs(shift) < 1 ? shift : 0.0);
      frame.hz = sampleRate / period;
    }
    frames.push_back(frame);
  }
  return frames;
}

}  // namespace orvo::pitch
