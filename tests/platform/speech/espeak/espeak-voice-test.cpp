// The player's speech-dispatcher settings as an espeak-ng voice, and the real
// espeak-ng rendering with it: the rate, the voice type and a name it does
// not know.
#include "platform/speech/espeak/espeak-voice.h"

#include "matchers.h"
#include "platform/speech/espeak/espeak-renderer.h"

namespace orvo {
namespace {

TEST(EspeakVoice, FollowsTheRateLanguageAndVoiceTypeAndFallsBackWhenUnknown) {
  struct Row {
    PlayerSpeech settings;
    std::string voiceId;
    int wordsPerMinute;
    std::vector<std::string> names;
  };
  const Row rows[] = {
      {{}, "", 170, {}},
      {{-100, "", ""}, "", 80, {}},
      {{100, "", ""}, "", 449, {}},
      {{50, "", ""}, "", 309, {}},
      {{-50, "", ""}, "", 125, {}},
      {{250, "", ""}, "", 449, {}},  // out of range: held at the fastest
      {{0, "en-US", "female2"}, "", 170, {"en-us+f2", "en+f2"}},
      {{0, "de", "male1"}, "", 170, {"de"}},
      {{0, "pt_BR", "male3"}, "", 170, {"pt-br+m3", "pt+m3", "en+m3"}},
      {{0, "", "female1"}, "", 170, {"en+f1"}},
      {{0, "en", "child_male"}, "English (America)", 170, {"English (America)", "en"}},
  };
  for (const auto& row : rows) {
    const auto voice = espeakVoiceFor(row.settings, row.voiceId);
    EXPECT_EQ(voice.wordsPerMinute, row.wordsPerMinute) << row.settings.rate;
    EXPECT_THAT(voice.names, ElementsAreArray(row.names)) << row.settings.language;
  }
}

TEST(EspeakVoice, TheRenderFollowsTheSettingsAndSurvivesAnUnknownName) {
  const std::string text = "Lovely, that was right. Now the next part.";
  auto normal = espeak::render(text, espeakVoiceFor({}));
  ASSERT_TRUE(normal) << "espeak-ng cannot render here";
  auto fast = espeak::render(text, espeakVoiceFor({100, "", ""}));
  auto slow = espeak::render(text, espeakVoiceFor({-100, "", ""}));
  ASSERT_TRUE(fast && slow);
  EXPECT_LT(fast->samples.size() * 2, normal->samples.size());
  EXPECT_GT(slow->samples.size(), normal->samples.size() * 3 / 2);

  // A woman's variant is a different sound; a name espeak-ng does not know
  // gives its default voice, not silence.
  auto female = espeak::render(text, espeakVoiceFor({0, "en", "female2"}));
  ASSERT_TRUE(female);
  EXPECT_NE(female->samples, normal->samples);
  auto unknown = espeak::render(text, EspeakVoice{{"no such voice"}, 170});
  ASSERT_TRUE(unknown);
  EXPECT_NEAR(static_cast<double>(unknown->samples.size()),
              static_cast<double>(normal->samples.size()), normal->samples.size() * 0.05);
}

}  // namespace
}  // namespace orvo
