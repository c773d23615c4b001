#include "sound/voice-output-opener.h"
#include "matchers.h"

#include <set>

namespace orvo {
namespace {

// A stream that only says which output it was opened on.
struct Opened final : VoiceOutput {
  std::string device;
  explicit Opened(std::string on) : device(std::move(on)) {}
  bool write(const std::int16_t*, std::size_t) override { return true; }
  double latency() override { return 0; }
  void drain() override {}
};

TEST(VoiceOutputOpener, FallsBackWhileTheChosenOutputIsGoneAndSaysSoOnceEachWay) {
  OutputRoute route;
  std::set<std::string> present = {"", "phones", "speakers"};
  VoiceOutputOpener opener(route, [&](int, const std::string& device) {
    return present.count(device) ? std::make_unique<Opened>(device) : nullptr;
  });
  auto openedOn = [&] {
    auto output = opener.open(22050);
    return output ? static_cast<Opened&>(*output).device : std::string("none");
  };
  const std::string gone =
      "The output I was speaking on is gone, so I'll speak here until it comes back.";
  const std::string back =
      "The output you chose for my voice is back, so I'm speaking there again.";
  // Step by step: the choice, the outputs there, where the voice opens, what
  // is said, and where the speech tool would speak now.
  struct Step {
    OutputChoice choice;
    std::set<std::string> present;
    std::string openedOn;
    std::optional<std::string> news;
    std::string toolOn;
  };
  const std::vector<Step> steps = {
      {{}, {"", "phones"}, "", std::nullopt, ""},
      {{"phones", "", {}}, {"", "phones"}, "phones", std::nullopt, "phones"},
      {{"phones", "", {}}, {""}, "", gone, ""},
      {{"phones", "", {}}, {""}, "", std::nullopt, ""},  // said once, not every sentence
      {{"phones", "", {}}, {"", "phones"}, "phones", back, "phones"},
      // The music's output next, for the stream and the tool alike.
      {{"phones", "speakers", {}}, {"", "speakers"}, "speakers", gone, "speakers"},
      {{"phones", "speakers", {}}, {}, "none", std::nullopt, "speakers"},
      {{"phones", "phones", {}}, {""}, "", std::nullopt, ""},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    route.set(steps[i].choice);
    present = steps[i].present;
    EXPECT_EQ(openedOn(), steps[i].openedOn) << "step " << i;
    EXPECT_EQ(opener.news(), steps[i].news) << "step " << i;
    EXPECT_EQ(opener.device(), steps[i].toolOn) << "step " << i;
  }
}

}  // namespace
}  // namespace orvo
