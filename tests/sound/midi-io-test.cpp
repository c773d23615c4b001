#include "sound/midi-io.h"

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/midi/loopback/loopback-midi-backend.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MidiIOTest : public ::testing::Test {
 protected:
  VirtualRuntime runtime;
  LoopbackMidiBackend backend;
  std::vector<std::string> lines;
  MidiIO midi{backend, runtime, [this](const std::string& line) { lines.push_back(line); }, true};
  std::vector<std::pair<int, int>> notes;
  std::vector<bool> pedals;

  std::vector<bool> keyboardsCame;  // true: one came, false: one went
  void listen() {
    midi.setCallbacks({[this](int pitch, int velocity) {
                         notes.push_back({pitch, velocity});
                       },
                       [this](bool down) { pedals.push_back(down); },
                       [this](bool connected) { keyboardsCame.push_back(connected); }});
  }
};

TEST_F(MidiIOTest, ParsesNotesAndPedalAndSkipsWhatItCannotUse) {
  midi.start();
  backend.play({0x90, 60, 100});  // before the engine listens: dropped
  EXPECT_THAT(notes, IsEmpty());
  listen();
  lines.clear();

  backend.play({0x90, 60, 100, 0x80, 60, 0});  // two messages in one packet
  backend.play({0x93, 62, 0});                 // velocity 0: a release, on any channel
  backend.play({0x90, 64, 80, 65, 80});        // running status: the second note is lost
  backend.play({0xF0, 1, 2, 0x90, 3, 0xF7, 0x90, 67, 70});  // sysex skipped whole
  backend.play({0xB0, 64, 127, 0xB0, 64, 10, 0xB0, 7, 100});
  backend.play({0xC0, 5, 0x90, 69, 60});     // a two-byte program change, then a note
  backend.play({0xFE, 0x90, 0xF8, 71, 50});  // a real-time byte inside a note
  backend.play({0x90, 72});                  // cut short at the end
  backend.play({0x90, 0x90, 74, 40});        // a status byte where data should be

  EXPECT_THAT(notes,
              ElementsAre(std::pair{60, 100}, std::pair{60, 0}, std::pair{62, 0}, std::pair{64, 80},
                          std::pair{67, 70}, std::pair{69, 60}, std::pair{74, 40}));
  EXPECT_THAT(pedals, ElementsAre(true, false));
  EXPECT_THAT(lines, ElementsAre("on 60 100", "on 60 0", "on 62 0", "on 64 80", "on 67 70",
                                 "on 69 60", "on 74 40"));
}

TEST_F(MidiIOTest, KeyboardsAreFollowedAndOurOwnSourcesNeverConnected) {
  backend.plug({"Orvo", 1});  // our own virtual source, by id
  backend.plug({"Digital Piano", 20});
  backend.plug({"Logic Pro Virtual Out", 21});
  backend.plug({"Lorimel bridge", 22});
  backend.plug({"Midi Through Port-0", 23});
  backend.plug({"Some Orvo echo", 24});
  midi.ignoreSources({"Logic", "Lorimel"});  // the studio's and the window's echoes
  midi.start();
  EXPECT_THAT(midi.keyboards(), ElementsAre("Digital Piano"));
  EXPECT_THAT(backend.connected, ElementsAre("Digital Piano"));
  EXPECT_THAT(lines, IsEmpty());  // start-up names the keyboards itself, once

  // Plugged in later: picked up from the main queue without a restart.
  backend.plug({"Stage Piano", 30});
  EXPECT_THAT(midi.keyboards(), ElementsAre("Digital Piano"));
  runtime.runReady();
  EXPECT_THAT(midi.keyboards(), ElementsAre("Digital Piano", "Stage Piano"));
  EXPECT_THAT(backend.connected, ElementsAre("Digital Piano", "Stage Piano"));
  EXPECT_EQ(lines.back(), "kbd Digital Piano, Stage Piano");

  // A notification that changes nothing sends no line.
  std::size_t count = lines.size();
  midi.connectSources();
  EXPECT_EQ(lines.size(), count);

  // A keyboard that goes away lets go of every key and the pedal it held.
  listen();
  backend.play({0x90, 60, 90, 0x90, 64, 90, 0x90, 67, 90, 0x80, 64, 0, 0xB0, 64, 127});
  notes.clear();
  pedals.clear();
  backend.unplugAll();
  runtime.runReady();
  EXPECT_THAT(midi.keyboards(), IsEmpty());
  EXPECT_EQ(lines.back(), "kbd ");
  EXPECT_THAT(notes, ElementsAre(std::pair{60, 0}, std::pair{67, 0}));
  EXPECT_THAT(pedals, ElementsAre(false));
  EXPECT_EQ(midi.whyNoKeyboards(), "no MIDI source is connected to the MIDI service");

  // ... once: a keyboard coming back releases nothing more.
  notes.clear();
  backend.plug({"Digital Piano", 20});
  runtime.runReady();
  backend.unplugAll();
  runtime.runReady();
  EXPECT_THAT(notes, IsEmpty());
  // Each coming and going is told, so it can be said.
  EXPECT_THAT(keyboardsCame, ElementsAre(false, true, false));
}

