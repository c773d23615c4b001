#include "compose/beat.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvo {

namespace {

struct Ratio {
  double ratio;
  double weight;
};
constexpr std::array<Ratio, 7> kRatios = {
    {{1.0, 1.0}, {0.5, 0.85}, {2.0, 0.85}, {0.25, 0.6}, {1.5, 0.6}, {3.0, 0.6}, {4.0, 0.6}}};
constexpr int kCandidates = 134;  // 0.33 + 0.005 i: the last is 0.995 s

// The exponents' offsets: the log of each weight, taken once.
struct Prepared {
  std::array<double, kRatios.size()> logWeight;
  std::array<double, kRatios.size()> inverse;
};
const Prepared& prepared() {
  static const Prepared table = [] {
    Prepared made{};
    for (std::size_t r = 0; r < kRatios.size(); ++r) {
      made.logWeight[r] = std::log(kRatios[r].weight);
      made.inverse[r] = 1.0 / kRatios[r].ratio;
    }
    return made;
  }();
  return table;
}

// How well one interval fits a period: the best ratio's weighted closeness.
// The winner is chosen on the exponent (exp is monotonic), so one exp is taken
// instead of seven; its value is then computed as the plain formula gives it.
double fit(double interval, double period, const Prepared& table) {
  const double x = interval / period;
  double bestKey = -1e300;
  std::size_t best = 0;
  for (std::size_t r = 0; r < kRatios.size(); ++r) {
    const double d = std::fabs(x - kRatios[r].ratio) * table.inverse[r];
    const double key = table.logWeight[r] - d * d / 0.0072;
    if (key > bestKey) {
      bestKey = key;
      best = r;
    }
  }
  const double d = std::fabs(x - kRatios[best].ratio) / kRatios[best].ratio;
  return kRatios[best].weight * std::exp(-(d * d) / 0.0072);
}

}  // namespace

std::optional<double> detectBeatRaw(const std::vector<RNote>& notes) {
  std::vector<double> onsets;
  onsets.reserve(notes.size());
  for (const RNote& note : notes) {
    if (note.cc < 0) onsets.push_back(note.t);
  }
  std::sort(onsets.begin(), onsets.end());
  std::vector<double> intervals;
  intervals.reserve(onsets.size());
  double kept = 0;
  bool any = false;
  for (double onset : onsets) {
    if (any && onset - kept <= 0.06) continue;  // a chord counts once
    if (any) {
      const double interval = onset - kept;
      if (interval > 0.08 && interval < 3.0) intervals.push_back(interval);
    }
    kept = onset;
    any = true;
  }
  if (intervals.size() < 5) return std::nullopt;

  const Prepared& table = prepared();
  double bestScore = -1;
  double bestPeriod = 0;
  for (int i = 0; i < kCandidates; ++i) {
    const double period = 0.33 + 0.005 * i;
    double score = 0;
    for (double interval : intervals) score += fit(interval, period, table);
    if (score > bestScore) {
      bestScore = score;
      bestPeriod = period;
    }
  }
  if (bestScore / static_cast<double>(intervals.size()) > 0.5) return bestPeriod;
  return std::nullopt;
}

std::optional<double> steadyBeat(const std::vector<RNote>& notes) {
  auto raw = detectBeatRaw(notes);
  if (!raw) return std::nullopt;
  if (notes.size() >= 24) {
    std::vector<RNote> sorted = notes;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const RNote& a, const RNote& b) { return a.t < b.t; });
    const auto half = static_cast<std::ptrdiff_t>(sorted.size() / 2);
    auto a = detectBeatRaw(std::vector<RNote>(sorted.begin(), sorted.begin() + half));
    auto b = detectBeatRaw(std::vector<RNote>(sorted.begin() + half, sorted.end()));
    if (!a || !b) return std::nullopt;
    const double r = std::max(*a, *b) / std::min(*a, *b);
    const bool simple = std::fabs(r - 1) < 0.08 || std::fabs(r - 2) / 2 < 0.08 ||
                        std::fabs(r - 1.5) / 1.5 < 0.08 || std::fabs(r - 3) / 3 < 0.08;
    if (!simple) return std::nullopt;
  }
  double beat = *raw;
  while (beat < 0.5) beat *= 2;
  return beat;
}

}  // namespace orvo
