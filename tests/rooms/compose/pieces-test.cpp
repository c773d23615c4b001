// Saved pieces on the virtual clock: the save key, naming by typing and by
// voice, keeping, autosaving on the way out, the last saved piece standing in
// for a take, and what a broken ideas folder or memory does.

#include <filesystem>
#include <set>

#include "compose/midi-file-reader.h"
#include "compose/midi-take.h"
#include "compose/piece-names.h"
#include "engine/compose-fixture.h"
#include "matchers.h"
#include "platform/utf8.h"
#include "player/memory.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

const std::string kSaved =
    "Saved in the ideas folder, in C major. It has piano, bass, strings and cello tracks.";

class PiecesTest : public ComposeTest {
 protected:
  PiecesTest() { fixClock(); }
  // 2026-03-14 18:02:11 UTC: file names are made from the local time of this.
  void fixClock() {
    wallClock = [] { return 1773511331.0; };
  }
  void restart() {
    restartEngine();
    fixClock();
  }
  fs::path ideas() { return home / "ideas"; }
  std::set<std::string> ideaFiles() {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(ideas(), error))
      names.insert(entry.path().filename().string());
    return names;
  }
  std::size_t remembered() {
    runtime.runReady();
    return Memory::parse(files::readFile(home / "memory.json")).pieces.size();
  }
  void type(const std::string& bytes) {
    for (unsigned char byte : bytes) engine->nameKey(byte);
  }
  bool naming() { return engine->namingPiece(); }
  void compose() { pressUnchecked(keys.compose); }
  // Two presses, the second 0.3 s after the first: no band sounds between them.
  void topTwice() {
    press(keys.hear);
    runtime.advance(0.3);
    press(keys.hear);
  }
  bool takeSaved() {
    std::lock_guard guard(engine->lock);
    return engine->compose().takeSaved();
  }
};

TEST_F(PiecesTest, TheSaveKeyWritesAnIdeaWithItsBandNamedAndNeverOverwritesOne) {
  compose();
  phrase(10);
  EXPECT_EQ(afterPress(keys.back), kSaved);
  const std::string stem = ideaStem(1773511331.0, "C major");
  EXPECT_THAT(ideaFiles(), ElementsAre(stem + ".mid"));
  EXPECT_EQ(remembered(), 1u);
  EXPECT_TRUE(takeSaved());
  // The piano track reads back as the take; the band has tracks of its own.
  auto back = takeFromMidiFile(ideas() / (stem + ".mid"));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->size(), 10u);
  auto contents = midifile::readFile(ideas() / (stem + ".mid"));
  ASSERT_TRUE(contents);
  EXPECT_TRUE(contents->whole);
  EXPECT_EQ(contents->tracks.size(), 5u);  // a tempo chunk, then one chunk a track

  // The same second again: a numbered name, the first file untouched. The
  // classic band (the first style) has no drums; the simple band has.
  const auto first = files::readFile(ideas() / (stem + ".mid"));
  EXPECT_EQ(afterPress(keys.back), kSaved);
  engine->compose().setBandStyle("simple");
  spoken();
  EXPECT_EQ(afterPress(keys.back),
            "Saved in the ideas folder, in C major. It has piano, bass, strings, cello and drum "
            "tracks.");
  EXPECT_THAT(ideaFiles(), ElementsAre(stem + " 2.mid", stem + " 3.mid", stem + ".mid"));
  EXPECT_EQ(files::readFile(ideas() / (stem + ".mid")), first);
  auto drums = midifile::readFile(ideas() / (stem + " 3.mid"));
  ASSERT_TRUE(drums);
  EXPECT_EQ(drums->tracks.size(), 6u);
  EXPECT_EQ(remembered(), 3u);
  // Saved, so leaving does not save it once more.
  press(keys.compose);
  runtime.advance(0.3);
  press(keys.compose);
  runtime.runReady();
  EXPECT_EQ(ideaFiles().size(), 3u);
  EXPECT_THAT(logText(), Not(HasSubstr("autosaved")));
}

