// A long piece cut into stretches measured side by side: where each stretch's
// render must begin, and that the measure adds up to the one-graph measure.

#include "sound/measuring-stretches.h"

#include "matchers.h"
#include "sound/sounds.h"

namespace orvo {
namespace {

Ev pedal(double t, bool down) {
  return {t, {0xB0, 64, static_cast<std::uint8_t>(down ? 127 : 0)}};
}

std::vector<Ev> sorted(std::vector<Ev> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const Ev& a, const Ev& b) { return a.t < b.t; });
  return events;
}

TEST(MeasuringStretches, EachRenderBeginsWithTheNotesStillSoundingAtItsStart) {
  struct Case {
    const char* what;
    std::vector<Ev> events;
    double secondStartsRendering;  // of the stretch from 40 s, of four over 160 s
  };
  std::vector<Ev> held, kept, ended, twice;
  addNote(held, 5.0, 0, 60, 90, 40.0);  // 5 s to 45 s
  addNote(kept, 12.0, 0, 64, 90, 3.0);  // released at 15 s with the pedal still down
  kept.push_back(pedal(2.0, true));
  kept.push_back(pedal(50.0, false));
  addNote(ended, 12.0, 0, 64, 90, 3.0);  // the pedal let go before the stretch
  ended.push_back(pedal(2.0, true));
  ended.push_back(pedal(20.0, false));
  addNote(twice, 8.0, 1, 40, 90, 40.0);  // the same key struck again while held
  addNote(twice, 25.0, 1, 40, 90, 2.0);
  const std::vector<Case> cases = {
      {"nothing sounding: the reverb's time before it", {}, 30.0},
      {"a note held across the start", held, 5.0},
      {"a note kept by the pedal", kept, 12.0},
      {"a note the pedal let go", ended, 30.0},
      {"a key struck twice: the second release ends both", twice, 30.0},
  };
  for (const Case& c : cases) {
    const auto stretches = measuringStretches(sorted(c.events), 160.0, 4);
    ASSERT_EQ(stretches.size(), 4u) << c.what;
    EXPECT_EQ(stretches[0].renderFrom, 0.0) << c.what;
    EXPECT_EQ(stretches[1].renderFrom, c.secondStartsRendering) << c.what;
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(stretches[i].countFrom, 40.0 * i) << c.what;
      EXPECT_EQ(stretches[i].until, 40.0 * (i + 1)) << c.what;
    }
  }
  EXPECT_EQ(measuringStretches({}, 59.0, 4).size(), 1u) << "too short to split";
  EXPECT_EQ(measuringStretches({}, 600.0, 1).size(), 1u) << "one core";
}

// Chords at times off FluidSynth's block grid, notes held and kept by the
// pedal across the stretches' starts, and a level set at the start: measured
// in four stretches it comes out as measured in one.
TEST(MeasuringStretches, FourStretchesMeasureWhatOneGraphMeasures) {
  const std::string bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!std::filesystem::exists(bank)) GTEST_SKIP() << "no General MIDI bank installed";
  std::vector<Ev> piece = {{0.3, {0xB0, 7, 60}}, pedal(17.0, true), pedal(23.0, false)};
  for (int bar = 0; bar < 38; ++bar) {
    const double t = 2.0 * bar + 0.0137 * (bar % 7);
    for (int key : {48, 55, 60, 64, 67}) addNote(piece, t + 0.003 * key, 0, key, 110, 1.7);
    addNote(piece, t, 1, 36 + bar % 5, 120, 1.9);
  }
  // The loudest moment, in the last stretch: attacks a millisecond apart, which
  // a render on another grid would group otherwise.
  for (int i = 0; i < 12; ++i) addNote(piece, 70.0013 + 0.001 * i, i % 2, 48 + 2 * i, 127, 1.0);
  addNote(piece, 18.5, 0, 84, 127, 0.5);  // kept by the pedal past 20 s
  addNote(piece, 3.0, 2, 52, 127, 55.0);  // held past two starts
  const auto one = Sounds::measure(bank, false, 6.0, piece, 80.0, 1);
  const auto four = Sounds::measure(bank, false, 6.0, piece, 80.0, 4);
  ASSERT_TRUE(one && four);
  EXPECT_GT(one->sumOverPercent, 0.0) << "loud enough for the limit to work";
  EXPECT_NEAR(four->peak, one->peak, 1e-4);
  EXPECT_NEAR(four->sumPeak, one->sumPeak, 1e-4 * one->sumPeak);
  EXPECT_NEAR(four->clippedPercent, one->clippedPercent, 0.01);
  EXPECT_NEAR(four->sumOverPercent, one->sumOverPercent, 0.01);
  EXPECT_NEAR(four->limitedPercent, one->limitedPercent, 0.01);
}

}  // namespace
}  // namespace orvo
