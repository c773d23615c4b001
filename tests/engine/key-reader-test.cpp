#include "engine/key-reader.h"
#include "platform/utf8.h"

#include <unistd.h>

#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

class KeyReaderTest : public EngineTest {
 protected:
  KeyReader reader{*engine};
  void type(const std::string& bytes) {
    for (unsigned char byte : bytes) reader.feed(byte);
  }
};

TEST_F(KeyReaderTest, ArrowsStepHomeAndOtherEscapeSequencesAreIgnored) {
  type("\x1b[C");
  EXPECT_EQ(spokenOne(), "Song menu.");
  type("\x1b[D");
  EXPECT_EQ(spokenOne(), "Lesson: Hot Cross Buns.");
  // Up arrow, a modified right arrow and a function key do nothing at all:
  // their trailing letters must not be read as keys ("C" would be compose).
  type("\x1b[A\x1b[1;5C\x1b[15~\x1bOP");
  EXPECT_THAT(spoken(), IsEmpty());
  // A flood of parameter bytes is one long sequence, kept no further than its
  // cap and still not an arrow; the next arrow works.
  type("\x1b[" + std::string(100000, '7') + "C");
  EXPECT_THAT(spoken(), IsEmpty());
  type("\x1b[C");
  EXPECT_EQ(spokenOne(), "Song menu.");
}

TEST_F(KeyReaderTest, TypedLinesEndAtNewlineOrReturnAndACrLfPairIsOneEnd) {
  type("~name\r\n");
  EXPECT_THAT(windowLines(), ElementsAre("name |Orvo", StartsWith("vocab Orvo, Hot Cross Buns")));
  EXPECT_THAT(spoken(), IsEmpty());  // the LF was not taken as the Enter key
  type("~name\n");
  EXPECT_THAT(windowLines(), ElementsAre("name |Orvo", StartsWith("vocab ")));
  type("\n");  // Enter alone is the pause key
  EXPECT_EQ(spoken().size(), 1u);
}

TEST_F(KeyReaderTest, TypedLinesAreCutAt2000BytesAndRepaired) {
  type("~setup " + std::string(2500, 'a') + "\n");
  auto lines = windowLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "name " + std::string(2000 - 6, 'a') + "|Orvo");
  spoken();

  type("~setup Jos\xe9\n");  // Latin-1, not UTF-8
  EXPECT_THAT(windowLines(), ElementsAre("name Jos\xEF\xBF\xBD|Orvo"));
}

TEST_F(KeyReaderTest, DeleteRestartsTheTakeInCompositionOnly) {
  type("\x7f");
  EXPECT_EQ(spokenOne(), "There is no take to start again here. Press c for composition mode.");
  type("c");
  spoken();
  type("\x7f");
  EXPECT_THAT(spokenOne(), AnyOf("Again.", "From the top.", "Clean slate."));
}

TEST(RepairUtf8, KeepsValidTextAndReplacesEachBadByte) {
  EXPECT_EQ(repairUtf8("plain"), "plain");
  EXPECT_EQ(repairUtf8("caf\xC3\xA9 \xE2\x99\xAA \xF0\x9F\x8E\xB9"),
            "caf\xC3\xA9 \xE2\x99\xAA \xF0\x9F\x8E\xB9");
  EXPECT_EQ(repairUtf8("\xC3"), "\xEF\xBF\xBD");                                  // cut short
  EXPECT_EQ(repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong
  EXPECT_EQ(repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(repairUtf8("a\xFF"
                       "b"),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(CutUtf8, NeverEndsInsideACharacter) {
  EXPECT_EQ(cutUtf8("short", 200), "short");
  EXPECT_EQ(cutUtf8("ab\xC3\xA9", 3), "ab");  // é cut through: left out
  EXPECT_EQ(cutUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
  EXPECT_EQ(cutUtf8("\xF0\x9F\x8E\xB9\xF0\x9F\x8E\xB9", 6), "\xF0\x9F\x8E\xB9");
  std::string line = std::string(199, 'a') + "\xE2\x99\xAA";  // the note symbol across 200
  EXPECT_EQ(cutUtf8(line, 200), std::string(199, 'a'));
  EXPECT_EQ(repairUtf8(cutUtf8(line, 200)), cutUtf8(line, 200));
}

TEST_F(KeyReaderTest, EndOfInputQuitsOnlyWhenTheWindowDrivesUs) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ASSERT_EQ(::write(pipeEnds[1], "t", 1), 1);
  ::close(pipeEnds[1]);
  int closed = 0;
  reader.readLoop(pipeEnds[0], /*uiOn=*/true, log, [&] { ++closed; });
  ::close(pipeEnds[0]);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(engine->currentMode(), Mode::talk);

  ASSERT_EQ(::pipe(pipeEnds), 0);
  ::close(pipeEnds[1]);
  reader.readLoop(pipeEnds[0], /*uiOn=*/false, log, [&] { ++closed; });
  ::close(pipeEnds[0]);
  EXPECT_EQ(closed, 1);
  EXPECT_THAT(logText(), HasSubstr("computer keyboard input ended (read 0, errno 0)"));
}

}  // namespace
}  // namespace orvo
