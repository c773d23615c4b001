#include "compose/live-band.h"
#include "matchers.h"

#include <map>
#include <random>

namespace orvo {
namespace {

struct Message {
  std::uint8_t status, data1, data2;
  double at;
};

// A band on from t = 0 whose every message is recorded with its due time,
// driven by a clock that wakes exactly when the band asks.
struct Band {
  LiveBand band;
  std::vector<Message> sent;
  double clock = 0.0;

  Band() {
    band.setOut([this](const std::uint8_t* bytes, std::size_t, double due) {
      sent.push_back({bytes[0], bytes[1], bytes[2], due});
    });
    band.setOn(true, 0.0);
  }
  // The clock runs up to `t`, waking at every due time (and at `extra` ones).
  void runTo(double t, const std::vector<double>& extra = {}) {
    std::vector<double> wakes = extra;
    while (true) {
      double due = band.nextDue();
      auto early = std::find_if(wakes.begin(), wakes.end(), [&](double w) { return w < due; });
      if (early != wakes.end() && *early <= t) {
        due = *early;
        wakes.erase(early);
      }
      if (due > t) break;
      band.advance(due);
      clock = due;
    }
  }
  void note(int pitch, double t, int velocity = 80) {
    runTo(t);
    band.note(pitch, velocity, t);
  }
  void release(int pitch, double t) {
    runTo(t);
    band.release(pitch);
  }
  // Notes switched on and not off again, by channel and pitch.
  std::vector<std::pair<int, int>> stillSounding() const {
    std::map<std::pair<int, int>, int> held;
    for (const auto& m : sent) {
      if ((m.status & 0xF0) == 0x90) ++held[{m.status & 0x0F, m.data1}];
      if ((m.status & 0xF0) == 0x80) --held[{m.status & 0x0F, m.data1}];
    }
    std::vector<std::pair<int, int>> out;
    for (const auto& [note, count] : held) {
      if (count != 0) out.push_back(note);
    }
    return out;
  }
  std::vector<Message> ons(int channel) const {
    std::vector<Message> out;
    for (const auto& m : sent) {
      if (m.status == (0x90 | channel)) out.push_back(m);
    }
    return out;
  }
};

TEST(LiveBand, ABassNoteIsTakenExactlyEightyMillisecondsAfterItsCandidate) {
  Band b;
  b.note(36, 1.0);
  b.runTo(1.5);
  auto bass = b.ons(1);
  ASSERT_EQ(bass.size(), 1u);
  EXPECT_EQ(bass[0].data1, 36);
  EXPECT_DOUBLE_EQ(bass[0].at, 1.08);
  ASSERT_EQ(b.ons(2).size(), 1u);
  EXPECT_EQ(b.ons(2)[0].data1, 60);  // the pad's C nearest its centre
  EXPECT_EQ(b.ons(3)[0].data1, 48);  // the cello's C nearest 55
  EXPECT_DOUBLE_EQ(b.ons(3)[0].at, 1.08);

  // A second low note within 0.3 s of the change waits for the gap to pass.
  b.release(36, 1.1);
  b.note(31, 1.2);
  b.runTo(2.0);
  bass = b.ons(1);
  ASSERT_EQ(bass.size(), 2u);
  EXPECT_EQ(bass[1].data1, 31);
  EXPECT_DOUBLE_EQ(bass[1].at, 1.38);
}

TEST(LiveBand, TheLowestOfCloseNotesIsTheBassAndNotesAboveALowerOneAreNever) {
  Band b;
  b.note(40, 1.0);
  b.note(36, 1.05);  // lower, 50 ms later: the candidate's pitch, its time
  b.runTo(1.5);
  ASSERT_EQ(b.ons(1).size(), 1u);
  EXPECT_EQ(b.ons(1)[0].data1, 36);
  EXPECT_DOUBLE_EQ(b.ons(1)[0].at, 1.08);

  // 43 within 0.9 s of the 36 (released) lies over it: no new bass.
  b.release(36, 1.2);
  b.release(40, 1.2);
  b.note(43, 1.5);
  b.runTo(2.5);
  EXPECT_EQ(b.ons(1).size(), 1u);
}

TEST(LiveBand, PlayingTheRootsNoteAgainNeverBlocksTheNextBass) {
  Band b;
  b.note(36, 1.0);
  b.release(36, 1.2);
  b.note(48, 2.0);  // C again: a candidate of the root's own class
  b.release(48, 2.05);
  b.note(43, 2.1);  // G, higher than the stale candidate
  b.runTo(3.0);
  auto bass = b.ons(1);
  ASSERT_EQ(bass.size(), 2u);
  EXPECT_EQ(bass[1].data1, 31);
  EXPECT_DOUBLE_EQ(bass[1].at, 2.18);
}

TEST(LiveBand, ThePadHoldsThreeAndAStruckAgainNoteGoesOnSounding) {
  Band b;
  b.note(36, 1.0);
  for (int pitch : {52, 55, 59, 62}) b.note(pitch, 1.01);
  b.runTo(1.5);
  auto sounding = b.band.sounding();
  EXPECT_EQ(sounding.padCount, 3);
  // To G: the pad's C gets its off at +0.35; gathering C again before then
  // keeps it, with no new note-on and no off.
  for (int pitch : {36, 52, 55, 59, 62}) b.release(pitch, 1.6);
  b.note(31, 2.0);
  b.runTo(2.1);
  const std::size_t padOnsBefore = b.ons(2).size();
  b.note(60, 2.2);
  b.runTo(2.6);
  std::size_t cOns = 0, cOffs = 0;
  for (const auto& m : b.sent) {
    if (m.at <= 2.08 || m.data1 != 60) continue;
    cOns += m.status == 0x92;
    cOffs += m.status == 0x82;
  }
  EXPECT_EQ(cOns, 0u);
  EXPECT_EQ(cOffs, 0u);
  EXPECT_EQ(b.ons(2).size(), padOnsBefore);
}

TEST(LiveBand, TheSwellFadesWhenThePlayerStopsAndEverythingIsReleased) {
  Band b;
  for (int i = 0; i < 8; ++i) {
    b.note(36 + (i % 2) * 7, 1.0 + i * 0.5);
    b.release(36 + (i % 2) * 7, 1.3 + i * 0.5);
  }
  b.runTo(20.0);
  EXPECT_THAT(b.stillSounding(), ::testing::IsEmpty());
  int lastCC = -1;
  double lastAt = 0.0;
  for (const auto& m : b.sent) {
    if (m.status == 0xB2) {
      // Expression only moves by two or more.
      if (lastCC >= 0) {
        EXPECT_GE(std::abs(m.data2 - lastCC), 2);
      }
      lastCC = m.data2;
    }
    lastAt = m.at;
  }
  // The last note was at 4.5: 3.5 s of waiting, then the fade.
  EXPECT_GT(lastAt, 8.0);
  EXPECT_LT(lastAt, 12.0);
  EXPECT_FALSE(b.band.sounding().root);
}

TEST(LiveBand, WakingBetweenGridPointsNeverMovesTheSwell) {
  Band plain, woken;
  std::vector<double> extra;
  for (int i = 0; i < 400; ++i) extra.push_back(0.9 + i * 0.0173);
  for (Band* b : {&plain, &woken}) {
    b->note(36, 1.0);
    b->note(52, 1.02);
    b->note(43, 2.0);
  }
  plain.runTo(12.0);
  woken.runTo(12.0, extra);
  ASSERT_EQ(plain.sent.size(), woken.sent.size());
  for (std::size_t i = 0; i < plain.sent.size(); ++i) {
    EXPECT_EQ(plain.sent[i].status, woken.sent[i].status);
    EXPECT_EQ(plain.sent[i].data2, woken.sent[i].data2);
    EXPECT_DOUBLE_EQ(plain.sent[i].at, woken.sent[i].at);
  }
  // The swell keeps to the grid: every controller is due on a 25 ms point.
  for (const auto& m : plain.sent) {
    if ((m.status & 0xF0) != 0xB0) continue;
    double steps = m.at / LiveBand::kGrid;
    EXPECT_NEAR(steps, std::round(steps), 1e-6) << m.at;
  }
}

TEST(LiveBand, AThousandRandomStreamsLeaveNothingSounding) {
  std::mt19937 random(7);
  for (int run = 0; run < 1000; ++run) {
    Band b;
    double t = 0.5;
    std::vector<int> down;
    const int notes = 5 + static_cast<int>(random() % 60);
    for (int i = 0; i < notes; ++i) {
      // Bursts (a millisecond apart) and gaps, low and high keys, every velocity.
      t += random() % 4 == 0 ? 0.001 : (random() % 600) / 1000.0;
      int pitch = 21 + static_cast<int>(random() % 88);
      b.note(pitch, t, 1 + static_cast<int>(random() % 127));
      down.push_back(pitch);
      if (random() % 3 == 0 && !down.empty()) {
        b.release(down.front(), t + 0.01);
        down.erase(down.begin());
      }
      if (random() % 50 == 0) b.release(127 - pitch, t);  // never pressed
    }
    for (int pitch : down) b.release(pitch, t + 0.2);
    b.runTo(t + 15.0);
    std::map<std::pair<int, int>, int> held;
    for (const auto& m : b.sent) {
      const int kind = m.status & 0xF0, channel = m.status & 0x0F;
      ASSERT_TRUE(channel >= 1 && channel <= 3) << run;
      if (kind == 0x90) {
        ASSERT_GE(m.data2, 14);
        ASSERT_LE(m.data2, 110);
        ++held[{channel, m.data1}];
      } else if (kind == 0x80) {
        --held[{channel, m.data1}];
      } else {
        ASSERT_EQ(kind, 0xB0);
        ASSERT_EQ(m.data1, 11);
        ASSERT_NE(channel, 1);
      }
    }
    for (const auto& [key, count] : held) ASSERT_EQ(count, 0) << "run " << run;
  }
}

TEST(LiveBand, EveryKeyAtOnceAndAHundredNoteBurst) {
  Band b;
  for (int pitch = 21; pitch <= 108; ++pitch) b.note(pitch, 1.0 + (pitch - 21) * 0.0005, 127);
  for (int i = 0; i < 100; ++i) b.note(30 + i % 40, 1.1 + i * 0.0005, 1);
  b.runTo(1.5);
  EXPECT_LE(b.band.sounding().padCount, 3);
  for (int pitch = 21; pitch <= 108; ++pitch) b.release(pitch, 2.0);
  b.runTo(20.0);
  EXPECT_THAT(b.stillSounding(), ::testing::IsEmpty());
}

TEST(LiveBand, SwitchingOffSilencesAtOnceAndOffHearsNothing) {
  Band b;
  b.note(36, 1.0);
  b.note(52, 1.01);
  b.runTo(1.2);
  b.band.setOn(false, 1.2);
  EXPECT_THAT(b.stillSounding(), ::testing::IsEmpty());
  const std::size_t before = b.sent.size();
  EXPECT_EQ(b.band.note(40, 80, 1.5), LiveBand::kNever);
  EXPECT_EQ(b.band.advance(3.0), LiveBand::kNever);
  EXPECT_EQ(b.sent.size(), before);
  // On and off many times a second.
  for (int i = 0; i < 100; ++i) {
    b.band.setOn(i % 2 == 0, 3.0 + i * 0.01);
    b.band.note(36, 80, 3.0 + i * 0.01);
    b.band.advance(3.005 + i * 0.01);
  }
  b.band.setOn(false, 5.0);
  EXPECT_THAT(b.stillSounding(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace orvo
