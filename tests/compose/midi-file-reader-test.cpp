#include "compose/midi-file-reader.h"

#include "matchers.h"
#include "midi-bytes.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::midifile {
namespace {

using namespace orvo::testing;

std::optional<Contents> readBytes(const Bytes& bytes) {
  return read(bytes.data(), bytes.size());
}

TEST(MidiFileReader, ReadsNotesWithRunningStatusVelocityZeroAndTheFirstTempo) {
  Bytes events;
  append(events, {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20});  // 500000 us: 120 bpm
  append(events, {0, 0x90, 60, 100});                    // C4 on
  append(events, {0, 64, 90});                           // running status: E4 on
  append(events, {0x83, 0x60, 60, 0});                   // 480 ticks later: C4 off (velocity 0)
  append(events, {0, 0x80, 64, 0});                      // E4 off
  append(events, {0, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40});  // a second tempo (60 bpm): ignored
  append(events, {0, 0xF0, 3, 1, 2, 0xF7});              // system exclusive, skipped
  append(events, {10, 0x99, 38, 100, 5, 38, 0});         // drums: ignored
  append(events, {0, 0xC0, 5});                          // a program change: one data byte
  append(events, {0, 0x90, 67, 80, 1, 67, 0});           // a note one tick long
  append(events, {0, 0xFF, 0x2F, 0});
  auto contents = readBytes(file(header(0, 1, 480), {chunk(events)}));
  ASSERT_TRUE(contents);
  EXPECT_DOUBLE_EQ(contents->bpm, 120.0);
  ASSERT_EQ(contents->tracks.size(), 1u);
  const auto& notes = contents->tracks[0].notes;
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].pitch, 60);
  EXPECT_DOUBLE_EQ(notes[0].dur, 1.0);
  EXPECT_EQ(notes[1].pitch, 64);
  EXPECT_EQ(notes[1].vel, 90);
  EXPECT_EQ(notes[2].pitch, 67);
  EXPECT_DOUBLE_EQ(notes[2].beat, 1.0 + 15.0 / 480);
  EXPECT_DOUBLE_EQ(notes[2].dur, 0.05);  // never shorter than this
}

TEST(MidiFileReader, GroupsByChunkAndNamesTracks) {
  Bytes right = trackName("Piano RIGHT");
  append(right, {0, 0x90, 72, 90, 0x60, 0x80, 72, 0});
  Bytes left = trackName("Piano Left");
  append(left, {0, 0x91, 48, 90, 0x60, 0x81, 48, 0});
  Bytes bytes = file(header(1, 2, 96), {chunk(right), chunk(left)});
  auto contents = readBytes(bytes);
  ASSERT_TRUE(contents);
  ASSERT_EQ(contents->tracks.size(), 2u);
  EXPECT_EQ(contents->tracks[0].name, "piano right");
  EXPECT_EQ(contents->tracks[1].name, "piano left");

  testing::TempFolder folder;
  files::writeFileAtomically(folder / "two.mid", std::string(bytes.begin(), bytes.end()));
  auto song = load(folder / "two.mid");
  ASSERT_TRUE(song);
  EXPECT_DOUBLE_EQ(song->bpm, 120.0);  // none given
  ASSERT_EQ(song->notes.size(), 2u);
  for (const auto& note : song->notes) EXPECT_EQ(note.hand, note.pitch == 48 ? 1 : 0);
  auto onlyLeft = load(folder / "two.mid", "Piano Left");
  ASSERT_TRUE(onlyLeft);
  ASSERT_EQ(onlyLeft->notes.size(), 1u);
  EXPECT_EQ(onlyLeft->notes[0].pitch, 48);
}

TEST(MidiFileReader, RefusesWhatItCannotReadAndKeepsWhatItCould) {
  EXPECT_FALSE(readBytes({}));
  EXPECT_FALSE(readBytes(Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0}));  // 13 bytes
  EXPECT_FALSE(readBytes(file(header(0, 1, 0), {})));                             // division 0
  EXPECT_FALSE(readBytes(file(header(0, 1, 0xE728), {})));                        // SMPTE time
  Bytes notMidi = header(0, 1, 96);
  notMidi[0] = 'X';
  EXPECT_FALSE(readBytes(notMidi));
  auto noTracks = readBytes(file(header(1, 0, 96), {chunk({})}));
  ASSERT_TRUE(noTracks);
  EXPECT_TRUE(noTracks->tracks.empty());

  // A chunk that claims more than the file holds: read as far as it goes.
  Bytes events;
  append(events, {0, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0, 0x90, 62, 100});
  Bytes truncated = file(header(0, 1, 96), {chunk(events)});
  truncated[21] = 0x7F;  // the chunk length's low byte: far past the end
  auto partial = readBytes(truncated);
  ASSERT_TRUE(partial);
  ASSERT_EQ(partial->tracks.size(), 1u);
  EXPECT_EQ(partial->tracks[0].notes.size(), 1u);  // the note never closed is dropped

  // A data byte before any status ends the chunk; the next chunk is still read.
  Bytes stray;
  append(stray, {0, 60, 100});
  Bytes fine;
  append(fine, {0, 0x90, 64, 100, 10, 0x80, 64, 0});
  auto mixed = readBytes(file(header(1, 2, 96), {chunk(stray), chunk(fine)}));
  ASSERT_TRUE(mixed);
  ASSERT_EQ(mixed->tracks.size(), 2u);
  EXPECT_TRUE(mixed->tracks[0].notes.empty());
  EXPECT_EQ(mixed->tracks[1].notes.size(), 1u);

  testing::TempFolder folder;
  EXPECT_FALSE(load(folder / "missing.mid"));
}

}  // namespace
}  // namespace orvo::midifile
