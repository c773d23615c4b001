#include "platform/random.h"

#include <cstdlib>

namespace orvo {

int Random::below(int n) {
  if (n <= 0) return 0;
  std::lock_guard guard(mutex_);
  std::uniform_int_distribution<int> dist(0, n - 1);
  return dist(gen_);
}

std::optional<std::uint64_t> Random::seedFromEnvironment() {
  const char* text = std::getenv("ORVO_SEED");
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') return std::nullopt;
  return static_cast<std::uint64_t>(value);
}

std::uint64_t Random::chooseSeed() {
  if (auto seed = seedFromEnvironment()) return *seed;
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace orvo
