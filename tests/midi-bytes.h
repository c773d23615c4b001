#pragma once
// Standard MIDI Files written byte by byte, for tests that read them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orvo::testing {

using Bytes = std::vector<std::uint8_t>;

inline void append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

inline Bytes header(int format, int tracks, int division) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  append(out, {0, format, tracks >> 8, tracks & 0xFF, division >> 8, division & 0xFF});
  return out;
}

// A track chunk around the given event bytes (deltas included by the caller).
inline Bytes chunk(const Bytes& events) {
  Bytes out = {'M', 'T', 'r', 'k'};
  auto n = events.size();
  append(out, {static_cast<int>(n >> 24), static_cast<int>((n >> 16) & 0xFF),
               static_cast<int>((n >> 8) & 0xFF), static_cast<int>(n & 0xFF)});
  out.insert(out.end(), events.begin(), events.end());
  return out;
}

inline Bytes trackName(const std::string& name) {
  Bytes out = {0, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())};
  out.insert(out.end(), name.begin(), name.end());
  return out;
}

inline Bytes file(Bytes head, std::initializer_list<Bytes> chunks) {
  for (const auto& c : chunks) head.insert(head.end(), c.begin(), c.end());
  return head;
}

}  // namespace orvo::testing
