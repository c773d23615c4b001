#include "compose/key-finding.h"

#include <algorithm>
#include <cmath>

namespace orvo {

namespace {

constexpr std::array<double, 12> kMajor = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09,
                                           2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
constexpr std::array<double, 12> kMinor = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53,
                                           2.54, 4.75, 3.98, 2.69, 3.34, 3.17};

double correlation(const std::array<double, 12>& profile, const std::array<double, 12>& weights,
                   int tonic) {
  double meanP = 0, meanW = 0;
  for (int i = 0; i < 12; ++i) {
    meanP += profile[static_cast<std::size_t>(i)];
    meanW += weights[static_cast<std::size_t>((i + tonic) % 12)];
  }
  meanP /= 12;
  meanW /= 12;
  double cross = 0, varP = 0, varW = 0;
  for (int i = 0; i < 12; ++i) {
    const double p = profile[static_cast<std::size_t>(i)] - meanP;
    const double w = weights[static_cast<std::size_t>((i + tonic) % 12)] - meanW;
    cross += p * w;
    varP += p * p;
    varW += w * w;
  }
  if (varW <= 0) return 0;
  return cross / std::sqrt(varP * varW);
}

}  // namespace

std::array<double, 24> keyScores(const std::vector<RNote>& notes) {
  std::array<double, 12> weights{};
  for (const RNote& note : notes) {
    if (note.cc >= 0) continue;
    const double length = std::max(0.0, note.end - note.t);
    weights[static_cast<std::size_t>(((note.pitch % 12) + 12) % 12)] += std::min(length, 2.0) + 0.1;
  }
  // Weights all equal: no variance, so no correlation at all.
  const bool flat =
      std::all_of(weights.begin(), weights.end(), [&](double w) { return w == weights[0]; });
  std::array<double, 24> scores{};
  if (flat) return scores;
  for (int k = 0; k < 12; ++k) {
    scores[static_cast<std::size_t>(k)] = correlation(kMajor, weights, k);
    scores[static_cast<std::size_t>(12 + k)] = correlation(kMinor, weights, k);
  }
  return scores;
}

}  // namespace orvo
