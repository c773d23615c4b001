// Composition through the real binary: notes written to a FIFO in real time,
// the computer's keys, and what is said back.

#include <fcntl.h>
#include <sys/stat.h>

#include <poll.h>

#include <atomic>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "compose/midi-file-writer.h"
#include "compose/roll-reader.h"
#include "e2e/fifo-piano.h"
#include "e2e/orvo-process.h"
#include "matchers.h"
#include "outside-programs.h"
#include "platform/files.h"
#include "platform/sound-output.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

// Band notes reach ORVO_MIDI_OUT only while no audio device plays them.
TEST(ComposeSession, TheTakeComesBackWithTheBandThenVariationsAndTheRound) {
  if (soundOutputPresent())
    GTEST_SKIP()
        << "an audio device is open here, so the band plays on it and not on ORVO_MIDI_OUT";
  PianoSession session;
  ASSERT_TRUE(session.ready());
  auto& [piano, out, orvo, welcomed, keys] = session;
  ASSERT_TRUE(orvo.answersWithPrefix("c", "Composition"));
  keys.phrase(16);
  const std::vector<double> sentAt = keys.sentAt;
  const double pressed = MidiOut::now();
  orvo.write(" ");
  ASSERT_TRUE(orvo.waitForLine([](const std::string& line) {
    return line == "Here it is with the band." || line == "With the band." ||
           line == "Here comes the band.";
  }));
  Keyboard::wait(8.0);  // 4 s of take, and the band's last chord
  std::vector<int> piano0;
  std::vector<double> times;
  std::set<int> channels;
  std::map<int, int> open;
  for (const auto& message : out.since(pressed)) {
    const int type = message.status & 0xF0, channel = message.status & 15;
    if (type != 0x80 && type != 0x90) continue;
    const bool on = type == 0x90 && message.velocity > 0;
    open[channel * 128 + message.key] += on ? 1 : -1;
    if (!on) continue;
    channels.insert(channel);
    if (channel == 0) {
      piano0.push_back(message.key);
      times.push_back(message.at);
    }
  }
  EXPECT_EQ(piano0,
            (std::vector<int>{60, 64, 67, 72, 67, 64, 60, 64, 67, 72, 67, 64, 60, 64, 67, 72}));
  // The take as Orvo recorded it, saved by the left arrow: when the spacing
  // below is off, it tells whether the note came in late or went out late.
  ASSERT_TRUE(orvo.answersWithPrefix("\x1b[D", "Saved in the ideas folder"));
  std::vector<double> recorded;
  for (const auto& entry : std::filesystem::directory_iterator(piano.home / "ideas")) {
    for (const RollNote& note : readMIDIForRoll(entry.path()).value_or(std::vector<RollNote>{}))
      if (note.ch == 0) recorded.push_back(note.t);
  }
  // The played spacing, as the test sent it, within 10 ms (looser in a
  // sanitised build, whose every step is slower).
  const double slack = ORVO_SANITIZED ? 3.0 : 1.0;
  ASSERT_EQ(times.size(), sentAt.size());
  for (std::size_t i = 1; i < times.size(); ++i) {
    EXPECT_NEAR(times[i] - times[i - 1], sentAt[i] - sentAt[i - 1], 0.010 * slack)
        << "note " << i << ", recorded "
        << (i < recorded.size() ? recorded[i] - recorded[i - 1] : -1.0) << " s after the last";
  }
  channels.erase(0);
  EXPECT_FALSE(channels.empty()) << "the band played";
  for (int channel : channels) EXPECT_TRUE(channel >= 1 && channel <= 3) << "classic: " << channel;
  for (auto [slot, count] : open) EXPECT_EQ(count, 0) << "note " << slot % 128 << " left on";

  // The right arrow: three variations, the round, and the first variation again.
  const std::vector<std::string> words = {"Backwards.", "Upside down.", "In minor."};
  for (const std::string& word : words) {
    EXPECT_TRUE(orvo.answers("\x1b[C", word));
  }
  orvo.write("\x1b[C");
  auto round = orvo.waitForPrefix("Round. Play it again, and I will follow ");
  ASSERT_TRUE(round);
  EXPECT_THAT(*round, HasSubstr("follow 4 seconds behind you"));
  Keyboard::wait(0.5);
  const double played = MidiOut::now();
  keys.send({0x90, 62, 90});
  Keyboard::wait(4.5);
  double echoed = 0;
  for (const auto& message : out.since(played)) {
    if (message.status == 0x90 && message.key == 74) echoed = message.at;
  }
  ASSERT_GT(echoed, 0) << "no echo an octave up";
  // Eight beats of the beat found in the take as Orvo heard it: near 4 s for
  // a phrase played at 120, but each note's arrival moves it a little.
  std::smatch found;
  const std::string log = files::readFile(piano.home / "log.txt").value_or("");
  ASSERT_TRUE(std::regex_search(log, found, std::regex("the round follows ([0-9.]+) s behind")));
  const double delay = std::stod(found[1]);
  EXPECT_NEAR(delay, 4.0, 0.1);
  EXPECT_NEAR(echoed - played, delay, 0.005 * slack);
  EXPECT_GE(echoed - played, delay - 0.001) << "an echo is never early";
  // A button ends the round; the held note's echo is still let go.
  orvo.write("h");
  Keyboard::wait(0.3);
  keys.send({0x90, 64, 90});
  keys.send({0x80, 62, 0});
  const double released = MidiOut::now();
  Keyboard::wait(4.5);
  bool newEcho = false, letGo = false;
  for (const auto& message : out.since(released)) {
    newEcho = newEcho || (message.status == 0x90 && message.key == 76);
    letGo = letGo || ((message.status & 0xF0) == 0x80 && message.key == 74);
  }
  EXPECT_FALSE(newEcho);
  EXPECT_TRUE(letGo);
  EXPECT_TRUE(orvo.answers("\x1b[C", "Backwards."));
  EXPECT_EQ(orvo.closeWindow(), 0);
}

TEST(ComposeSession, RebandDescribesAFileAndWritesItWithItsBand) {
  TempFolder home;
  // A file of our own: C, F, G and C chords, four beats each.
  std::vector<RNote> notes;
  const int roots[] = {0, 5, 7, 0};
  for (int c = 0; c < 4; ++c) {
    for (int beat = 0; beat < 4; ++beat) {
      const double t = c * 2.0 + beat * 0.5;
      notes.push_back({t, t + 0.45, 48 + roots[c], 80});
      notes.push_back({t, t + 0.45, 64 + roots[c] + (beat % 2) * 3, 70});
    }
  }
  const auto mine = home / "mine.mid";
  ASSERT_TRUE(writeMIDIFile(mine, 120, {{"Piano", notes}}));
  const std::string real = "/usr/share/games/openttd/baseset/openmsx/moo_redfarn.mid";
  auto reband = [&](const std::string& in, const std::filesystem::path& out) {
    OrvoProcess run({.home = home.path(), .args = {"--reband", in, out.string()}, .window = false});
    auto status = run.waitExit(60);
    return std::pair{status, run.lines()};
  };
  auto [status, lines] = reband(mine.string(), home / "out.mid");
  ASSERT_EQ(status, 0);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(lines[0], StartsWith("Key of C major."));
  EXPECT_THAT(lines, ::testing::Contains(::testing::StartsWith("sounding ")));
  EXPECT_THAT(lines.back(), AnyOf(StartsWith("mix peak "), std::string("no sound bank")));
  if (lines.back() != "no sound bank") {
    EXPECT_THAT(lines[lines.size() - 2],
                ::testing::MatchesRegex("the limiter worked [0-9]+\\.[0-9]{2}% of the time, "
                                        "its loudest [01]\\.[0-9]{2}"));
  }
  auto again = reband(mine.string(), home / "again.mid");
  EXPECT_EQ(again.first, 0);
  EXPECT_EQ(files::readFile(home / "out.mid"), files::readFile(home / "again.mid"))
      << "the same seed, the same bytes";

  // python3-mido reads what was written: format 1, 480 ticks, 120 beats a minute, Piano first.
  const std::string script =
      "import mido,sys\n"
      "m=mido.MidiFile(sys.argv[1])\n"
      "tempo=[x.tempo for t in m.tracks for x in t if x.type=='set_tempo']\n"
      "print(m.type, m.ticks_per_beat, tempo[0], '|'.join(t.name for t in m.tracks[1:]))\n";
  ASSERT_TRUE(files::writeFileAtomically(home / "read.py", script));
  auto read = [&](const std::filesystem::path& file) {
    return commandOutput("/usr/bin/python3 '" + (home / "read.py").string() + "' '" +
                         file.string() + "' 2>&1");
  };
  const std::regex order(
      R"(^1 480 500000 Piano(\|Bass)?(\|Strings)?(\|Cello)?(\|High strings)?(\|Horn)?(\|Warm pad)?(\|Drums)?\n$)");
  EXPECT_TRUE(std::regex_match(read(home / "out.mid"), order)) << read(home / "out.mid");
  if (std::filesystem::exists(real)) {
    auto [realStatus, realLines] = reband(real, home / "real.mid");
    EXPECT_EQ(realStatus, 0);
    EXPECT_TRUE(std::regex_match(read(home / "real.mid"), order)) << read(home / "real.mid");
  }

  // Garbage and a missing argument.
  ASSERT_TRUE(files::writeFileAtomically(home / "garbage.mid", "MThd garbage, not music"));
  auto garbage = reband((home / "garbage.mid").string(), home / "never.mid");
  EXPECT_EQ(garbage.first, 1);
  EXPECT_THAT(garbage.second, ::testing::Contains(std::string("cannot read")));
  OrvoProcess missing({.home = home.path(), .args = {"--reband", mine.string()}, .window = false});
  EXPECT_EQ(missing.waitExit(30), 2);
  EXPECT_FALSE(std::filesystem::exists(home / "never.mid"));
}

