// The note history, tidying a take, the last stretch of playing, and playback events.

#include "compose/take.h"
#include "compose/note-history.h"
#include "matchers.h"
#include "music-views.h"

namespace orvo {
namespace {

TEST(NoteHistory, PedalHeldNotesAndRepeatsEndWhereTheyShould) {
  NoteHistory history;
  history.record(60, 80, 10.0);
  history.pedal(true, 10.2);
  history.record(60, 0, 10.5);  // released under the pedal: still sounding
  EXPECT_EQ(history.entries()[0].end, -1.0);
  EXPECT_EQ(history.sustainedCount(), 1u);
  EXPECT_FALSE(history.held().test(60));

  // Extracted while the pedal is down, it ends now.
  auto now = history.notes(0, 12.0);
  ASSERT_THAT(now, SizeIs(1));
  EXPECT_DOUBLE_EQ(now[0].end, 2.0);
  // ... but never more than 30 s after its onset.
  EXPECT_DOUBLE_EQ(history.notes(0, 100.0)[0].end, 30.0);

  history.pedal(false, 13.0);
  EXPECT_DOUBLE_EQ(history.entries()[0].end, 13.0);
  EXPECT_EQ(history.sustainedCount(), 0u);

  // A note-off nobody pressed is ignored; a repeated note-on closes the first.
  history.record(64, 0, 14.0);
  history.record(62, 70, 15.0);
  history.record(62, 71, 15.5);
  ASSERT_THAT(history.entries(), SizeIs(3));
  EXPECT_DOUBLE_EQ(history.entries()[1].end, 15.5);
  EXPECT_EQ(history.entries()[2].end, -1.0);
  EXPECT_TRUE(history.held().test(62));
  history.record(62, 0, 16.0);
  EXPECT_DOUBLE_EQ(history.entries()[2].end, 16.0);
  EXPECT_FALSE(history.held().test(62));
  // Out-of-range pitches never enter.
  history.record(-1, 50, 17.0);
  history.record(128, 50, 17.0);
  EXPECT_THAT(history.entries(), SizeIs(3));
}

TEST(NoteHistory, TrimsOnlyWhenNothingIsHeldOrSustained) {
  NoteHistory history;
  double t = 0;
  auto play = [&](int pitch) {
    history.record(pitch, 60, t);
    history.record(pitch, 0, t + 0.05);
    t += 0.1;
  };
  for (std::size_t i = 0; i < NoteHistory::trimAbove; ++i) play(60 + static_cast<int>(i % 12));
  EXPECT_THAT(history.entries(), SizeIs(NoteHistory::trimAbove));
  play(60);  // one more: the oldest half goes
  EXPECT_THAT(history.entries(), SizeIs(NoteHistory::trimAbove + 1 - NoteHistory::trimCount));
  EXPECT_NEAR(history.entries().front().t, NoteHistory::trimCount * 0.1, 1e-6);

  // With one key stuck down nothing moves, however long it goes on.
  NoteHistory stuck;
  stuck.record(30, 60, 0);
  t = 1;
  for (int i = 0; i < 50000; ++i) {
    stuck.record(72, 60, t);
    stuck.record(72, 0, t + 0.05);
    t += 0.1;
  }
  EXPECT_THAT(stuck.entries(), SizeIs(50001));
  EXPECT_EQ(stuck.entries().front().pitch, 30);
  EXPECT_EQ(stuck.entries().front().end, -1.0);
  stuck.record(30, 0, t);  // released at last: now the oldest half can go
  EXPECT_THAT(stuck.entries(), SizeIs(50001 - NoteHistory::trimCount));
  // With the pedal down, released notes are sustained and block the trim too.
  NoteHistory pedalled;
  pedalled.pedal(true, 0);
  for (std::size_t i = 0; i <= NoteHistory::trimAbove; ++i) {
    pedalled.record(60, 60, static_cast<double>(i));
    pedalled.record(60, 0, static_cast<double>(i) + 0.5);
  }
  EXPECT_THAT(pedalled.entries(), SizeIs(NoteHistory::trimAbove + 1));
  pedalled.pedal(false, 1e5);
  EXPECT_DOUBLE_EQ(pedalled.entries().front().end, 1e5);
}

TEST(TidyTake, DropsAStrayStartBeforeALongPauseOnlyInTakesOfNineOrMore) {
  auto take = [](std::size_t count) {
    std::vector<RNote> notes = {{0, 0.5, 40}};
    for (std::size_t i = 1; i < count; ++i) {
      double t = 7.0 + static_cast<double>(i) * 0.5;
      notes.push_back({t, t + 0.4, 60 + static_cast<int>(i)});
    }
    return notes;
  };
  auto tidied = tidyTake(take(9));
  ASSERT_THAT(tidied, SizeIs(8));
  EXPECT_EQ(tidied[0].pitch, 61);
  EXPECT_DOUBLE_EQ(tidied[0].t, 0);
  EXPECT_NEAR(tidied[0].end, 0.4, 1e-9);
  EXPECT_THAT(tidyTake(take(8)), SizeIs(8));

  // Three strays, each before its own pause: all three go; a fourth would stay.
  std::vector<RNote> notes;
  double t = 0;
  for (int stray = 0; stray < 4; ++stray, t += 7) notes.push_back({t, t + 0.2, 30 + stray});
  for (int i = 0; i < 9; ++i, t += 0.5) notes.push_back({t, t + 0.3, 60 + i});
  auto cleaned = tidyTake(notes);
  EXPECT_EQ(cleaned.front().pitch, 33);
  EXPECT_DOUBLE_EQ(cleaned.front().t, 0);
  EXPECT_THAT(cleaned, SizeIs(10));
  // A pause later than the fifth onset is music, not a stray start.
  std::vector<RNote> late;
  for (int i = 0; i < 10; ++i) late.push_back({i < 5 ? i * 0.5 : 10.0 + i, 0, 60});
  EXPECT_THAT(tidyTake(late), SizeIs(10));
}

TEST(NoteHistory, TheLastStretchStartsAfterTheLastLongSilence) {
  NoteHistory history;
  auto note = [&](double t, double length, int pitch) {
    history.record(pitch, 70, t);
    history.record(pitch, 0, t + length);
  };
  EXPECT_TRUE(history.lastStretch(100).empty());
  note(0, 0.5, 48);  // an old passage
  note(1, 0.5, 50);
  note(20, 0.5, 60);  // 18.5 s of silence, then the stretch
  note(21, 0.5, 62);
  note(31.2, 0.5, 64);  // 9.7 s after the last note ended: still the same stretch
  EXPECT_THAT(pitches(history.lastStretch(40)), ElementsAre(60, 62, 64));
  // A long note ringing into the gap joins what follows it.
  NoteHistory ringing;
  ringing.record(36, 70, 0);
  ringing.record(36, 0, 15);
  ringing.record(60, 70, 20);
  ringing.record(60, 0, 21);
  EXPECT_THAT(pitches(ringing.lastStretch(22)), ElementsAre(36, 60));
  // Nothing in the last 900 s: nothing at all.
  EXPECT_TRUE(history.lastStretch(2000).empty());
}

TEST(Events, NotesSoundAtLeastFiftyMillisecondsAndValuesAreClamped) {
  std::vector<RNote> notes = {
      {1.0, 2.0, 60, 90, 0, -1}, {3.0, 3.01, 200, 0, 17, -1}, {4.0, 4.0, 0, 300, 1, 64}};
  auto out = events(notes);
  ASSERT_THAT(out, SizeIs(5));
  EXPECT_DOUBLE_EQ(out[0].t, 1.0);
  EXPECT_THAT(out[0].bytes, ElementsAre(0x90, 60, 90));
  EXPECT_DOUBLE_EQ(out[1].t, 1.99);  // 10 ms early
  EXPECT_THAT(out[1].bytes, ElementsAre(0x80, 60, 0));
  // Channel 17 is channel 1; pitch 200 is 127; velocity 0 plays at 1; at least 50 ms.
  EXPECT_THAT(out[2].bytes, ElementsAre(0x91, 127, 1));
  EXPECT_DOUBLE_EQ(out[3].t, 3.05);
  EXPECT_THAT(out[3].bytes, ElementsAre(0x81, 127, 0));
  // A controller: one message, its value clamped.
  EXPECT_DOUBLE_EQ(out[4].t, 4.0);
  EXPECT_THAT(out[4].bytes, ElementsAre(0xB1, 64, 127));
}

}  // namespace
}  // namespace orvo
