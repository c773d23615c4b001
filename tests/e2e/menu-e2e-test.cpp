// The song menu through the real binary on FIFOs: held open from the piano,
// a song previewed on its key and started by the same key again.

#include "e2e/fifo-piano.h"
#include "matchers.h"

namespace orvo::testing {
namespace {

TEST(MenuSession, HoldTheTopKeyPreviewASongAndStartIt) {
  PianoSession s;
  ASSERT_TRUE(s.ready());
  s.keys.send({0x90, 108, 90});
  Keyboard::wait(1.3);
  s.keys.send({0x80, 108, 0});
  ASSERT_TRUE(s.orvo.waitFor("@mode menu"));
  auto layout = s.orvo.waitForPrefix("@menulevel 1 36 ");
  ASSERT_TRUE(layout);
  const std::string rest = layout->substr(std::string("@menulevel 1 36 ").size());
  const std::string first = rest.substr(0, rest.find('|'));
  ASSERT_TRUE(s.orvo.waitForPrefix("Song menu."));

  const double pressed = MidiOut::now();
  s.keys.send({0x90, 36, 90});
  s.keys.send({0x80, 36, 0});
  ASSERT_TRUE(s.orvo.waitForPrefix(first + ". Easy.")) << first;
  bool heard = false;
  for (int tries = 0; tries < 300 && !heard; ++tries) {
    for (const auto& m : s.out.since(pressed))
      heard = heard || (m.status == 0x90 && m.velocity > 0);
    if (!heard) Keyboard::wait(0.01);
  }
  EXPECT_TRUE(heard) << "the preview's notes on the MIDI output";

  s.keys.send({0x90, 36, 90});
  s.keys.send({0x80, 36, 0});
  ASSERT_TRUE(s.orvo.waitFor("@mode teach"));
  ASSERT_TRUE(s.orvo.waitForPrefix(first + "."));
  EXPECT_EQ(s.orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
