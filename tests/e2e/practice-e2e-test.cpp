// The metronome through the real binary, on FIFOs.

#include <algorithm>

#include "e2e/fifo-piano.h"
#include "matchers.h"

namespace orvo::testing {
namespace {

TEST(PracticeSession, TheMetronomeAt120ClicksEveryHalfSecondOnTheMidiOutput) {
  PianoSession s;
  ASSERT_TRUE(s.ready());
  s.orvo.write("~metronome 120\n");
  ASSERT_TRUE(s.orvo.waitFor("Metronome at 120."));
  Keyboard::wait(2.3);
  s.orvo.write("~metronome off\n");
  ASSERT_TRUE(s.orvo.waitFor("Metronome off."));
  Keyboard::wait(0.2);  // the last click's release, sent as it stopped, still on its way
  std::vector<MidiOut::Message> clicks;
  int offs = 0;
  for (const auto& m : s.out.since(0)) {
    if (m.status == 0x99) clicks.push_back(m);
    offs += m.status == 0x89;
  }
  ASSERT_GE(clicks.size(), 4u);
  EXPECT_EQ(clicks[0].key, 76);
  EXPECT_EQ(clicks[1].key, 77);
  if (clicks.size() > 4) {
    EXPECT_EQ(clicks[4].key, 76);
  }
  // The grid is read from the clicks themselves: each click's offset from
  // k half seconds, and the middle offset as where the beats fall. The first
  // click also starts the metronome's clock, so it alone may be a few ms late
  // on a busy machine; the middle offset is not moved by one late click.
  std::vector<double> offsets;
  for (std::size_t k = 0; k < clicks.size(); ++k)
    offsets.push_back(clicks[k].at - 0.5 * static_cast<double>(k));
  std::vector<double> sorted = offsets;
  std::sort(sorted.begin(), sorted.end());
  const double grid = sorted[sorted.size() / 2];
  for (std::size_t k = 0; k < clicks.size(); ++k) {
    EXPECT_NEAR(offsets[k], grid, 0.03) << "beat " << k;
    EXPECT_GE(offsets[k], grid - 0.005 * (ORVO_SANITIZED ? 3 : 1)) << "beat " << k << " early";
    if (k > 0) {
      EXPECT_GT(clicks[k].at, clicks[k - 1].at) << "beat " << k << " in its order";
    }
  }
  EXPECT_EQ(offs, static_cast<int>(clicks.size()));  // none left sounding
  EXPECT_EQ(s.orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
