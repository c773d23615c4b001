#pragma once
// The one random source of a run. Seeded from ORVO_SEED when it is set, so a
// whole run's choices of sentence can be replayed. Thread-safe.

#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace orvo {

class Random {
 public:
  explicit Random(std::uint64_t seed) : gen_(seed) {}

  // A number in [0, n); 0 when n is not positive.
  int below(int n);

  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items.at(static_cast<std::size_t>(below(static_cast<int>(items.size()))));
  }

  // The seed given by ORVO_SEED, when it holds a number.
  static std::optional<std::uint64_t> seedFromEnvironment();
  // ORVO_SEED when set, else a fresh seed.
  static std::uint64_t chooseSeed();

 private:
  std::mutex mutex_;
  std::mt19937_64 gen_;
};

}  // namespace orvo
