// Variations: backwards, upside down and the other mode.

#include "compose/variation.h"
#include "matchers.h"
#include "music-views.h"

namespace orvo {
namespace {

TEST(Variation, BackwardsMirrorsTimeAndUpsideDownMirrorsTheScale) {
  Analysis cMajor;
  cMajor.length = 4.0;
  const std::vector<RNote> take = {{0, 1, 60, 70}, {1, 1.5, 64, 80, 3}, {2, 4, 67, 90}};
  auto back = variation(0, take, cMajor);
  EXPECT_DOUBLE_EQ(back[0].t, 3.0);
  EXPECT_DOUBLE_EQ(back[0].end, 4.0);
  EXPECT_DOUBLE_EQ(back[1].t, 2.5);
  EXPECT_EQ(back[1].vel, 80);
  EXPECT_EQ(back[1].ch, 3);
  EXPECT_DOUBLE_EQ(back[2].t, 0.0);

  // Around C (the lowest): E, two steps up, becomes A below; G becomes F below.
  EXPECT_THAT(pitches(variation(1, take, cMajor)), ElementsAre(60, 57, 53));
  // A chromatic note keeps its distance below the mirrored scale note: C sharp and D sharp.
  const std::vector<RNote> chromatic = {{0, 1, 60, 70}, {1, 2, 61, 70}, {2, 3, 63, 70}};
  EXPECT_THAT(pitches(variation(1, chromatic, cMajor)), ElementsAre(60, 59, 58));
  // Extremes are folded into 24..100 by octaves.
  const std::vector<RNote> wide = {{0, 1, 20, 70}, {1, 2, 127, 70}, {2, 3, 5, 70}};
  for (int pitch : pitches(variation(1, wide, cMajor))) {
    EXPECT_GE(pitch, 24);
    EXPECT_LE(pitch, 100);
  }
  Analysis aMinor;
  aMinor.tonic = 9;
  aMinor.minor = true;
  const std::vector<RNote> minorTake = {{0, 1, 57, 70}, {1, 2, 60, 70}, {2, 3, 64, 70}};
  // Natural minor around A: C (two steps up) becomes F below, E becomes D below.
  EXPECT_THAT(pitches(variation(1, minorTake, aMinor)), ElementsAre(57, 53, 50));
}

TEST(Variation, TheOtherModeMovesOnlyItsThreeDegrees) {
  Analysis cMajor;
  const std::vector<RNote> scale = {{0, 1, 60}, {0, 1, 62}, {0, 1, 64}, {0, 1, 65},
                                    {0, 1, 67}, {0, 1, 69}, {0, 1, 71}, {0, 1, 72}};
  EXPECT_THAT(pitches(variation(2, scale, cMajor)), ElementsAre(60, 62, 63, 65, 67, 68, 70, 72));
  Analysis aMinor;
  aMinor.tonic = 9;
  aMinor.minor = true;
  const std::vector<RNote> minorScale = {{0, 1, 57}, {0, 1, 59}, {0, 1, 60}, {0, 1, 62},
                                         {0, 1, 64}, {0, 1, 65}, {0, 1, 67}, {0, 1, 69}};
  EXPECT_THAT(pitches(variation(2, minorScale, aMinor)),
              ElementsAre(57, 59, 61, 62, 64, 66, 68, 69));
}

}  // namespace
}  // namespace orvo
