#include "sound/output-route.h"

#include <gtest/gtest.h>

namespace orvo {
namespace {

TEST(OutputChoice, ComesBackAsKeptAndAGarbledFileIsNoChoice) {
  const OutputChoice chosen{"alsa_output.usb-headphones", "alsa_output.pci-analog"};
  EXPECT_EQ(OutputChoice::fromJson(chosen.json()), chosen);
  for (const char* garbled : {"", "{not json", "[]", R"({"voice": 3, "music": null})"}) {
    EXPECT_EQ(OutputChoice::fromJson(std::string(garbled)), OutputChoice{}) << garbled;
  }
  EXPECT_EQ(OutputChoice::fromJson(std::nullopt), OutputChoice{});
  EXPECT_EQ(OutputChoice::fromJson(R"({"voice": "phones"})").voice, "phones");
}

}  // namespace
}  // namespace orvo
