#include "desks/outputs-sentence.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvo
