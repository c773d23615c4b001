#include "platform/midi/raw/midi-stream-framer.h"
#include "matchers.h"

#include <vector>

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> frame(const Bytes& stream) {
  MidiStreamFramer framer;
  std::vector<Bytes> messages;
  for (auto byte : stream) {
    framer.feed(byte, [&](const std::uint8_t* bytes, std::size_t size) {
      messages.emplace_back(bytes, bytes + size);
    });
  }
  return messages;
}

TEST(MidiStreamFramer, CutsAStreamIntoWholeMessages) {
  // Running status as keyboards send it, with velocity-0 releases.
  EXPECT_THAT(frame({0x90, 60, 100, 62, 90, 60, 0}),
              ElementsAre(Bytes{0x90, 60, 100}, Bytes{0x90, 62, 90}, Bytes{0x90, 60, 0}));
  // A real-time byte inside a note comes out alone; the note stays whole.
  EXPECT_THAT(frame({0x90, 0xF8, 64, 0xFE, 70}),
              ElementsAre(Bytes{0xF8}, Bytes{0xFE}, Bytes{0x90, 64, 70}));
  // System exclusive is dropped, and cancels running status.
  EXPECT_THAT(frame({0x90, 60, 1, 0xF0, 0x7E, 0x01, 0xF7, 61, 2, 0x80, 61, 0}),
              ElementsAre(Bytes{0x90, 60, 1}, Bytes{0x80, 61, 0}));
  // An unterminated system exclusive ends at the next status byte.
  EXPECT_THAT(frame({0xF0, 1, 2, 3, 0xB0, 64, 127}), ElementsAre(Bytes{0xB0, 64, 127}));
  // Stray data bytes before any status are dropped; two-byte and system messages.
  EXPECT_THAT(
      frame({5, 6, 0xC0, 7, 8, 0xF3, 1, 0xF6, 0xF2, 1, 2}),
      ElementsAre(Bytes{0xC0, 7}, Bytes{0xC0, 8}, Bytes{0xF3, 1}, Bytes{0xF6}, Bytes{0xF2, 1, 2}));
  // System common messages cancel running status.
  EXPECT_THAT(frame({0x90, 60, 1, 0xF6, 61, 2}), ElementsAre(Bytes{0x90, 60, 1}, Bytes{0xF6}));
}

}  // namespace
}  // namespace orvo
