// Music made for the player, on the virtual clock: a piece in a mood, the
// piece a restyle works on, the album, and the surprise.

#include <regex>
#include <set>

#include "compose/when-text.h"
#include "engine/compose-fixture.h"
#include "matchers.h"
#include "rooms/compose/gifts.h"

namespace orvo {
namespace {

class GiftsTest : public ComposeTest {
 protected:
  Gifts& gifts() { return engine->compose().gifts(); }
  std::size_t latestSize() {
    auto piece = gifts().latestPiece();
    return piece ? piece->size() : 0;
  }
  // A take of the C major phrase moved up by `shift` semitones, saved.
  void saveTake(int count, int shift = 0) {
    pressUnchecked(keys.compose);
    static const int notes[] = {60, 64, 67, 72, 67, 64, 60, 62, 65, 69, 67, 60};
    for (int i = 0; i < count; ++i) {
      engine->noteEvent(notes[i % 12] + shift, 80);
      runtime.advance(0.4);
      engine->noteEvent(notes[i % 12] + shift, 0);
      runtime.advance(0.1);
    }
    pressUnchecked(keys.back);
    runtime.advance(2.0);
    press(keys.compose);  // twice quickly: out of composition
    pressUnchecked(keys.compose);
  }
  void surprise() {
    std::lock_guard guard(engine->lock);
    gifts().surprise();
  }
};

TEST_F(GiftsTest, APieceInAMoodIsIntroducedAndPlayedWithItsBand) {
  engine->hear("play me something sad");
  const std::string said = spokenOne();
  EXPECT_THAT(said, MatchesRegex("(Something sad, in|One sad piece, in|A little sad tune in) "
                                 "[A-G]( sharp| flat)? minor.*"));
  EXPECT_THAT(windowLines(), Contains("now Something sad, made up for you"));
  std::set<int> channels;
  int on = 0, off = 0;
  for (auto [status, key, velocity] : sent(midiBackend)) {
    channels.insert(status & 0x0F);
    on += (status & 0xF0) == 0x90 ? 1 : 0;
    off += (status & 0xF0) == 0x80 ? 1 : 0;
  }
  EXPECT_TRUE(channels.count(0));
  EXPECT_GE(channels.size(), 3u) << "the band plays too";
  EXPECT_GE(off, on) << "every note let go";
  EXPECT_TRUE(gifts().lastGift());
  EXPECT_EQ(gifts().giftName(), "sad");
  // A mood word on its own is a request for that mood; an unknown one is not.
  EXPECT_THAT(afterHearing("something rainy and lonely"), HasSubstr("sad"));
  EXPECT_FALSE(gifts().mood(Heard("something gloomy")));
}

TEST_F(GiftsTest, TheLatestPieceIsTheTakeThenTheLastStretchThenTheLastSavedIdea) {
  EXPECT_EQ(latestSize(), 0u);
  {
    std::lock_guard guard(engine->lock);
    gifts().restyle("lullaby");
  }
  EXPECT_EQ(spokenOne(), "Play me something first, then I can dress it up.");

  saveTake(9);
  runtime.advance(700.0);
  EXPECT_EQ(latestSize(), 9u) << "the saved idea";
  phrase(12);
  EXPECT_EQ(latestSize(), 12u) << "the last stretch";
  runtime.advance(601.0);
  EXPECT_EQ(latestSize(), 9u) << "too long ago: the saved idea again";
  pressUnchecked(keys.compose);
  phrase(6);
  EXPECT_EQ(latestSize(), 6u) << "the take";

  EXPECT_EQ(afterHearing("make it a lullaby"), "Your piece, as a lullaby.");
  EXPECT_THAT(windowLines(), Contains("now Your piece, as a lullaby"));
  std::set<int> channels;
  for (auto [status, key, velocity] : sent(midiBackend)) channels.insert(status & 0x0F);
  EXPECT_TRUE(channels.count(4)) << "the music box";
  EXPECT_EQ(afterHearing("make it a video game"), "Your piece, as a video game.");
  EXPECT_EQ(afterHearing("make it epic"), "Your piece, as a film score.");
}

TEST_F(GiftsTest, TheAlbumPlaysEveryReadablePieceOldestFirst) {
  EXPECT_EQ(afterHearing("play my album"),
            "You have not saved any pieces yet. Play something and say keep that.");
  saveTake(10);
  saveTake(10, 7);
  ASSERT_TRUE(files::writeFileAtomically(home / "ideas" / "broken.mid", "MThd broken"));
  sent(midiBackend);
  engine->hear("play my album");
  const std::string today = weekdayName(wallClock());
  EXPECT_THAT(spoken(),
              ElementsAre("Your album. 2 pieces, all written by you. Say Orvo stop, or press "
                          "home, to end it.",
                          "A piece in C major, from " + today + ".",
                          "A piece in G major, from " + today + ".",
                          "That was all of it. You wrote every note."));
  auto shown = windowLines();
  EXPECT_THAT(shown, Contains("now Your album: 2 pieces, number 1"));
  EXPECT_THAT(shown, Contains("now Your album: 2 pieces, number 2"));
  EXPECT_FALSE(sent(midiBackend).empty());
}

TEST_F(GiftsTest, SurpriseReachesEveryBranch) {
  pianoSpeech["Hello friend"] = {{0.0, {0x90, 60, 80}}, {0.2, {0x80, 60, 0}}};
  saveTake(10);
  std::set<std::string> branches;
  std::vector<std::string> said;
  for (int i = 0; i < 60 && branches.size() < 5; ++i) {
    const std::size_t before = logText().size();
    surprise();
    auto now = spoken();
    said.insert(said.end(), now.begin(), now.end());
    std::smatch match;
    const std::string log = logText().substr(before);
    if (std::regex_search(log, match, std::regex("surprise (\\d)"))) branches.insert(match[1]);
  }
  EXPECT_EQ(branches, (std::set<std::string>{"0", "1", "2", "3", "4"}));
  EXPECT_THAT(said, Contains("Listen closely. The piano has something to say."));
  EXPECT_THAT(said, Contains("It said, hello friend."));
  EXPECT_THAT(said, Contains(AnyOf("Your piece, as a lullaby.", "Your piece, as a video game.",
                                   "Your piece, as a film score.")));
  EXPECT_THAT(said, Contains(AnyOf(Gifts::jokes()[0], Gifts::jokes()[1], Gifts::jokes()[2],
                                   Gifts::jokes()[3], Gifts::jokes()[4], Gifts::jokes()[5],
                                   Gifts::jokes()[6], Gifts::jokes()[7])));
  EXPECT_THAT(said, Contains(AnyOf(HasSubstr("I am making this up as I go."),
                                   HasSubstr("Nobody has heard this before."),
                                   HasSubstr("This one is just for you."))));
}

}  // namespace
}  // namespace orvo
