#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST_F(EngineTest, ChoosingASongFromTheStartExplainsTheLessonTwice) {
  const std::string howItWorks =
      " How this works. I play a short part, then tell you its notes, then you play it.";
  for (int time = 0; time < 3; ++time) {
    engine->lessons().chooseSong(0);
    std::string said = firstSpoken();
    EXPECT_THAT(said, StartsWith("Hot Cross Buns. 3 short parts. Each one goes right hand, left "
                                 "hand, then both."));
    EXPECT_EQ(said.find(howItWorks) != std::string::npos, time < 2) << said;
  }
  EXPECT_EQ(engine->currentMode(), Mode::teach);
  EXPECT_EQ(files::readFile(home / "last-song.txt"), "Hot Cross Buns");
  EXPECT_EQ(engine->currentMemory().lastSong, "Hot Cross Buns");
  ASSERT_TRUE(engine->lessons().currentLesson());
  EXPECT_EQ(engine->lessons().currentLesson()->song.name, "Hot Cross Buns");

  engine->lessons().chooseSong(99);  // outside the library: nothing
  EXPECT_TRUE(spoken().empty());
  EXPECT_EQ(engine->lessons().currentLesson()->song.name, "Hot Cross Buns");
}

TEST_F(EngineTest, ResumingWarmsUpFromMemoryOnceThenCarriesOn) {
  files::writeFileAtomically(home / "progress.json", R"({"Mary Had a Little Lamb": 5})");
  files::writeFileAtomically(home / "last-song.txt", "Mary Had a Little Lamb");
  restartEngine();
  EXPECT_EQ(engine->home().titles()[0], "Lesson: Mary Had a Little Lamb");
  press(keys.hear);  // the top key at home: the current song
  EXPECT_THAT(firstSpoken(),
              AnyOf(StartsWith("Mary Had a Little Lamb. Warm up first, from memory. Part "),
                    StartsWith("Mary Had a Little Lamb. First, from memory. Part ")));
  EXPECT_EQ(engine->lessons().currentUnit(), 5);
  engine->lessons().chooseSong(1);
  std::string again = firstSpoken();
  EXPECT_THAT(again, StartsWith("Mary Had a Little Lamb. "));
  EXPECT_THAT(again, AnyOf(HasSubstr("Carrying on at part"), HasSubstr("Back to part"),
                           HasSubstr("Picking up at part")));
  EXPECT_THAT(again, HasSubstr(" of 4."));
}

// A stored part that would wrap round (99999999999 read as 1215752191), or is
// negative, is as good as no progress: the song starts from the beginning.
TEST_F(EngineTest, ProgressOutOfRangeFallsBackLikeCorruptProgress) {
  for (const char* stored : {"99999999999", "-3", "18446744073709551615", "2.5"}) {
    files::writeFileAtomically(home / "progress.json",
                               std::string(R"({"Mary Had a Little Lamb": )") + stored + "}");
    files::writeFileAtomically(home / "last-song.txt", "Mary Had a Little Lamb");
    restartEngine();
    press(keys.hear);
    EXPECT_EQ(engine->lessons().currentUnit(), 0) << stored;
    EXPECT_THAT(firstSpoken(), Not(HasSubstr("from memory"))) << stored;
    engine->goHome();
    spoken();
  }
}

TEST_F(EngineTest, ListingAndDroppingSongs) {
  EXPECT_EQ(afterKey('l'),
            "Easy: Hot Cross Buns, Mary Had a Little Lamb, Twinkle Twinkle Little Star, Frere "
            "Jacques, Au Clair de la Lune (folk song), London Bridge, Jingle Bells, Happy "
            "Birthday, Ode to Joy. Moderately easy: Fur Elise, opening only To add your own, put "
            "MIDI files in a folder called Orvo Songs, inside your Music folder.");
  engine->computerKey('9');
  spoken();
  EXPECT_EQ(afterCommand("drop"), "Dropped Ode to Joy from your songs.");
  EXPECT_THAT(engine->currentMemory().dropped, ElementsAre("Ode to Joy"));
  // A dropped song leaves the list, the number keys and finding by name, for good.
  for (int run = 0; run < 2; ++run) {
    EXPECT_THAT(afterKey('l'), Not(HasSubstr("Ode to Joy")));
    EXPECT_FALSE(engine->lessons().songNamed(Heard::from("ode to joy")));
    engine->computerKey('9');
    EXPECT_THAT(firstSpoken(), StartsWith("Fur Elise"));
    restartEngine();
    EXPECT_THAT(engine->currentMemory().dropped, ElementsAre("Ode to Joy"));
  }

  EXPECT_EQ(engine->lessons().songNamed(Heard::from("let's learn happy birthday")), 7);
  EXPECT_FALSE(engine->lessons().songNamed(Heard::from("play something nice")));
}

// The player's files are read after the greeting: until then the built-in
// songs are there, and the player is told the rest is coming rather than
// being given another song.
TEST_F(EngineTest, SongsFromTheSongFoldersJoinTheLibraryOnceRead) {
  testing::TempFolder songs;
  // A one-track file: its notes split at middle C.
  std::string file(
      "MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x10"
      "\0\x90\x3c\x40\x60\x80\x3c\0\0\x90\x30\x40\x60\x80\x30\0",
      38);
  files::writeFileAtomically(songs / "Little Tune (2).mid", file);
  files::writeFileAtomically(home / "last-song.txt", "Little Tune");
  auto withSongs = makeEngine({songs.path()}, false);
  EXPECT_EQ(withSongs->lessons().songTitles().size(), 10u);
  withSongs->computerKey('l');
  const std::string listed = spokenOne();  // the reading runs here, after the list was made
  EXPECT_THAT(listed, StartsWith("I'm still reading your songs, 0 so far. Easy: Hot Cross Buns"));
  EXPECT_THAT(listed, Not(HasSubstr("To add your own")));

  auto titles = withSongs->lessons().songTitles();
  ASSERT_EQ(titles.size(), 11u);
  // Two notes in half a second grade it level 2: after the built-in song of that level.
  EXPECT_EQ(titles[10], "Little Tune");
  EXPECT_EQ(withSongs->lessons().songIndex(), 10);  // the last run's song, once listed
  EXPECT_TRUE(files::readFile(home / "song-cache.txt"));
  withSongs->lessons().chooseCurrent();
  runtime.runReady();  // its notes are read in an activity
  auto lesson = withSongs->lessons().currentLesson();
  ASSERT_TRUE(lesson);
  EXPECT_EQ(lesson->song.name, "Little Tune");
  EXPECT_EQ(lesson->song.remark, "Hands are split at middle C.");
  EXPECT_TRUE(lesson->bothHands());

  // The next run's top key, before the files are read: not another song.
  withSongs->goHome();
  spoken();
  auto again = makeEngine({songs.path()}, false);
  again->lessons().chooseCurrent();
  EXPECT_EQ(spokenOne(), "I'm still reading your songs, 0 so far.");
  EXPECT_NE(again->currentMode(), Mode::teach);
  // Gone before it was taught: said, and nothing else chosen.
  std::filesystem::remove(songs / "Little Tune (2).mid");
  again->lessons().chooseSong(10);
  EXPECT_EQ(spokenOne(), "I couldn't read Little Tune. Its file has gone or changed.");
  EXPECT_NE(again->currentMode(), Mode::teach);
}

}  // namespace
}  // namespace orvo
