// The live band and the jam through the real binary, on FIFOs.

#include <map>

#include "e2e/fifo-piano.h"
#include "matchers.h"

namespace orvo::testing {
namespace {

struct LiveSession : PianoSession {
  // The band's notes (channel, pitch) switched on since `from` and not off again.
  std::vector<std::pair<int, int>> sounding(double from) {
    std::map<std::pair<int, int>, int> held;
    for (const auto& m : out.since(from)) {
      int channel = m.status & 0x0F, kind = m.status & 0xF0;
      if (channel < 1 || channel > 3) continue;
      if (kind == 0x90 && m.velocity > 0) ++held[{channel, m.key}];
      if (kind == 0x80 || (kind == 0x90 && m.velocity == 0)) --held[{channel, m.key}];
    }
    std::vector<std::pair<int, int>> notes;
    for (const auto& [note, count] : held) {
      if (count > 0) notes.push_back(note);
    }
    return notes;
  }
};

TEST(LiveSession, TheBandFollowsThePianoAndLetsEverythingGo) {
  LiveSession s;
  ASSERT_TRUE(s.ready());
  s.orvo.write("b");
  ASSERT_TRUE(s.orvo.waitFor("@live 1"));
  ASSERT_TRUE(s.orvo.waitFor("Live band on. Just play, and the band follows you."));
  const double sent = MidiOut::now();
  s.keys.send({0x90, 36, 90});
  Keyboard::wait(0.02);
  s.keys.send({0x90, 52, 80});
  s.keys.send({0x90, 55, 80});
  Keyboard::wait(1.0);
  for (int pitch : {36, 52, 55}) s.keys.send({0x80, pitch, 0});
  auto out = s.out.since(sent);
  auto first = [&](int status, int key) -> const MidiOut::Message* {
    for (const auto& m : out) {
      if (m.status == status && (key < 0 || m.key == key)) return &m;
    }
    return nullptr;
  };
  const auto* bass = first(0x91, 36);
  ASSERT_NE(bass, nullptr);
  EXPECT_GE(bass->at - sent, 0.080 - 0.001) << "due 80 ms after the key: never early";
  EXPECT_LT(bass->at - sent, 0.25);
  EXPECT_NE(first(0x92, -1), nullptr);  // the pad
  EXPECT_NE(first(0x93, -1), nullptr);  // the cello
  EXPECT_NE(first(0xB2, 11), nullptr);  // the swell
  EXPECT_NE(first(0xB3, 11), nullptr);
  // 3.5 s of quiet and the fade: then nothing sounds.
  Keyboard::wait(6.0);
  EXPECT_THAT(s.sounding(sent), ::testing::IsEmpty());
  s.orvo.write("b");
  EXPECT_TRUE(s.orvo.waitFor("@live 0"));
  EXPECT_TRUE(s.orvo.waitFor("Live band off."));
  EXPECT_EQ(s.orvo.closeWindow(), 0);
}

TEST(LiveSession, TheJamAnswersAPhraseWithAVariationOfIt) {
  LiveSession s;
  ASSERT_TRUE(s.ready());
  s.orvo.write("~speak jam with me\n");
  ASSERT_TRUE(s.orvo.waitForPrefix("Let's talk in music."));
  Keyboard::wait(0.3);
  s.keys.phrase(5);
  const double ended = MidiOut::now();
  Keyboard::wait(3.0);
  int answered = 0;
  double firstAt = 0;
  for (const auto& m : s.out.since(ended)) {
    if (m.status == 0x90 && m.velocity > 0 && answered++ == 0) firstAt = m.at;
  }
  EXPECT_EQ(answered, 5);
  // 1.25 s after the phrase's last note.
  EXPECT_GT(firstAt - s.keys.sentAt.back(), 1.2);
  EXPECT_EQ(s.orvo.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
