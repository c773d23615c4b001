#include "studio/reaper-wire.h"

#include <charconv>
#include <cmath>

namespace orvo::wire {

std::string number(double value) {
  if (!std::isfinite(value)) value = 0;
  if (value == 0) value = 0;  // no "-0.0"
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  if (error != std::errc()) return "0.0";
  std::string out(text, end);
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

std::optional<double> real(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> integer(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace orvo::wire
