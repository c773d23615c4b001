// The music down while Orvo talks, on a virtual clock: down as a sentence
// begins, kept down through a run of sentences, up once the last has ended,
// and never touched when the player does not want it.
#include "sound/music-ducking.h"

#include "doubles/virtual-runtime.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(MusicDucking, DownForARunOfSentencesUpAfterTheLastAndOnlyWhenWanted) {
  VirtualRuntime runtime;
  bool wanted = true;
  std::vector<bool> changes;
  MusicDucking ducking({.runtime = runtime,
                        .wanted = [&] { return wanted; },
                        .setDuck = [&](bool on) { changes.push_back(on); }});
  ducking.talking(true);
  ducking.talking(false);
  runtime.advance(0.2);
  ducking.talking(true);  // the next sentence of the same answer
  ducking.talking(false);
  runtime.advance(0.2);
  EXPECT_THAT(changes, ElementsAre(true)) << "no pumping between sentences";
  runtime.advance(MusicDucking::kHoldSeconds);
  EXPECT_THAT(changes, ElementsAre(true, false));

  // Nested: up only once the outer sentence ends.
  changes.clear();
  ducking.talking(true);
  ducking.talking(true);
  ducking.talking(false);
  runtime.advance(1.0);
  EXPECT_THAT(changes, ElementsAre(true));
  ducking.talking(false);
  runtime.advance(1.0);
  EXPECT_THAT(changes, ElementsAre(true, false));

  // Turned off by the player: the music is left alone, and a change of mind
  // while down brings it up with the next sentence.
  changes.clear();
  wanted = false;
  ducking.talking(true);
  ducking.talking(false);
  runtime.advance(1.0);
  EXPECT_TRUE(changes.empty());
  wanted = true;
  ducking.talking(true);
  wanted = false;
  ducking.talking(true);
  EXPECT_THAT(changes, ElementsAre(true, false));
}

}  // namespace
}  // namespace orvo
