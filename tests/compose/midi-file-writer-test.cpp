// Standard MIDI Files as written: exact bytes for the small cases, and random
// takes with their band read back by our reader and by python3-mido.

#include <regex>

#include <nlohmann/json.hpp>

#include "compose/analysis.h"
#include "compose/band.h"
#include "compose/midi-file-reader.h"
#include "compose/midi-file-writer.h"
#include "matchers.h"
#include "outside-programs.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kHeaderAndTempo = {'M', 'T',  'h',  'd',  0,    0,    0,    6, 0,    1,    0,
                               2,   0x01, 0xE0, 'M',  'T',  'r',  'k',  0, 0,    0,    11,
                               0,   0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0, 0xFF, 0x2F, 0};

Bytes track(const std::string& name, const Bytes& events) {
  Bytes body = {0, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())};
  body.insert(body.end(), name.begin(), name.end());
  body.insert(body.end(), events.begin(), events.end());
  body.insert(body.end(), {0, 0xFF, 0x2F, 0});
  Bytes out = {'M',
               'T',
               'r',
               'k',
               0,
               0,
               static_cast<std::uint8_t>(body.size() >> 8),
               static_cast<std::uint8_t>(body.size())};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes oneTrackFile(const Bytes& events) {
  Bytes out = kHeaderAndTempo;
  Bytes one = track("Piano", events);
  out.insert(out.end(), one.begin(), one.end());
  return out;
}

TEST(MidiFileWriter, SmallCasesAreWrittenByteForByte) {
  // One second at 120 bpm is 960 ticks (0x87 0x40).
  EXPECT_EQ(midiFileBytes(120, {{"Piano", {{0, 1, 60, 100}}}}),
            oneTrackFile({0, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0}));
  // A note of 1 ms still lasts 10 ticks; velocity 0 is written as 1, pitch 200 as 127.
  EXPECT_EQ(midiFileBytes(120, {{"Piano", {{0, 0.001, 200, 0}}}}),
            oneTrackFile({0, 0x90, 127, 1, 10, 0x80, 127, 0}));
  // At one tick the note-off comes before the note-on, the controller last.
  EXPECT_EQ(midiFileBytes(
                120, {{"Piano", {{0, 0.5, 60, 90}, {0.5, 0.5, 0, 70, 0, 11}, {0.5, 1, 62, 90}}}}),
            oneTrackFile({0,  0x90, 60, 90,   0x83, 0x60, 0x80, 60,   0,    0,  0x90,
                          62, 90,   0,  0xB0, 11,   70,   0x83, 0x60, 0x80, 62, 0}));
  // Deltas of 127, 128, 16,383 and 16,384 ticks: one, two, two and three bytes.
  const double tick = 60.0 / 120 / 480;
  auto delta = [&](int ticks) {
    return midiFileBytes(120, {{"Piano", {{ticks * tick, ticks * tick + 10 * tick, 60, 90}}}});
  };
  EXPECT_EQ(delta(127), oneTrackFile({0x7F, 0x90, 60, 90, 10, 0x80, 60, 0}));
  EXPECT_EQ(delta(128), oneTrackFile({0x81, 0x00, 0x90, 60, 90, 10, 0x80, 60, 0}));
  EXPECT_EQ(delta(16383), oneTrackFile({0xFF, 0x7F, 0x90, 60, 90, 10, 0x80, 60, 0}));
  EXPECT_EQ(delta(16384), oneTrackFile({0x81, 0x80, 0x00, 0x90, 60, 90, 10, 0x80, 60, 0}));
}

TEST(MidiFileWriter, RandomTakesWithTheirBandReadBackTheSame) {
  testing::TempFolder folder;
  Random random(11);
  for (int round = 0; round < 20; ++round) {
    std::vector<RNote> take;
    double t = 0;
    for (int i = 0; i < 40; ++i) {
      take.push_back(
          {t, t + 0.1 + random.below(1000) / 1000.0, 36 + random.below(50), 1 + random.below(127)});
      t += 0.25 * (1 + random.below(3));
    }
    const Analysis analysis = analyse(take);
    MidiTracks tracks = {{"Piano", take}};
    for (auto& each : bandTracks(bandFull(take, analysis, "full", random))) tracks.push_back(each);
    const auto path = folder / ("take " + std::to_string(round) + ".mid");
    ASSERT_TRUE(writeMIDIFile(path, 120, tracks));
    auto read = midifile::readFile(path);
    ASSERT_TRUE(read);
    EXPECT_DOUBLE_EQ(read->bpm, 120);
    ASSERT_EQ(read->tracks.size(), tracks.size() + 1) << "the tempo track too";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const auto& got = read->tracks[i + 1];
      std::string lower = tracks[i].first;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_EQ(got.name, lower);
      std::size_t notes = 0;
      for (const RNote& record : tracks[i].second) notes += record.cc < 0 && record.ch != 9 ? 1 : 0;
      EXPECT_EQ(got.notes.size(), notes) << tracks[i].first;
    }
    // python3-mido agrees on format, division, names and every note and tick.
    const std::string script =
        "import mido,sys,json\n"
        "m=mido.MidiFile(sys.argv[1])\n"
        "print(json.dumps({'type':m.type,'tpb':m.ticks_per_beat,'names':[t.name for t in m.tracks],"
        "'ons':sum(1 for t in m.tracks for x in t if x.type=='note_on' and x.velocity>0)}))\n";
    ASSERT_TRUE(files::writeFileAtomically(folder / "read.py", script));
    const std::string out =
        testing::commandOutput("/usr/bin/python3 '" + (folder / "read.py").string() + "' '" +
                               path.string() + "' 2>/dev/null");
    auto seen = nlohmann::json::parse(out, nullptr, false);
    if (seen.is_discarded()) GTEST_SKIP() << "python3-mido is not installed";
    EXPECT_EQ(seen["type"], 1);
    EXPECT_EQ(seen["tpb"], 480);
    std::size_t notes = 0;
    for (auto& [name, records] : tracks) {
      for (const RNote& record : records) notes += record.cc < 0 ? 1 : 0;
    }
    EXPECT_EQ(seen["ons"].get<std::size_t>(), notes);
    ASSERT_EQ(seen["names"].size(), tracks.size() + 1);
    for (std::size_t i = 0; i < tracks.size(); ++i)
      EXPECT_EQ(seen["names"][i + 1], tracks[i].first);

    // midicsv reads it through without a warning: its verbose report holds
    // only the header and track lengths, and its listing reaches the end.
    if (!std::filesystem::exists("/usr/bin/midicsv")) continue;
    const std::string quoted = "'" + path.string() + "'";
    const std::string report = testing::commandOutput("midicsv -v " + quoted + " 2>&1 >/dev/null");
    EXPECT_TRUE(std::regex_match(
        report,
        std::regex(
            R"(Format 1 MIDI file\.  \d+ tracks, 480 ticks per quarter note\.\n(Track \d+: length \d+\.\n)+)")))
        << report;
    const std::string listing = testing::commandOutput(
        "midicsv " + quoted + " > " + quoted + ".csv; grep -c Note_on_c " + quoted +
        ".csv; grep -c Note_off_c " + quoted + ".csv; tail -n 1 " + quoted + ".csv");
    const std::string count = std::to_string(notes) + "\n";
    EXPECT_EQ(listing, count + count + "0, 0, End_of_file\n") << "each note on has its note off";
  }
}

}  // namespace
}  // namespace orvo
