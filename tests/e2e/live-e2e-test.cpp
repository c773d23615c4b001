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

  // Two Returns within 0.9 s at home, and "~live", switch it too.
  s.orvo.write("\n");
  Keyboard::wait(0.5);
  s.orvo.write("\n");
  EXPECT_TRUE(s.orvo.waitFor("@live 1"));
  s.orvo.write("~live\n");
  EXPECT_TRUE(s.orvo.waitFor("@live 0"));
  s.orvo.closeInput();
  EXPECT_EQ(s.orvo.waitExit(), 0);
}

TEST(LiveSession, ATakeWithItsBandSilencesTheLiveBandFirst) {
  LiveSession s;
  ASSERT_TRUE(s.ready());
  s.orvo.write("c");
  ASSERT_TRUE(s.orvo.waitFor("@mode compose"));
  s.orvo.write("b");
  ASSERT_TRUE(s.orvo.waitFor("@live 1"));
  const double start = MidiOut::now();
  s.keys.send({0x90, 36, 90});
  s.keys.phrase(8);
  s.keys.send({0x80, 36, 0});
  // What the live band sounds when the take with its band is asked for...
  const auto held = s.sounding(start);
  EXPECT_FALSE(held.empty());
  const double pressed = MidiOut::now();
  s.orvo.write(" ");
  Keyboard::wait(0.5);
  // ... is let go at once, before the take's band begins.
  for (const auto& note : held) {
    bool released = false;
    for (const auto& m : s.out.since(pressed)) {
      released |= m.status == (0x80 | note.first) && m.key == note.second && m.at - pressed < 0.3;
    }
    EXPECT_TRUE(released) << note.first << " " << note.second;
  }
  s.orvo.closeInput();
  EXPECT_EQ(s.orvo.waitExit(), 0);
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
  s.orvo.closeInput();
  EXPECT_EQ(s.orvo.waitExit(), 0);
}

}  // namespace
}  // namespace orvo::testing