TEST_F(PiecesTest, NamingByTypingCleansTheNameAndKeepsEveryPiece) {
  compose();
  phrase(10);
  auto bandNotes = [this] {
    return std::count_if(midiBackend.published.begin(), midiBackend.published.end(),
                         [](const auto& m) { return (m[0] & 0xF0) == 0x90 && (m[0] & 0x0F) != 0; });
  };
  const auto before = bandNotes();
  topTwice();
  EXPECT_EQ(spokenOne(), "Type a name, then press Return.");
  EXPECT_TRUE(naming());
  EXPECT_EQ(bandNotes(), before);  // the band never began
  auto shown = windowLines();
  EXPECT_THAT(shown, Contains("typing 1"));
  EXPECT_THAT(lines, IsEmpty());
  // Slashes and colons become spaces; leading and trailing spaces go.
  type("  Blues/for:Ann  \r");
  EXPECT_EQ(spokenOne(), "Saved as Blues for Ann.");
  EXPECT_FALSE(naming());
  EXPECT_TRUE(ideaFiles().count("Blues for Ann.mid"));
  EXPECT_TRUE(takeSaved());

  // A taken name gets a number, and what is said is the name given.
  runtime.advance(30.0);
  phrase(10);
  topTwice();
  spoken();
  type("Blues for Ann\n");
  EXPECT_EQ(spokenOne(), "Saved as Blues for Ann 2.");

  // Delete takes a whole character; Escape and an empty name give no name.
  runtime.advance(30.0);
  phrase(10);
  topTwice();
  spoken();
  type("Caf\xC3\xA9");
  type("\x7f");
  type("e\r");
  EXPECT_EQ(spokenOne(), "Saved as Cafe.");
  for (const std::string& attempt :
       {std::string("Lost\x1b"), std::string(" / : \r"), std::string("\x7f\x7f\r")}) {
    runtime.advance(30.0);
    phrase(10);
    topTwice();
    spoken();
    type(attempt);
    EXPECT_EQ(spokenOne(), "No name given.") << attempt;
    EXPECT_FALSE(naming());
  }
  EXPECT_EQ(ideaFiles().size(), 3u);

  // 300 bytes of two-byte letters and broken UTF-8: cut whole, still a file.
  runtime.advance(30.0);
  phrase(10);
  topTwice();
  spoken();
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xC3\xA9";
  type(longName + "\xFF\xC3\r");
  const std::string said = spokenOne();
  ASSERT_THAT(said, StartsWith("Saved as "));
  const std::string name = said.substr(9, said.size() - 10);
  EXPECT_LE(name.size(), 240u);
  EXPECT_EQ(repairUtf8(name), name);
  EXPECT_TRUE(ideaFiles().count(name + ".mid"));
}

TEST_F(PiecesTest, NamingASavedTakeRenamesTheNewestIdea) {
  compose();
  phrase(10);
  pressUnchecked(keys.back);
  topTwice();
  spoken();
  type("Morning\r");
  EXPECT_EQ(spokenOne(), "Saved as Morning.");
  EXPECT_THAT(ideaFiles(), ElementsAre("Morning.mid"));
  EXPECT_EQ(remembered(), 1u);  // renamed, not saved again

  // By voice, the same: the take is saved, so the newest idea is renamed.
  EXPECT_EQ(afterHearing("save that as evening song"),
            "Kept. It is in your ideas as Evening Song.");
  EXPECT_THAT(ideaFiles(), ElementsAre("Evening Song.mid"));
  // Outside composition, with nothing played lately, there is nothing to name.
  runtime.advance(1000.0);
  pressUnchecked(keys.home);
  EXPECT_EQ(afterHearing("save that as nothing"), "There is nothing to save yet.");
}

TEST_F(PiecesTest, AFolderThatCannotBeWrittenLeavesTheTakeUnsavedUntilItCan) {
  compose();
  phrase(10);
  fs::remove_all(ideas());
  ASSERT_TRUE(files::writeFileAtomically(ideas(), "not a folder"));
  EXPECT_EQ(afterPress(keys.back), "I could not save the file.");
  EXPECT_FALSE(takeSaved());
  EXPECT_EQ(remembered(), 0u);
  // Leaving tries again, fails again, and says so: the player may think it safe.
  press(keys.home);
  runtime.runReady();
  EXPECT_THAT(logText(), Not(HasSubstr("autosaved")));
  EXPECT_THAT(spoken(),
              Contains("I couldn't save your last take, because its folder is not there."));

  fs::remove(ideas());
  compose();
  phrase(10);
  press(keys.home);
  runtime.runReady();
  EXPECT_THAT(logText(), HasSubstr("autosaved a composition of 10 notes"));
  EXPECT_EQ(ideaFiles().size(), 1u);
  EXPECT_EQ(remembered(), 1u);
}

TEST_F(PiecesTest, AutosaveNeedsEightNotesAndRunsAtEveryWayOut) {
  compose();
  phrase(7);
  press(keys.compose);  // a new piece: the autosave runs first
  runtime.runReady();
  EXPECT_TRUE(ideaFiles().empty());
  spoken();
  phrase(8);
  runtime.advance(2.0);
  press(keys.compose);
  runtime.runReady();
  EXPECT_EQ(ideaFiles().size(), 1u);
  EXPECT_THAT(logText(), HasSubstr("autosaved a composition of 8 notes"));
  // The talk key and playing a file are ways out too.
  spoken();
  phrase(9);
  press(keys.talk);
  runtime.runReady();
  EXPECT_EQ(ideaFiles().size(), 2u);
  spoken();
  phrase(9);
  EXPECT_EQ(afterCommand("play " + (home / "missing.mid").string()), "I could not read that file.");
  EXPECT_EQ(ideaFiles().size(), 3u);
}

