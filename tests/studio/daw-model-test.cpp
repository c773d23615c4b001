// The studio model's values: the snapshot's tracks by index, and numbers in
// words as the assistant speaks them.

#include "studio/daw-model.h"
#include "matchers.h"

#include <cmath>
#include <limits>

namespace orvo {
namespace {

TEST(DawModel, TracksAreFoundByIndexWithTheMasterAtZero) {
  DawState state;
  DawTrack vocal;
  vocal.index = 3;
  vocal.name = "Lead vocal";
  state.tracks = {vocal};
  ASSERT_NE(state.track(0), nullptr);
  EXPECT_EQ(state.track(0)->name, "Master");
  ASSERT_NE(state.track(3), nullptr);
  EXPECT_EQ(state.track(3)->name, "Lead vocal");
  EXPECT_EQ(state.track(1), nullptr);
  EXPECT_EQ(state.track(-1), nullptr);
  // Every change of the model is one of its 21 kinds.
  EXPECT_EQ(std::variant_size_v<DawOp>, 21u);
}

TEST(DawModel, DecibelsAndPanAreSpokenInWords) {
  EXPECT_EQ(spokenDB(-6), "minus 6 decibels");
  EXPECT_EQ(spokenDB(1.25), "plus 1.3 decibels");
  EXPECT_EQ(spokenDB(-1.25), "minus 1.3 decibels");
  EXPECT_EQ(spokenDB(-0.04), "0 decibels");
  EXPECT_EQ(spokenDB(0.05), "plus 0.1 decibels");
  EXPECT_EQ(spokenDB(12), "plus 12 decibels");
  EXPECT_EQ(spokenDB(-119.96), "minus 120 decibels");
  EXPECT_EQ(spokenDB(-120), "silent");
  EXPECT_EQ(spokenDB(-std::numeric_limits<double>::infinity()), "silent");
  EXPECT_EQ(spokenDB(std::nan("")), "silent");
  EXPECT_EQ(spokenPan(0), "centre");
  EXPECT_EQ(spokenPan(-30), "30 percent left");
  EXPECT_EQ(spokenPan(100), "100 percent right");
}

}  // namespace
}  // namespace orvo
