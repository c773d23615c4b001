// With the real espeak-ng, rendered to memory: the voice meter's bands and
// the piano notes of a sentence.

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/speech/espeak/espeak-renderer.h"
#include "sound/piano-speech.h"
#include "sound/voice-meter.h"

namespace orvo {
namespace {

struct Note {
  double start;
  int key;
};

std::vector<Note> notesOf(const std::vector<Ev>& events) {
  std::vector<Note> notes;
  for (const auto& ev : events) {
    if (ev.bytes[0] == 0x90) notes.push_back({ev.t, ev.bytes[1]});
  }
  return notes;
}

TEST(RenderedSpeech, TheMeterGivesSixteenBandsPerFrame) {
  auto speech = espeak::render("The quick brown fox jumps over the lazy dog.", 175);
  ASSERT_TRUE(speech) << "espeak-ng cannot render here";
  EXPECT_EQ(speech->sampleRate, 22050);
  auto frames = VoiceMeter::bandLevels(speech->samples, speech->sampleRate);
  EXPECT_EQ(frames.size(), speech->samples.size() / 512);
  int loud = 0;
  for (const auto& frame : frames) {
    for (int level : frame) {
      ASSERT_GE(level, 0);
      ASSERT_LE(level, 100);
      if (level > 50) ++loud;
    }
  }
  EXPECT_GT(loud, 0);
  EXPECT_TRUE(VoiceMeter::bandLevels(std::vector<std::int16_t>(2048, 0), 22050)[0] ==
              VoiceMeter::Frame{});

  // The window gets a header and one line of frames, from the meter's own queue.
  VirtualRuntime runtime;
  std::vector<std::string> lines;
  VoiceMeter meter(runtime, [&](const std::string& line) { lines.push_back(line); });
  meter.measure(*speech);
  EXPECT_TRUE(lines.empty());
  runtime.runReady();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], StartsWith("spec 1 new 0.023"));
  std::string body = lines[1].substr(std::string("spec 1 ").size());
  EXPECT_EQ(std::count(body.begin(), body.end(), ';') + 1, static_cast<long>(frames.size()));
  EXPECT_EQ(std::count(body.begin(), body.end(), ','), static_cast<long>(frames.size() * 15));
}

TEST(RenderedSpeech, PianoSpeechFollowsTheVoice) {
  auto shortOne = pianospeech::fromSentence("Hi.");
  auto longOne =
      pianospeech::fromSentence("Hello, how are you doing on this beautiful sunny morning?");
  ASSERT_TRUE(shortOne && longOne);
  auto few = notesOf(*shortOne);
  auto many = notesOf(*longOne);
  ASSERT_FALSE(few.empty());
  EXPECT_GE(many.size(), few.size() + 6);  // more syllables, more notes
  EXPECT_EQ(few.front().start, 0.0);

  // Every note is on the keyboard, in time order, and is ended.
  int on = 0;
  double last = 0;
  for (const auto& ev : *longOne) {
    EXPECT_GE(ev.t, last);
    last = ev.t;
    EXPECT_GE(ev.bytes[1], 48);
    EXPECT_LE(ev.bytes[1], 96);
    on += ev.bytes[0] == 0x90 ? 1 : -1;
  }
  EXPECT_EQ(on, 0);

  // A question rises at its end; the same words as a statement fall.
  auto question = notesOf(*pianospeech::fromSentence("Is it raining?"));
  auto statement = notesOf(*pianospeech::fromSentence("It is raining."));
  ASSERT_GE(question.size(), 3u);
  ASSERT_GE(statement.size(), 3u);
  auto end = [](const std::vector<Note>& notes, std::size_t back) {
    return notes[notes.size() - 1 - back].key;
  };
  EXPECT_GT(end(question, 0), end(question, 1));
  EXPECT_LT(end(statement, 0), end(statement, 1));
  EXPECT_LT(end(statement, 0), statement.front().key);
}

}  // namespace
}  // namespace orvo