TEST_F(PiecesTest, TheLastSavedPieceStandsInForAMissingTake) {
  // Nothing saved and two notes: every take key says so.
  compose();
  phrase(2);
  for (int key : {keys.hear, keys.notes, keys.next, keys.back}) {
    runtime.advance(2.0);
    press(key);
    if (key == keys.hear) runtime.advance(0.6);  // the top key waits out a second press
    EXPECT_EQ(spokenOne(), "Play something first.");
  }
  runtime.advance(30.0);
  phrase(10);
  pressUnchecked(keys.back);
  restart();
  compose();
  EXPECT_THAT(afterPress(keys.notes), StartsWith("Your last saved piece. Key of C major."));
  runtime.advance(2.0);
  EXPECT_EQ(afterPress(keys.back), "That piece is already saved.");
  runtime.advance(2.0);
  press(keys.hear);
  runtime.advance(0.6);
  EXPECT_THAT(spokenOne(), AnyOf("Your last saved piece. Here it is with the band.",
                                 "Your last saved piece. With the band.",
                                 "Your last saved piece. Here comes the band."));
  EXPECT_EQ(ideaFiles().size(), 1u);

  // A newest file cut short is no piece: the keys have nothing to play.
  const fs::path newest = ideas() / *ideaFiles().begin();
  auto bytes = files::readFile(newest);
  ASSERT_TRUE(bytes);
  ASSERT_TRUE(files::writeFileAtomically(newest, bytes->substr(0, bytes->size() / 2)));
  runtime.advance(2.0);
  EXPECT_EQ(afterPress(keys.notes), "Play something first.");
}

TEST_F(PiecesTest, KeepSavesTheTakeOrTheLastStretch) {
  EXPECT_EQ(afterPress(keys.keep), "Nothing to keep yet.");
  // At home: the last stretch of playing.
  phrase(5);
  spoken();
  EXPECT_THAT(afterPress(keys.keep),
              AllOf(AnyOf(StartsWith("Kept that one. "), StartsWith("Got it, saved. "),
                          StartsWith("That one's saved. ")),
                    EndsWith(" 2 seconds, in C major.")));
  EXPECT_THAT(logText(), HasSubstr("kept 5 notes, 2 seconds"));
  EXPECT_EQ(ideaFiles().size(), 1u);

  // In composition the take, which is then saved and closed.
  compose();
  phrase(9);
  pressUnchecked(keys.keep);
  EXPECT_THAT(logText(), HasSubstr("kept 9 notes"));
  EXPECT_TRUE(takeSaved());
  press(keys.home);
  runtime.runReady();
  EXPECT_EQ(ideaFiles().size(), 2u);
}

TEST_F(PiecesTest, TheMemoryKeepsTwoHundredPiecesAndSurvivesAFileGoneBad) {
  nlohmann::json many = nlohmann::json::array();
  for (int i = 0; i < 500; ++i)
    many.push_back({{"date", i}, {"key", "C major"}, {"roots", {0}}, {"seconds", 1}});
  ASSERT_TRUE(
      files::writeFileAtomically(home / "memory.json", nlohmann::json{{"pieces", many}}.dump()));
  restart();
  compose();
  phrase(10);
  EXPECT_EQ(afterPress(keys.back), kSaved);
  runtime.runReady();
  auto pieces = Memory::parse(files::readFile(home / "memory.json")).pieces;
  ASSERT_EQ(pieces.size(), 200u);
  EXPECT_EQ(pieces.front()["date"], 301);
  EXPECT_EQ(pieces.back()["key"], "C major");
  EXPECT_DOUBLE_EQ(pieces.back()["date"].get<double>(), 1773511331.0);

  // A memory file gone bad is kept as it is for the player; pieces are still saved.
  const std::string bad = "{\"pieces\": [1, 2,";
  ASSERT_TRUE(files::writeFileAtomically(home / "memory.json", bad));
  restart();
  compose();
  phrase(10);
  EXPECT_EQ(afterPress(keys.back), kSaved);
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "memory.json"), bad);
  EXPECT_EQ(ideaFiles().size(), 2u);

  // Moved away, the memory starts again, and every piece it did not know (as
  // after a kill between the file and the memory) is remembered, key and length.
  fs::remove(home / "memory.json");
  restart();
  engine->markOpened("today");
  EXPECT_EQ(remembered(), 2u);
  pieces = Memory::parse(files::readFile(home / "memory.json")).pieces;
  EXPECT_EQ(pieces.front()["key"], "C major");
  EXPECT_GT(pieces.front()["seconds"].get<int>(), 0);
  restart();
  engine->markOpened("today");
  EXPECT_EQ(remembered(), 2u) << "never twice";
}

}  // namespace
}  // namespace orvo
