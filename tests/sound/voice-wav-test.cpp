// The natural voice's WAV files: what is read, and every way a file is refused.
#include "sound/voice-wav.h"
#include "matchers.h"
#include "wav-bytes.h"

#include <cstring>

namespace orvo {
namespace {

using testing::putLittleEndian;
using testing::wavBytes;

std::string pcm16(std::initializer_list<int> samples) {
  std::string data;
  for (int s : samples)
    putLittleEndian(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)), 2);
  return data;
}

std::string float32(std::initializer_list<float> samples) {
  std::string data;
  for (float s : samples) {
    std::uint32_t word;
    std::memcpy(&word, &s, sizeof word);
    putLittleEndian(data, word, 4);
  }
  return data;
}

TEST(VoiceWav, SixteenBitAndFloatMonoAtTheFilesOwnRate) {
  auto pcm = readVoiceWav(wavBytes(1, 1, 24000, 16, pcm16({0, 16384, -32768, 32767})));
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->rate, 24000);
  EXPECT_THAT(pcm->samples, ::testing::ElementsAre(0.0f, 0.5f, -1.0f, 32767.0f / 32768.0f));
  // A list chunk (odd-sized, so padded) before the data is stepped over.
  std::string list = "LIST";
  putLittleEndian(list, 3, 4);
  list += "abc";
  list += '\0';
  auto padded = readVoiceWav(wavBytes(3, 1, 22050, 32, float32({0.25f, -0.75f}), list));
  ASSERT_TRUE(padded);
  EXPECT_EQ(padded->rate, 22050);
  EXPECT_THAT(padded->samples, ::testing::ElementsAre(0.25f, -0.75f));
  EXPECT_DOUBLE_EQ(readVoiceWav(wavBytes(1, 1, 24000, 16, std::string(48000, '\0')))->seconds(),
                   1.0);
  EXPECT_TRUE(readVoiceWav(wavBytes(1, 1, 24000, 16, ""))->samples.empty());
}

TEST(VoiceWav, EveryOtherFileIsRefused) {
  const std::string good = wavBytes(1, 1, 24000, 16, pcm16({1, 2, 3, 4}));
  EXPECT_FALSE(readVoiceWav(wavBytes(1, 2, 24000, 16, pcm16({1, 2}))));       // stereo
  EXPECT_FALSE(readVoiceWav(wavBytes(1, 1, 24000, 8, "abcd")));               // 8-bit
  EXPECT_FALSE(readVoiceWav(wavBytes(1, 1, 24000, 24, "abcdef")));            // 24-bit
  EXPECT_FALSE(readVoiceWav(wavBytes(3, 1, 24000, 64, std::string(16, 0))));  // double
  EXPECT_FALSE(readVoiceWav(wavBytes(1, 1, 0, 16, pcm16({1}))));              // no rate
  EXPECT_FALSE(readVoiceWav(wavBytes(1, 1, 24000, 16, "abc")));               // half a sample
  EXPECT_FALSE(readVoiceWav(wavBytes(3, 1, 24000, 32, float32({NAN}))));
  EXPECT_FALSE(readVoiceWav(""));
  EXPECT_FALSE(readVoiceWav("RIFF"));
  // Cut short by a crash at every length, or with a byte too many.
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(readVoiceWav(good.substr(0, cut))) << cut;
  }
  EXPECT_FALSE(readVoiceWav(good + "x"));
  // A data chunk claiming more than the file holds, with the RIFF size made to agree.
  std::string lying = good;
  lying[lying.size() - 12] = static_cast<char>(0x40);
  EXPECT_FALSE(readVoiceWav(lying));
  // Not a WAV at all.
  std::string other = good;
  other.replace(8, 4, "AVI ");
  EXPECT_FALSE(readVoiceWav(other));
  EXPECT_FALSE(readVoiceWavFile("/nonexistent/voice.wav"));
}

}  // namespace
}  // namespace orvo
