// The natural voice's line protocol, where renderings are kept, and its settings files.
#include "sound/kokoro-protocol.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(KokoroProtocol, SpeedsKeysAndWhereASentenceIsKept) {
  EXPECT_EQ(kokoroSpeed(1.0, "Sixteen letters."), "0.98");
  EXPECT_EQ(kokoroSpeed(1.0, "Seventeen letters"), "1.06");
  EXPECT_EQ(kokoroSpeed(1.5, "A longer sentence here."), "1.59");
  EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cULL);

  const std::string key = kokoroKey("bm_george", "1.06", "Hello there.");
  EXPECT_EQ(key.size(), 16u);
  EXPECT_EQ(key, kokoroKey("bm_george", "1.06", "Hello there.")) << "stable";
  EXPECT_NE(key, kokoroKey("bf_emma", "1.06", "Hello there."));
  EXPECT_NE(key, kokoroKey("bm_george", "0.98", "Hello there."));
  EXPECT_NE(kokoroKey("ab", "c", "d"), kokoroKey("a", "bc", "d"));

  const std::string sixty(60, 'a');
  const std::string sixtyOne(61, 'a');
  EXPECT_EQ(kokoroOutput("/v", "/tmp", 42, "bm_george", "1.06", sixty),
            std::filesystem::path("/v/cache") / (kokoroKey("bm_george", "1.06", sixty) + ".wav"));
  EXPECT_EQ(kokoroOutput("/v", "/tmp", 42, "bm_george", "1.06", sixtyOne),
            std::filesystem::path("/tmp") /
                ("tp-kokoro-42-" + kokoroKey("bm_george", "1.06", sixtyOne) + ".wav"));
  EXPECT_TRUE(isKokoroLeftover("/tmp/tp-kokoro-7-0123456789abcdef.wav"));
  EXPECT_FALSE(isKokoroLeftover("/tmp/tp-kokoro-7.txt"));
  EXPECT_FALSE(isKokoroLeftover("/tmp/other.wav"));
}

TEST(KokoroProtocol, RequestsAreOneLineAndEveryAnswerIsRead) {
  EXPECT_EQ(kokoroRequest(7, "bm_george", "1.06", "/v/cache/x.wav", "One\ttwo\nthree\r."),
            "7\tbm_george\t1.06\t/v/cache/x.wav\tOne two three .\n");

  auto ready = readKokoroLine("ready\tbm_george\tbf_emma\t");
  EXPECT_EQ(ready.kind, KokoroLine::Kind::ready);
  EXPECT_THAT(ready.voices, ElementsAre("bm_george", "bf_emma"));
  EXPECT_THAT(readKokoroLine("ready").voices, IsEmpty());
  auto failed = readKokoroLine("failed\tno module named kokoro_onnx");
  EXPECT_EQ(failed.kind, KokoroLine::Kind::failed);
  EXPECT_EQ(failed.reason, "no module named kokoro_onnx");
  EXPECT_EQ(readKokoroLine("failed").reason, "no reason given");
  auto reply = readKokoroLine("12\tok\textra");
  EXPECT_EQ(reply.kind, KokoroLine::Kind::reply);
  EXPECT_EQ(reply.id, "12");
  EXPECT_EQ(reply.reply, "ok\textra");
  for (const char* junk : {"", "no tab here", "x1\tok", "\tok", "12"}) {
    EXPECT_EQ(readKokoroLine(junk).kind, KokoroLine::Kind::junk) << junk;
  }
}

TEST(KokoroProtocol, SentencesAndWhenTheirWordsBegin) {
  EXPECT_THAT(voiceSentences("Hello there. How are you? Fine!  3.5 beats"),
              ElementsAre("Hello there.", "How are you?", "Fine!", "3.5 beats"));
  EXPECT_THAT(voiceSentences(""), IsEmpty());
  EXPECT_THAT(voiceSentences(" ... "), ElementsAre("..."));
  const std::string longOne =
      "Play the first four notes of the tune with your right hand and then the left hand joins "
      "you on the low C because the chord changes there";
  auto parts = voiceSentences(longOne);
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ(parts.front(), "Play the first four notes of the tune with your right hand");
  std::string whole;
  for (const auto& part : parts) whole += (whole.empty() ? "" : " ") + part;
  EXPECT_EQ(whole, longOne) << "no word is lost";
  EXPECT_THAT(wordStarts({"a", "bcd"}, 1.2), ElementsAre(0.0, ::testing::DoubleNear(0.4, 1e-9)));
  EXPECT_THAT(wordStarts({}, 1.0), IsEmpty());
}

TEST(KokoroProtocol, SettingsFilesFallBackAndStayInRange) {
  EXPECT_EQ(kokoroRate(std::nullopt), 1.0);
  EXPECT_EQ(kokoroRate("1.2\n"), 1.2);
  EXPECT_EQ(kokoroRate("fast"), 1.0);
  EXPECT_EQ(kokoroRate("1.2x"), 1.0);
  EXPECT_EQ(kokoroRate("9"), 1.5);
  EXPECT_EQ(kokoroRate("0.1"), 0.6);
  EXPECT_EQ(kokoroRate("nan"), 1.0);
  EXPECT_EQ(kokoroChoice(std::nullopt), "bm_george");
  EXPECT_EQ(kokoroChoice(" \n"), "bm_george");
  EXPECT_EQ(kokoroChoice("bf_emma\n"), "bf_emma");
  EXPECT_EQ(kokoroChoice("mac"), "mac");
}

}  // namespace
}  // namespace orvo
