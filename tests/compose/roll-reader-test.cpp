// A MIDI file as the piano roll reads it: every channel, the tempo map, the
// sustain pedal, track numbers; and the roll lines the window is sent.

#include "compose/roll-reader.h"

#include "matchers.h"
#include "rooms/compose/piano-roll.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A track chunk from (delta, message bytes) events, ended properly.
Bytes chunk(const std::vector<std::pair<int, Bytes>>& events) {
  Bytes body;
  for (const auto& [delta, message] : events) {
    // Deltas here stay below 16,384.
    if (delta >= 128) body.push_back(static_cast<std::uint8_t>(0x80 | (delta >> 7)));
    body.push_back(static_cast<std::uint8_t>(delta & 0x7F));
    body.insert(body.end(), message.begin(), message.end());
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes out = {'M', 'T', 'r', 'k'};
  const auto size = static_cast<std::uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(size >> shift));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes file(const std::vector<Bytes>& chunks, int format = 1) {
  Bytes out = {'M',  'T',
               'h',  'd',
               0,    0,
               0,    6,
               0,    static_cast<std::uint8_t>(format),
               0,    static_cast<std::uint8_t>(chunks.size()),
               0x01, 0xE0};
  for (const Bytes& each : chunks) out.insert(out.end(), each.begin(), each.end());
  return out;
}

std::vector<RollNote> roll(const Bytes& bytes) {
  auto notes = readMIDIForRoll(bytes.data(), bytes.size());
  EXPECT_TRUE(notes);
  return notes.value_or(std::vector<RollNote>{});
}

TEST(RollReader, NotesFollowTheTempoMapOnEveryChannelWithTheirTrack) {
  const Bytes tempo = chunk({{0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},      // 500,000 us
                             {960, {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}}});  // 250,000 us
  const Bytes piano = chunk({{0, {0x90, 60, 90}},
                             {480, {0x80, 60, 0}},
                             {960, {0x90, 64, 70}},
                             {480, {0x90, 64, 0}}});  // a note-on of velocity 0 ends it
  const Bytes drums = chunk({{0, {0x99, 36, 100}}, {120, {0x89, 36, 0}}});
  auto notes = roll(file({tempo, piano, drums}));
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].track, 1);
  EXPECT_DOUBLE_EQ(notes[0].dur, 0.5);
  EXPECT_EQ(notes[1].pitch, 36);
  EXPECT_EQ(notes[1].ch, 9);
  EXPECT_EQ(notes[1].track, 2);
  EXPECT_DOUBLE_EQ(notes[1].dur, 0.125);
  // Tick 1,440: one second at the first tempo, then 480 ticks at the second.
  EXPECT_DOUBLE_EQ(notes[2].t, 1.25);
  EXPECT_DOUBLE_EQ(notes[2].dur, 0.25);
  EXPECT_EQ(notes[2].vel, 70);
}

TEST(RollReader, TheSustainPedalHoldsReleasedNotesUntilItComesUp) {
  const Bytes piano = chunk({{0, {0xB0, 64, 127}},
                             {0, {0x90, 60, 80}},
                             {240, {0x80, 60, 0}},  // released under the pedal
                             {0, {0x90, 62, 80}},
                             {100, {0x80, 62, 0}},
                             {100, {0x90, 62, 81}},  // struck again: the first one ends here
                             {100, {0x80, 62, 0}},
                             {420, {0xB0, 64, 0}},  // pedal up at tick 960
                             {0, {0x91, 50, 60}},   // another channel: no pedal of its own
                             {480, {0x81, 50, 0}}});
  auto notes = roll(file({piano}, 0));
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].pitch, 60);
  EXPECT_DOUBLE_EQ(notes[0].dur, 1.0);
  EXPECT_EQ(notes[1].pitch, 62);
  EXPECT_DOUBLE_EQ(notes[1].dur, 200 / 960.0);
  EXPECT_EQ(notes[2].vel, 81);
  EXPECT_DOUBLE_EQ(notes[2].t + notes[2].dur, 1.0);
  EXPECT_DOUBLE_EQ(notes[3].dur, 0.5);
}

TEST(RollReader, BrokenFilesGiveNothingOrWhatCouldBeRead) {
  const Bytes garbage = {'M', 'T', 'h', 'd', 1, 2, 3};
  EXPECT_FALSE(readMIDIForRoll(garbage.data(), garbage.size()));
  Bytes whole = file({chunk(
      {{0, {0x90, 60, 90}}, {480, {0x80, 60, 0}}, {0, {0x90, 62, 90}}, {480, {0x80, 62, 0}}})});
  Bytes cut(whole.begin(), whole.end() - 8);
  auto notes = readMIDIForRoll(cut.data(), cut.size());
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->size(), 2u);  // the second note ends with the chunk
  EXPECT_FALSE(readMIDIForRoll(std::filesystem::path("/nonexistent.mid")));
  EXPECT_FALSE(readMIDIForRoll(std::filesystem::path("/tmp")));
}

TEST(RollLines, AHugeFileIsSentInLinesOfAtMostSixteenKilobytes) {
  std::vector<RollNote> notes;
  for (int i = 0; i < 3000; ++i) notes.push_back({i * 0.1, 0.25, 40 + i % 40, 90, i % 3, 0});
  auto lines = PianoRoll::rollLines(notes);
  ASSERT_GT(lines.size(), 3u);
  std::string records;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string head = i == 0 ? "rollnew " : "rolln ";
    ASSERT_EQ(lines[i].rfind(head, 0), 0u) << i;
    EXPECT_LE(lines[i].size(), PianoRoll::maxLineBytes);
    EXPECT_EQ(lines[i].back(), ';');
    records += lines[i].substr(head.size());
  }
  std::string expected;
  for (const RollNote& note : notes) appendRollRecord(expected, note);
  EXPECT_EQ(records, expected);
  EXPECT_EQ(PianoRoll::rollLines({{1.5, 0.25, 60, 80, 1, 0}}),
            std::vector<std::string>{"rollnew 1.500,0.250,60,80,1;"});
  // Played on their own channels, a release before a strike at the same moment.
  auto events = PianoRoll::rollEvents({{0, 0.5, 60, 80, 0, 9}, {0.5, 0.5, 60, 80, 0, 9}});
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].bytes[0], 0x89);
  EXPECT_EQ(events[2].bytes[0], 0x99);
}

}  // namespace
}  // namespace orvo
