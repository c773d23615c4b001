#include "engine/sequence-player.h"

#include "doubles/virtual-runtime.h"
#include "matchers.h"

namespace orvo {
namespace {

// What went out, as "time status key velocity", on the virtual clock.
struct PlayedOut {
  VirtualRuntime runtime{1, 0.0};
  std::vector<std::string> sent;
  SequencePlayer player{runtime, [this](const std::uint8_t* bytes, std::size_t) {
                          sent.push_back(std::to_string(runtime.now()).substr(0, 4) + " " +
                                         std::to_string(bytes[0]) + " " + std::to_string(bytes[1]) +
                                         " " + std::to_string(bytes[2]));
                        }};
};

std::vector<Ev> twoNotes() {
  // C held over the end of the sequence, E played and let go.
  return {{0.0, {0x90, 60, 80}}, {0.5, {0x90, 64, 70}}, {1.0, {0x80, 64, 0}}};
}

TEST(SequencePlayer, PlaysOnTimeAndLetsGoOfWhatItLeftSoundingWhenItEndsOrIsCut) {
  PlayedOut out;
  const auto first = out.player.start(twoNotes(), {});
  out.runtime.advance(0.6);
  EXPECT_FALSE(out.player.finished(first));
  out.runtime.advance(1.0);
  EXPECT_TRUE(out.player.finished(first));
  EXPECT_THAT(out.sent,
              ElementsAre("0.00 144 60 80", "0.50 144 64 70", "1.00 128 64 0", "1.00 128 60 0"));

  // A newer sequence cuts the older off at once; stop() of the older is then nothing.
  out.sent.clear();
  const auto older = out.player.start(twoNotes(), {});
  out.runtime.advance(0.2);
  const auto newer = out.player.start({{0.0, {0x90, 67, 90}}}, {});
  out.player.stop(older);
  out.runtime.advance(0.0);
  EXPECT_TRUE(out.player.finished(older));
  EXPECT_THAT(out.sent,
              ElementsAre("1.60 144 60 80", "1.80 128 60 0", "1.80 144 67 90", "1.80 128 67 0"));
  EXPECT_TRUE(out.player.finished(newer));

  // Stopped part way: what sounds is let go, and nothing more is sent.
  out.sent.clear();
  const auto stopped = out.player.start(twoNotes(), {});
  out.runtime.advance(0.1);
  out.player.stop(stopped);
  out.runtime.advance(2.0);
  EXPECT_THAT(out.sent, ElementsAre("1.80 144 60 80", "1.90 128 60 0"));
}

// The activity that played it is no longer the current one: the very next
// message is not sent, as a press that stopped everything must silence it.
TEST(SequencePlayer, NothingIsSentOnceItsActivityIsNoLongerAlive) {
  PlayedOut out;
  bool alive = true;
  const auto sequence = out.player.start(twoNotes(), [&] { return alive; });
  out.runtime.advance(0.3);
  alive = false;
  out.runtime.advance(2.0);
  EXPECT_TRUE(out.player.finished(sequence));
  EXPECT_THAT(out.sent, ElementsAre("0.00 144 60 80", "0.50 128 60 0"));
}

}  // namespace
}  // namespace orvo
