#include "sound/output-route.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(OutputChoice, ComesBackAsKeptAndAGarbledFileIsNoChoice) {
  const OutputChoice chosen{"alsa_output.usb-headphones", "alsa_output.pci-analog", false};
  EXPECT_EQ(OutputChoice::fromJson(chosen.json()), chosen);
  EXPECT_EQ(OutputChoice::fromJson(OutputChoice{}.json()), OutputChoice{});
  for (const char* garbled : {"", "{not json", "[]", R"({"voice": 3, "music": null})"}) {
    EXPECT_EQ(OutputChoice::fromJson(std::string(garbled)), OutputChoice{}) << garbled;
  }
  EXPECT_EQ(OutputChoice::fromJson(std::nullopt), OutputChoice{});
  EXPECT_EQ(OutputChoice::fromJson(R"({"voice": "phones"})").voice, "phones");
}

TEST(OutputChoice, TheMusicGoesDownByDefaultOnlyWhereTheVoiceSharesItsOutput) {
  const struct {
    OutputChoice choice;
    bool ducks;
  } rows[] = {
      {{"", "", {}}, true},
      {{"", "phones", {}}, true},  // the voice on the usual output,
                                   // through speech-dispatcher
      {{"phones", "", {}}, false},
      {{"phones", "phones", {}}, true},
      {{"phones", "", true}, true},
      {{"", "", false}, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.choice.duckMusic(), row.ducks) << row.choice.json();
  }
}

}  // namespace
}  // namespace orvo
