#include "lessons/theory-answers.h"

#include "matchers.h"
#include "voice/heard.h"

namespace orvo {
namespace {

// As the requests ask it: the words heard, and phrases matched as the listener does.
std::optional<std::string> ask(const std::string& question) {
  const Heard heard = Heard::from(question);
  return music::theoryAnswer(heard.words,
                             [&heard](const std::string& phrase) { return heard.has(phrase); });
}

TEST(TheoryAnswers, AnswersTheQuestionsOfEachKind) {
  EXPECT_THAT(ask("What is the relative minor of C major?"),
              Optional(Eq("The relative minor of C major is A minor. They share the same notes.")));
  EXPECT_THAT(
      ask("relative major of c minor"),
      Optional(Eq("The relative major of C minor is E flat major. They share the same notes.")));
  EXPECT_THAT(ask("how many flats in e flat major"), Optional(Eq("E flat major has 3 flats.")));
  EXPECT_THAT(ask("how many sharps in e minor"), Optional(Eq("E minor has 1 sharp.")));
  EXPECT_THAT(ask("key signature of a minor"), Optional(Eq("A minor has no sharps or flats.")));
  EXPECT_THAT(ask("spell the f sharp minor chord"),
              Optional(Eq("F sharp minor is F sharp, A, C sharp.")));
  EXPECT_THAT(ask("what is a d minor seventh"), Optional(Eq("D minor seventh is D, F, A, C.")));
  EXPECT_THAT(ask("what is a c minor seventh"),
              Optional(Eq("C minor seventh is C, E flat, G, B flat.")));
  EXPECT_THAT(ask("tell me the g seventh chord"), Optional(Eq("G seventh is G, B, D, F.")));
  EXPECT_THAT(ask("what is a c major seventh"), Optional(Eq("C major seventh is C, E, G, B.")));
  EXPECT_THAT(ask("build a b diminished chord"), Optional(Eq("B diminished is B, D, F.")));
  EXPECT_THAT(ask("what notes are in the c blues scale"),
              Optional(Eq("The C blues scale is C, E flat, F, G flat, G, B flat.")));
  EXPECT_THAT(ask("what are the notes of a minor"),
              Optional(Eq("A minor is A, B, C, D, E, F, G.")));
  EXPECT_THAT(ask("show me b flat major scale"),
              Optional(Eq("B flat major is B flat, C, D, E flat, F, G, A.")));
}

// Spelled as a musician hears them: from the root that was named, by letter.
TEST(TheoryAnswers, NotesAreSpelledByLetterFromTheNamedRoot) {
  EXPECT_THAT(ask("what is a c diminished chord"),
              Optional(Eq("C diminished is C, E flat, G flat.")));
  EXPECT_THAT(ask("what is a c seventh chord"), Optional(Eq("C seventh is C, E, G, B flat.")));
  EXPECT_THAT(ask("spell e diminished seventh"),
              Optional(Eq("E diminished seventh is E, G, B flat, D flat.")));
  EXPECT_THAT(ask("how many sharps in f sharp major"), Optional(Eq("F sharp major has 6 sharps.")));
  EXPECT_THAT(ask("how many flats in g flat major"), Optional(Eq("G flat major has 6 flats.")));
  EXPECT_THAT(ask("how many sharps in g sharp major"),
              Optional(Eq("G sharp major is written as A flat major, which has 4 flats.")));
  EXPECT_THAT(
      ask("what is the f sharp major scale"),
      Optional(Eq("F sharp major is F sharp, G sharp, A sharp, B, C sharp, D sharp, E sharp.")));
  EXPECT_THAT(ask("what are the notes of e flat minor"),
              Optional(Eq("E flat minor is E flat, F, G flat, A flat, B flat, C flat, D flat.")));
  EXPECT_THAT(
      ask("relative minor of f sharp major"),
      Optional(
          Eq("The relative minor of F sharp major is D sharp minor. They share the same notes.")));
  EXPECT_THAT(ask("a tritone below f sharp"), Optional(Eq("A tritone below F sharp is C.")));
  EXPECT_THAT(ask("a major third above a flat"), Optional(Eq("A major third above A flat is C.")));
}

TEST(TheoryAnswers, Intervals) {
  EXPECT_THAT(ask("what is an octave above g"), Optional(Eq("A octave above G is G.")));
  EXPECT_THAT(ask("what is a minor third above e"), Optional(Eq("A minor third above E is G.")));
  EXPECT_THAT(ask("a perfect fifth below c"), Optional(Eq("A perfect fifth below C is F.")));
  EXPECT_THAT(ask("what is a third up from b flat"), Optional(Eq("A third above B flat is D.")));
  EXPECT_THAT(ask("a whole step down from c"), Optional(Eq("A whole step below C is B flat.")));
  // No starting note: not an interval question, and without a subject nothing at all.
  EXPECT_FALSE(ask("what is the interval between notes"));
}

TEST(TheoryAnswers, NotTheory) {
  EXPECT_FALSE(ask("what is the capital of france"));
  EXPECT_FALSE(ask("play c major"));  // a subject, but not a question this answers
  EXPECT_FALSE(ask(""));
}

TEST(TheoryAnswers, TheHeldKeysAreANoteAChordSpelledFromItsRootOrJustNotes) {
  EXPECT_EQ(music::heldChordAnswer({}), "Hold some keys down and ask again.");
  EXPECT_EQ(music::heldChordAnswer({63}), "That is E flat.");
  EXPECT_EQ(music::heldChordAnswer({62, 66, 69}), "D major. The notes are D, F sharp, A.");
  EXPECT_EQ(music::heldChordAnswer({64, 67, 72}), "C major. The notes are E, G, C.");
  EXPECT_EQ(music::heldChordAnswer({64, 66, 67, 72}),
            "The notes are E, G flat, G, C. That is not one of the simple chords.");
}

}  // namespace
}  // namespace orvo
