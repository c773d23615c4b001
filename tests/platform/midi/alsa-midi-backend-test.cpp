#include "platform/midi/alsa/alsa-midi-backend.h"

#include <gmock/gmock.h>

namespace orvo {
namespace {

TEST(AlsaMidiBackend, WithoutASequencerItSaysSoAndDoesNothing) {
  if (AlsaMidiBackend::present()) GTEST_SKIP() << "this machine has /dev/snd/seq";
  AlsaMidiBackend backend;
  EXPECT_FALSE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  EXPECT_TRUE(backend.sources().empty());
  EXPECT_FALSE(backend.ownSourceId());
  std::uint8_t note[] = {0x90, 60, 100};
  backend.publish(note, 3);
  backend.sendToDestinations(note, 3);
}

TEST(AlsaMidiBackend, CreatesItsPortsAndNeverListsItself) {
  if (!AlsaMidiBackend::present()) {
    GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing)";
  }
  AlsaMidiBackend backend;
  ASSERT_TRUE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  auto own = backend.ownSourceId();
  ASSERT_TRUE(own);
  for (const auto& source : backend.sources()) {
    EXPECT_NE(source.id, *own);
    EXPECT_EQ(source.name.find("Midi Through"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvo
