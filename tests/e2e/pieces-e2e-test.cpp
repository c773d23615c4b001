// Saved pieces through the real binary: a take described, saved and named
// from the computer keys, the last saved piece after a restart, keeping at
// home, the autosave on quitting, a file on the piano roll; and a saver killed
// at random moments, which never leaves a broken piece.

#include <signal.h>
#include <sys/wait.h>

#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "compose/ideas-folder.h"
#include "compose/midi-file-reader.h"
#include "compose/roll-reader.h"
#include "e2e/fifo-piano.h"
#include "matchers.h"
#include "outside-programs.h"
#include "platform/sound-output.h"
#include "player/memory.h"

namespace orvo::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ideaFiles(const fs::path& home) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(home / "ideas", error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t rememberedPieces(const fs::path& home) {
  return Memory::parse(files::readFile(home / "memory.json")).pieces.size();
}

TEST(PiecesSession, SavingNamingAndTheLastSavedPieceAfterARestart) {
  Piano piano;
  ASSERT_TRUE(piano.made);
  {
    OrvoProcess orvo(piano.options());
    ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
    Keyboard keys(piano.input);
    ASSERT_TRUE(keys.open());
    ASSERT_TRUE(orvo.answersWithPrefix("c", "Composition"));
    keys.phrase(10);
    orvo.write("n");
    auto summary = orvo.waitForPrefix("Key of ");
    ASSERT_TRUE(summary);
    EXPECT_THAT(*summary, AllOf(StartsWith("Key of C major."), EndsWith("10 notes.")));
    // The left arrow: the save key.
    ASSERT_TRUE(orvo.answers(
        "\x1b[D",
        "Saved in the ideas folder, in C major. It has piano, bass, strings and cello tracks."));
    auto files = ideaFiles(piano.home.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_THAT(files[0],
                MatchesRegex("idea [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}\\.[0-9]{2}\\.[0-9]{2} "
                             "C major\\.mid"));

    // Space twice, 0.3 s apart: the prompt, never the band first; then a
    // name typed with Return.
    orvo.write(" ");
    Keyboard::wait(0.3);
    ASSERT_TRUE(orvo.answers(" ", "Name this piece, then press Return (Escape cancels): "));
    ASSERT_TRUE(orvo.waitFor("Type a name, then press Return."));
    for (const auto& line : orvo.lines()) {
      EXPECT_THAT(line, ::testing::Not(::testing::AnyOf("Here it is with the band.",
                                                        "With the band.", "Here comes the band.")))
          << "the band began";
    }
    ASSERT_TRUE(orvo.answers("Blues/for:Ann\r", "Saved as Blues for Ann."));
    EXPECT_EQ(ideaFiles(piano.home.path()), std::vector<std::string>{"Blues for Ann.mid"});
    EXPECT_EQ(orvo.closeWindow(), 0);
  }
  EXPECT_EQ(rememberedPieces(piano.home.path()), 1u);

  OrvoProcess again(piano.options());
  ASSERT_TRUE(again.waitForPrefix("@welcome"));
  ASSERT_TRUE(again.answersWithPrefix("c", "Composition"));
  again.write("n");
  auto said = again.waitForPrefix("Your last saved piece. ");
  ASSERT_TRUE(said);
  EXPECT_THAT(*said, StartsWith("Your last saved piece. Key of C major."));
  EXPECT_TRUE(again.answers("\x1b[D", "That piece is already saved."));
  EXPECT_EQ(again.closeWindow(), 0);
  EXPECT_EQ(ideaFiles(piano.home.path()).size(), 1u);
}

TEST(PiecesSession, KeepingAtHomeAndTheAutosaveOnQuitting) {
  PianoSession session;
  ASSERT_TRUE(session.ready());
  auto& [piano, out, orvo, welcomed, keys] = session;
  keys.phrase(5);
  orvo.write("s");
  auto kept = orvo.waitForLine([](const std::string& line) {
    return std::regex_match(line, std::regex("(Kept that one\\.|Got it, saved\\.|That one's "
                                             "saved\\.) [0-9]+ seconds, in C major\\."));
  });
  EXPECT_TRUE(kept);
  EXPECT_EQ(ideaFiles(piano.home.path()).size(), 1u);

  ASSERT_TRUE(orvo.answers("c", "@mode compose"));
  keys.phrase(10);
  orvo.write("q");
  EXPECT_EQ(orvo.waitExit(), 0);
  EXPECT_THAT(files::readFile(piano.home / "log.txt").value_or(""),
              HasSubstr("autosaved a composition of 10 notes"));
  EXPECT_EQ(ideaFiles(piano.home.path()).size(), 2u);
  EXPECT_EQ(rememberedPieces(piano.home.path()), 2u);
}

// python3-mido's notes of a file, as the roll records them, one per line.
std::string midoRoll(const fs::path& file) {
  const std::string script = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
tempo = [(0, 500000)]
for track in f.tracks:
    tick = 0
    for m in track:
        tick += m.time
        if m.type == 'set_tempo': tempo.append((tick, m.tempo))
tempo.sort(key=lambda x: x[0])
def seconds(tick):
    s, last, t = 0.0, 0, 500000
    for at, each in tempo:
        if at > tick: break
        s += (at - last) * t / 1e6 / f.ticks_per_beat
        last, t = at, each
    return s + (tick - last) * t / 1e6 / f.ticks_per_beat
notes = []
for index, track in enumerate(f.tracks):
    tick = 0
    open_, pedal, held = {}, {}, {}
    def end(key, at):
        n = open_.pop(key, None)
        if n is None: return
        if pedal.get(key[0]): held.setdefault(key[0], []).append(n)
        else: n[1] = at
    for m in track:
        tick += m.time
        if m.type == 'note_on' and m.velocity > 0:
            key = (m.channel, m.note)
            if key in open_: open_.pop(key)[1] = tick
            for n in list(held.get(m.channel, [])):
                if n[2] == m.note:
                    n[1] = tick
                    held[m.channel].remove(n)
            n = [tick, tick, m.note, m.velocity, index]
            open_[key] = n
            notes.append(n)
        elif m.type in ('note_off', 'note_on'):
            end((m.channel, m.note), tick)
        elif m.type == 'control_change' and m.control == 64:
            down = m.value >= 64
            if pedal.get(m.channel) and not down:
                for n in held.pop(m.channel, []): n[1] = tick
            pedal[m.channel] = down
    for key in list(open_): end(key, tick)
    for ch in list(held):
        for n in held.pop(ch): n[1] = tick
notes.sort(key=lambda n: seconds(n[0]))
for n in notes:
    t = seconds(n[0])
    print('%.3f,%.3f,%d,%d,%d' % (t, seconds(n[1]) - t, n[2], n[3], n[4]))
)";
  const fs::path scriptFile = fs::temp_directory_path() / "orvo-mido-roll.py";
  files::writeFileAtomically(scriptFile, script);
  return commandOutput("/usr/bin/python3 " + scriptFile.string() + " '" + file.string() + "'");
}

// The records of the roll lines, each parsed, sorted the same way.
std::vector<std::string> sortedRecords(std::vector<std::string> records) {
  std::sort(records.begin(), records.end());
  return records;
}

TEST(PiecesSession, AFileOnThePianoRollMatchesMidoAndStopsWhenCut) {
  auto files = debianMidiFiles();
  if (files.empty() || commandOutput("/usr/bin/python3 -c 'import mido; print(1)'") != "1\n")
    GTEST_SKIP() << "needs the Debian MIDI packages and python3-mido (make test-deps)";
  if (soundOutputPresent()) GTEST_SKIP() << "an audio device is open: the notes play there";
  // The smallest file of the packages, so the whole of it plays quickly enough to cut.
  fs::path file = *std::min_element(files.begin(), files.end(), [](auto& a, auto& b) {
    return fs::file_size(a) < fs::file_size(b);
  });
  PianoSession session;
  ASSERT_TRUE(session.ready());
  auto& [piano, out, orvo, welcomed, keys] = session;
  const double from = MidiOut::now();
  orvo.write("~play " + file.string() + "\n");
  auto first = orvo.waitForPrefix("@rollnew ");
  ASSERT_TRUE(first);
  std::vector<std::string> records;
  auto take = [&](const std::string& line, std::size_t skip) {
    std::stringstream in(line.substr(skip));
    for (std::string record; std::getline(in, record, ';');)
      if (!record.empty()) records.push_back(record);
  };
  take(*first, 9);
  // The further lines come before the playing begins.
  while (auto more = orvo.waitForPrefix("@rolln ", 1.0)) take(*more, 7);
  std::vector<std::string> expected;
  std::stringstream mido(midoRoll(file));
  for (std::string line; std::getline(mido, line);) expected.push_back(line);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(records.size(), expected.size());
  EXPECT_EQ(sortedRecords(records), sortedRecords(expected));

  Keyboard::wait(1.5);
  auto played = out.since(from);
  EXPECT_FALSE(played.empty()) << "the file's notes reach the MIDI output";
  // A key cuts it off, and the roll is told.
  EXPECT_TRUE(orvo.answers("\r", "@rollstop", 5.0));
  EXPECT_EQ(orvo.closeWindow(), 0);
}

// A saver killed at any moment leaves whole pieces and a memory that parses:
// every piece appears by a rename, and temporaries are never taken for one.
TEST(PiecesCrash, KillingASaverAtRandomMomentsNeverLeavesABrokenPiece) {
  if (commandOutput("/usr/bin/python3 -c 'import mido; print(1)'") != "1\n")
    GTEST_SKIP() << "needs python3-mido (make test-deps)";
  // A sanitised saver takes several times longer over each save.
  const int kills = ORVO_SANITIZED ? 20 : 200;
  const int savingMicros = ORVO_SANITIZED ? 800000 : 80000;
  TempFolder home;
  std::mt19937 random(11);
  int readySeen = 0;
  for (int i = 0; i < kills; ++i) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t child = ::fork();
    if (child == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      ::execl(ORVO_SAVE_LOOP, ORVO_SAVE_LOOP, home.path().c_str(), nullptr);
      ::_exit(127);
    }
    ::close(out[1]);
    char buffer[16];
    pollfd wait{out[0], POLLIN, 0};
    // Killed while starting, playing, or in the middle of its saves.
    const int moment = std::uniform_int_distribution<int>(0, 4)(random);
    if (moment > 0 && ::poll(&wait, 1, 20000) > 0 && ::read(out[0], buffer, sizeof buffer) > 0) {
      ++readySeen;
      std::this_thread::sleep_for(
          std::chrono::microseconds(std::uniform_int_distribution<int>(0, savingMicros)(random)));
    } else {
      std::this_thread::sleep_for(
          std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random)));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(out[0]);
  }
  EXPECT_GT(readySeen, kills / 2);

  const fs::path ideas = home / "ideas";
  const std::string check = commandOutput(
      "/usr/bin/python3 -c \"\nimport sys, os, mido\nbad = []\ncount = 0\nfor name in "
      "os.listdir(sys.argv[1]):\n    if not name.endswith('.mid'): continue\n    count += 1\n    "
      "try:\n        f = mido.MidiFile(os.path.join(sys.argv[1], name))\n        notes = "
      "sum(1 for t in f.tracks[1:2] for m in t if m.type == 'note_on' and m.velocity > 0)\n       "
      " if notes != 2000: bad.append(name + ' has ' + str(notes))\n    except Exception as e:\n    "
      "    bad.append(name + ': ' + str(e))\nprint(count, len(bad))\nfor b in bad[:5]: "
      "print(b)\n\" '" +
      ideas.string() + "'");
  std::stringstream in(check);
  int count = -1, broken = -1;
  in >> count >> broken;
  EXPECT_GT(count, 0) << check;
  EXPECT_EQ(broken, 0) << check;
  // The memory parses, and holds no more pieces than were written.
  auto memory = files::readFile(home / "memory.json");
  ASSERT_TRUE(memory);
  EXPECT_TRUE(nlohmann::json::accept(*memory)) << memory->substr(0, 200);
  EXPECT_LE(Memory::parse(memory).pieces.size(), static_cast<std::size_t>(count));
  auto newest = IdeasFolder(ideas).newest();
  ASSERT_TRUE(newest);
  EXPECT_FALSE(files::isTemporaryName(newest->filename().string()));
  auto contents = midifile::readFile(*newest);
  ASSERT_TRUE(contents);
  EXPECT_TRUE(contents->whole);
}

}  // namespace
}  // namespace orvo::testing