TEST_F(MidiIOTest, SendTracksSoundingNotesAndAllOffSilencesOnlyThose) {
  midi.start();
  midi.send({0x90, 60, 100});
  midi.send({0x91, 40, 90});
  midi.send({0x90, 64, 100});
  midi.send({0x90, 64, 0});  // released by a velocity-0 note on
  midi.send({0xB0, 64, 127});
  EXPECT_THAT(midi.sounding(), ElementsAre(std::pair{0, 60}, std::pair{1, 40}));
  // Only the piano part (channel 0) is shown to the window.
  EXPECT_THAT(lines, ElementsAre("out 60 100", "out 64 100", "out 64 0"));

  backend.published.clear();
  midi.allOff();
  EXPECT_THAT(backend.published, ElementsAre(Bytes{0x80, 60, 0}, Bytes{0x81, 40, 0}));
  EXPECT_THAT(midi.sounding(), IsEmpty());
  EXPECT_THAT(backend.toDestinations, IsEmpty());

  midi.alsoToPiano = true;
  midi.send({0x90, 48, 70});
  EXPECT_THAT(backend.toDestinations, ElementsAre(Bytes{0x90, 48, 70}));
}

TEST_F(MidiIOTest, TimedMessagesGoAheadWithTheirDueTimeAndAllOffStillReleasesThem) {
  midi.start();
  runtime.advance(10);
  // Due already: sent at once, with nothing handed ahead.
  const std::uint8_t due[3] = {0x91, 40, 90};
  midi.sendAt(due, 3, runtime.now());
  EXPECT_THAT(backend.published, ElementsAre(Bytes{0x91, 40, 90}));
  EXPECT_THAT(backend.scheduled, IsEmpty());

  // Ahead: the runtime's 0.25 s from now becomes the MIDI clock's.
  const std::int64_t before = midiClockNow();
  const std::uint8_t on[3] = {0x92, 50, 80};
  const std::uint8_t off[3] = {0x81, 40, 0};
  midi.sendAt(on, 3, runtime.now() + 0.25);
  midi.sendAt(off, 3, runtime.now() + 0.5);
  const std::int64_t after = midiClockNow();
  ASSERT_EQ(backend.scheduled.size(), 2u);
  EXPECT_EQ(backend.scheduled[0].bytes, (Bytes{0x92, 50, 80}));
  EXPECT_GE(backend.scheduled[0].due, before + 250'000'000);
  EXPECT_LE(backend.scheduled[0].due, after + 250'000'000);
  // A note-off given ahead may yet be dropped, so its note still counts.
  EXPECT_THAT(midi.sounding(), ElementsAre(std::pair{1, 40}, std::pair{2, 50}));

  backend.published.clear();
  midi.allOff();
  EXPECT_EQ(backend.drops, 1);
  EXPECT_THAT(backend.published, ElementsAre(Bytes{0x81, 40, 0}, Bytes{0x82, 50, 0}));
  EXPECT_THAT(midi.sounding(), IsEmpty());

  // The piano's own port has no timed output: such a message waits on the
  // runtime's clock, and one from before an allOff() is never sent.
  midi.alsoToPiano = true;
  const std::uint8_t piano[3] = {0x90, 60, 70};
  midi.sendAt(piano, 3, runtime.now() + 0.1);
  midi.sendAt(piano, 3, runtime.now() + 0.3);
  runtime.advance(0.2);
  EXPECT_THAT(backend.toDestinations, ElementsAre(Bytes{0x90, 60, 70}));
  midi.allOff();
  runtime.advance(0.5);
  EXPECT_THAT(backend.toDestinations, ElementsAre(Bytes{0x90, 60, 70}, Bytes{0x80, 60, 0}));
}

TEST_F(MidiIOTest, WithoutAMidiServiceEverythingCarriesOnQuietly) {
  backend.available = false;
  backend.plug({"Digital Piano", 20});
  midi.start();
  EXPECT_THAT(midi.keyboards(), IsEmpty());
  EXPECT_THAT(backend.connected, IsEmpty());
  midi.send({0x90, 60, 100});
  midi.allOff();
  EXPECT_THAT(midi.sounding(), IsEmpty());
}

}  // namespace
}  // namespace orvo
