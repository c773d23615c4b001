#include "desks/outputs-sentence.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(OutputsSentence, NamesEveryOutputAsAPersonKnowsItAndSaysWhenThereIsNoServer) {
  const SoundOutput phones{"alsa_output.usb", "USB Audio Headphones"};
  const SoundOutput speakers{"alsa_output.pci", "Built-in Audio\tAnalog Stereo\n"};
  const SoundOutput hdmi{"hdmi", "HDMI Audio"};
  const std::vector<std::pair<std::optional<std::vector<SoundOutput>>, std::string>> cases = {
      {std::nullopt, "I can't reach the sound server, so I can't tell which outputs there are."},
      {std::vector<SoundOutput>{}, "The sound server has no outputs at the moment."},
      {std::vector{phones}, "There is one output: USB Audio Headphones."},
      // Someone else's text: its tabs and line breaks are not read out.
      {std::vector{phones, speakers},
       "There are 2 outputs: USB Audio Headphones and Built-in Audio Analog Stereo."},
      {std::vector{phones, speakers, hdmi},
       "There are 3 outputs: USB Audio Headphones, Built-in Audio Analog Stereo, and HDMI Audio."},
  };
  for (const auto& [outputs, said] : cases) EXPECT_EQ(outputsSentence(outputs), said);
}

TEST(OutputsSentence, ALooseNameFindsTheOutputsItFits) {
  const std::vector<SoundOutput> outputs = {{"alsa_output.usb-Sennheiser", "USB Audio Headphones"},
                                            {"alsa_output.pci", "Built-in Audio Analog Stereo"}};
  auto named = [&](const std::string& asked) {
    std::vector<std::string> found;
    for (const auto& output : outputsNamed(asked, outputs)) found.push_back(output.name);
    return found;
  };
  const std::vector<std::string> phones = {"alsa_output.usb-Sennheiser"};
  EXPECT_EQ(named("my headphones"), phones);
  EXPECT_EQ(named("the headphone"), phones) << "a word's beginning is enough";
  EXPECT_EQ(named("sennheiser"), phones) << "the server's own name counts too";
  EXPECT_EQ(named("the built in one"), std::vector<std::string>{"alsa_output.pci"});
  EXPECT_TRUE(named("bluetooth speaker").empty());
  EXPECT_EQ(named("audio").size(), 2u) << "both fit: the player is asked for more";
  EXPECT_EQ(named("the").size(), 2u);
  // A whole name, as the window sends it, is that output even where another holds its words.
  const std::vector<SoundOutput> twins = {{"hdmi.1", "HDMI Audio 2"}, {"hdmi.0", "HDMI Audio"}};
  const auto whole = outputsNamed("HDMI Audio", twins);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole.front().name, "hdmi.0");

  // No output has every word: the one with the most, when it alone has them.
  auto closest = [&](const std::string& asked) {
    auto found = closestOutput(asked, outputs);
    return found ? found->name : std::string("none");
  };
  EXPECT_EQ(closest("the usb speakers"), "alsa_output.usb-Sennheiser");
  EXPECT_EQ(closest("analog stereo headphones"), "alsa_output.pci") << "two words against one";
  EXPECT_EQ(closest("audio speakers"), "none") << "a tie is no guess";
  EXPECT_EQ(closest("bluetooth speaker"), "none");
}

}  // namespace
}  // namespace orvo
