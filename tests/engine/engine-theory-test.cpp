#include <gmock/gmock.h>

#include "engine/engine-fixture.h"

namespace orvo {
namespace {

using ::testing::Optional;

using TheoryTest = EngineTest;

TEST_F(TheoryTest, SpokenNotes) {
  std::vector<std::string> words = {"b", "flat", "and", "b"};
  EXPECT_THAT(Engine::spokenNote(words, 0), Optional(std::pair{10, 2}));
  EXPECT_THAT(Engine::spokenNote(words, 3), Optional(std::pair{11, 1}));
  EXPECT_FALSE(Engine::spokenNote(words, 2));
  EXPECT_FALSE(Engine::spokenNote(words, 4));
  EXPECT_THAT(Engine::spokenNote({"c", "flat"}, 0), Optional(std::pair{11, 2}));
  EXPECT_THAT(Engine::spokenNote({"b", "sharp"}, 0), Optional(std::pair{0, 2}));
}

TEST_F(TheoryTest, TheHeldChord) {
  EXPECT_EQ(engine->heldChord(), "Hold some keys down and ask again.");
  engine->noteEvent(63, 80);
  spoken();  // the first note at home is noticed
  EXPECT_EQ(engine->heldChord(), "That is E flat.");
  engine->noteEvent(63, 0);
  for (int key : {62, 66, 69}) engine->noteEvent(key, 80);
  EXPECT_EQ(engine->heldChord(), "D major. The notes are D, F sharp, A.");
  for (int key : {62, 66, 69}) engine->noteEvent(key, 0);
  for (int key : {72, 64, 67}) engine->noteEvent(key, 80);
  EXPECT_EQ(engine->heldChord(), "C major. The notes are E, G, C.");
  engine->noteEvent(66, 80);
  EXPECT_EQ(engine->heldChord(),
            "The notes are E, G flat, G, C. That is not one of the simple chords.");

  // Typed as a spoken request from the terminal.
  engine->appCommand("speak what chord am I holding?");
  EXPECT_EQ(spokenOne(), "The notes are E, G flat, G, C. That is not one of the simple chords.");
  engine->appCommand("speak What is the relative minor of C major?");
  EXPECT_EQ(spokenOne(), "The relative minor of C major is A minor. They share the same notes.");
  engine->appCommand("say open the pod bay doors");
  EXPECT_EQ(spokenOne(), "I cannot find an app called pod bay doors on this computer.");
}

}  // namespace
}  // namespace orvo
