// Reading the bridge's snapshot, numbers on the wire and plug-in names for
// speech: what a broken, hostile or huge answer does to them.

#include "studio/reaper-snapshot.h"

#include "matchers.h"
#include "studio/reaper-link.h"
#include "studio/reaper-wire.h"

namespace orvo {
namespace {

TEST(ReaperSnapshot, ReadsTracksAndSkipsEveryLineThatDoesNotParse) {
  const std::string text =
      "P|playing|bar 3, beat 2|97.5\n"
      "\n"
      "0|Main out|-1.5|0|1|0|0|0|ReaLimit|1||0\n"
      "1|Lead Vocals|-6.0|-20|0|1|1|1|ReaComp;ReaEQ|1|Reverb Bus@-15.0;Odd@Name@-3.5;Plain|3\r\n"
      "2|Eleven|0.0|0|0|0|0|0|||\n"             // 11 fields: ignored
      "3|Thirteen|-2.0|5|0|0|0|0||||4|extra\n"  // 13: first 12 read
      "4|NaN|nan|0|0|0|0|0||||0\n"
      "5|Inf|inf|0|0|0|0|0||||0\n"
      "6|Huge|1e999|0|0|0|0|0||||0\n"
      "7|Empty||0|0|0|0|0||||0\n"
      "8|Pan|0.0|left|0|0|0|0||||0\n"
      "x|Index|0.0|0|0|0|0|0||||0\n"
      "9|Silent|-150.0|0|0|0|0|0|A;B;C|1||many\n"
      "0|Second master|0.0|0|0|0|0|0||||0\n";
  auto state = parseSnapshot(text);
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->transport, "playing");
  EXPECT_EQ(state->position, "bar 3, beat 2");
  EXPECT_DOUBLE_EQ(state->tempo, 97.5);
  EXPECT_EQ(state->master.name, "Master");
  EXPECT_TRUE(state->master.mute);
  EXPECT_DOUBLE_EQ(state->master.volDB, -1.5);
  ASSERT_EQ(state->tracks.size(), 3u);

  const DawTrack& vocal = state->tracks[0];
  EXPECT_EQ(vocal.pan, -20);
  EXPECT_TRUE(vocal.solo && vocal.arm && vocal.selected && !vocal.mute);
  EXPECT_EQ(vocal.fx, (std::vector<std::string>{"ReaComp", "ReaEQ"}));
  EXPECT_EQ(vocal.fxOn, (std::vector<bool>{true, false}));  // a missing entry is off
  ASSERT_EQ(vocal.sends.size(), 3u);
  EXPECT_EQ(vocal.sends[0].to, "Reverb Bus");
  EXPECT_DOUBLE_EQ(vocal.sends[0].db, -15);
  EXPECT_EQ(vocal.sends[1].to, "Odd@Name");  // split at the last "@"
  EXPECT_DOUBLE_EQ(vocal.sends[1].db, -3.5);
  EXPECT_EQ(vocal.sends[2].to, "Plain");
  EXPECT_DOUBLE_EQ(vocal.sends[2].db, 0);
  EXPECT_EQ(vocal.items, 3);

  EXPECT_EQ(state->tracks[1].name, "Thirteen");
  EXPECT_EQ(state->tracks[1].items, 4);
  EXPECT_EQ(state->tracks[2].name, "Silent");  // a silent track stays in the project
  EXPECT_EQ(state->tracks[2].items, 0);
  EXPECT_EQ(state->tracks[2].fxOn, (std::vector<bool>{true, false, false}));

  // No master line, no state; a tempo that does not parse leaves 120.
  EXPECT_FALSE(parseSnapshot("P|stopped||120.0\n1|Piano|0.0|0|0|0|0|0||||0").has_value());
  EXPECT_FALSE(parseSnapshot("").has_value());
  auto plain = parseSnapshot("P|stopped|x|fast\n0|M|0.0|0|0|0|0|0||||0");
  ASSERT_TRUE(plain.has_value());
  EXPECT_DOUBLE_EQ(plain->tempo, 120);
  EXPECT_EQ(plain->position, "x");
  EXPECT_TRUE(parseSnapshot("P|stopped\n0|M|0.0|0|0|0|0|0||||0").has_value());
}

TEST(ReaperSnapshot, AnyBytesInNamesAndTenThousandTracks) {
  std::string text = "0|M|0.0|0|0|0|0|0||||0\n";
  std::string odd("caf\xC3\xA9 \x01\xFF\x00z", 9);
  text += "1|" + odd + "|0.0|0|0|0|0|0||||0\n";
  for (int i = 2; i <= 10000; ++i)
    text += std::to_string(i) + "|T" + std::to_string(i) + "|-3.0|0|0|0|0|0|ReaEQ|1||1\n";
  auto state = parseSnapshot(text);
  ASSERT_TRUE(state.has_value());
  ASSERT_EQ(state->tracks.size(), 10000u);
  EXPECT_EQ(state->tracks[0].name, odd);
  EXPECT_EQ(state->track(10000)->name, "T10000");
}

TEST(ReaperWire, NumbersAreLocaleFreeAndShortest) {
  EXPECT_EQ(wire::number(-6), "-6.0");
  EXPECT_EQ(wire::number(120), "120.0");
  EXPECT_EQ(wire::number(0.25), "0.25");
  EXPECT_EQ(wire::number(0.1), "0.1");
  EXPECT_EQ(wire::number(-0.0), "0.0");
  EXPECT_EQ(wire::number(1e-7), "1e-07");
  EXPECT_EQ(wire::real(wire::number(0.1 + 0.2)), 0.1 + 0.2);  // round trip
  for (const char* bad : {"nan", "inf", "-inf", "1e999", "", "3 dB", " 3", "+3", "3,5"}) {
    EXPECT_FALSE(wire::real(bad).has_value()) << bad;
  }
  EXPECT_EQ(wire::integer("-30"), -30);
  EXPECT_FALSE(wire::integer("12.5").has_value());
  EXPECT_FALSE(wire::integer("99999999999").has_value());
}

TEST(ReaperNames, PlugInNamesAreTidiedForSpeech) {
  EXPECT_EQ(Reaper::spoken("VST: ReaEQ (Cockos)"), "ReaEQ, VST");
  EXPECT_EQ(Reaper::spoken("VST3i: Kontakt 8 (Native Instruments) (64 out)"), "Kontakt 8, VST3");
  EXPECT_EQ(Reaper::spoken("ReaComp (Cockos)"), "ReaComp");
  EXPECT_EQ(Reaper::spoken("JS: Saturation"), "Saturation, JS");
  EXPECT_EQ(Reaper::spoken("Odd (unbalanced"), "Odd (unbalanced");
  EXPECT_EQ(Reaper::spoken(""), "");
}

}  // namespace
}  // namespace orvo