// A format 1 file holding every track of the given files, which must share
// their division: a dense score made of real music.
std::string mergedMidiFile(const std::vector<std::filesystem::path>& sources) {
  std::string tracks;
  int count = 0;
  std::string division;
  for (const auto& source : sources) {
    auto bytes = files::readFile(source);
    if (!bytes || bytes->size() < 14) return {};
    division = bytes->substr(12, 2);
    for (std::size_t at = 14; at + 8 <= bytes->size();) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes->data() + at + 4);
      const std::size_t size =
          (std::size_t{p[0]} << 24) | (std::size_t{p[1]} << 16) | (std::size_t{p[2]} << 8) | p[3];
      if (bytes->compare(at, 4, "MTrk") == 0) {
        tracks += bytes->substr(at, 8 + size);
        ++count;
      }
      at += 8 + size;
    }
  }
  std::string header = "MThd";
  header += std::string("\0\0\0\6\0\1", 6);
  header += static_cast<char>(count >> 8);
  header += static_cast<char>(count & 0xff);
  return header + division + tracks;
}

// The exit status of `--reband in out.mid` in the data folder; nothing when it
// has not ended within `limit` seconds.
std::optional<int> rebandStatus(const std::filesystem::path& home, const std::filesystem::path& in,
                                double limit) {
  OrvoProcess run({.home = home,
                   .args = {"--reband", in.string(), (home / "out.mid").string()},
                   .window = false});
  return run.waitExit(limit);
}

TEST(ComposeSession, RebandSurvivesBrokenFiles) {
  TempFolder home;
  auto reband = [&](const std::filesystem::path& in, double limit) {
    return rebandStatus(home.path(), in, limit);
  };
  // The reader's fuzz corpus, and each file cut short and with bytes flipped.
  std::vector<std::filesystem::path> broken;
  const std::filesystem::path corpus = ORVO_SOURCE_DIR "/fuzz/corpus/midi-file";
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    broken.push_back(entry.path());
    auto bytes = files::readFile(entry.path()).value_or("");
    const auto cut = home / (entry.path().stem().string() + "-cut.mid");
    ASSERT_TRUE(files::writeFileAtomically(cut, bytes.substr(0, bytes.size() / 2)));
    broken.push_back(cut);
    for (std::size_t i = 14; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(~bytes[i]);
    const auto flipped = home / (entry.path().stem().string() + "-flipped.mid");
    ASSERT_TRUE(files::writeFileAtomically(flipped, bytes));
    broken.push_back(flipped);
  }
  ASSERT_GE(broken.size(), 18u);
  // Whole but broken: a few notes, then one more claimed six hours later.
  std::vector<RNote> stray;
  for (int i = 0; i < 16; ++i) stray.push_back({i * 0.25, i * 0.25 + 0.2, 60 + (i % 5) * 2, 80});
  stray.push_back({22000.0, 22000.5, 72, 80});
  ASSERT_TRUE(writeMIDIFile(home / "hours.mid", 120, {{"Piano", stray}}));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(reband(home / "hours.mid", 60), 0);
  if (!ORVO_SANITIZED) {
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
              10.0)
        << "only where the file has notes is rendered";
  }
  for (const auto& file : broken) {
    const auto status = reband(file, 60);
    ASSERT_TRUE(status.has_value()) << file << " hung";
    EXPECT_TRUE(*status == 0 || *status == 1) << file << " ended with " << *status;
  }
}

TEST(ComposeSession, RebandFinishesA500KBFileInHalfAMinute) {
  TempFolder home;
  auto reband = [&](const std::filesystem::path& in, double limit) {
    return rebandStatus(home.path(), in, limit);
  };
  // Over 500 KB: the tracks of three ten-minute Debian pieces played together.
  // Its time limit means nothing in a sanitised build, which renders far slower.
  if (ORVO_SANITIZED) GTEST_SKIP() << "a timing check, for the optimised build";
  const std::filesystem::path music = "/usr/share/planetblupi/music";
  if (!std::filesystem::exists(music / "music009.mid"))
    GTEST_SKIP() << "planetblupi-music-midi is not installed";
  const std::string big =
      mergedMidiFile({music / "music009.mid", music / "music005.mid", music / "music007.mid"});
  ASSERT_GT(big.size(), 500'000u);
  ASSERT_TRUE(files::writeFileAtomically(home / "big.mid", big));
  const auto started = std::chrono::steady_clock::now();
  const auto status = reband(home / "big.mid", 120);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(status, 0);
  EXPECT_LT(took, 30.0) << "a 500 KB file, render included";
}

}  // namespace
}  // namespace orvo::testing
