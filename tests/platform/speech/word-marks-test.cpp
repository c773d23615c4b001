#include "platform/speech/word-marks.h"
#include "matchers.h"

namespace orvo {
namespace {

// espeak-ng drops the mark after a full stop: the word still gets its line.
TEST(WordMarks, EveryWordIsToldOnceEvenWhenMarksAreSkippedOrLost) {
  WordMarks marks("Hello. I'm Orvo, your teacher.");
  EXPECT_THAT(marks.reach(0), ElementsAre("Hello."));
  EXPECT_THAT(marks.reach(2), ElementsAre("I'm", "Orvo,"));
  EXPECT_THAT(marks.reach(1), IsEmpty());  // a late mark tells nothing twice
  EXPECT_THAT(marks.rest(), ElementsAre("your", "teacher."));
  EXPECT_THAT(marks.rest(), IsEmpty());
  EXPECT_THAT(marks.reach(99), IsEmpty());
  EXPECT_THAT(WordMarks("  ").rest(), IsEmpty());
}

TEST(WordMarks, WhatIsLeftRepeatsTheWordItBrokeOffOn) {
  EXPECT_EQ(wordsFrom("Play the scale of C.", 0), "Play the scale of C.");
  EXPECT_EQ(wordsFrom("Play the scale of C.", 1), "Play the scale of C.");
  EXPECT_EQ(wordsFrom("Play the scale of C.", 3), "scale of C.");
  EXPECT_EQ(wordsFrom("Play the scale of C.", 9), "");
}

}  // namespace
}  // namespace orvo
