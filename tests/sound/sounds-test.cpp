// The built-in sound, rendered offline with the small General MIDI bank the
// Makefile installs; no sound device is needed.

#include "sound/sounds.h"
#include "sound/sound-levels.h"

#include <cmath>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "sound/midi-io.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kBank = "/usr/share/sounds/sf2/TimGM6mb.sf2";

std::vector<Ev> note(int channel, int key, double from, double to, int velocity = 100) {
  std::vector<Ev> events;
  addNote(events, from, channel, key, velocity, to - from);
  return events;
}

struct FakeOutput final : AudioOutput {
  explicit FakeOutput(std::shared_ptr<bool> alive) : alive(std::move(alive)) {}
  std::shared_ptr<bool> alive;
  bool running() override { return *alive; }
};

class SoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kBank)) GTEST_SKIP() << "the TimGM6mb bank is not installed";
  }
  testing::TempFolder home;
  VirtualRuntime runtime;
  FileStore store{home.path(), runtime, runtime.serial("orvo.store")};
  std::vector<std::string> logged;
  std::shared_ptr<bool> outputAlive = std::make_shared<bool>(true);
  int outputsOpened = 0;
  bool outputsWork = true;

  AudioRender lastRender;  // what the output opened last would pull from

  std::vector<std::string> told;  // what the player was told

  std::unique_ptr<Sounds> make(std::vector<std::string> banks = {kBank}) {
    return std::make_unique<Sounds>(Sounds::Parts{
        .runtime = runtime,
        .store = store,
        .log = [this](const std::string& line) { logged.push_back(line); },
        .banks = std::move(banks),
        .openOutput = [this](AudioRender render, int) -> std::unique_ptr<AudioOutput> {
          ++outputsOpened;
          lastRender = std::move(render);
          if (!outputsWork) return nullptr;
          return std::make_unique<FakeOutput>(outputAlive);
        },
        .tell = [this](const std::string& sentence) { told.push_back(sentence); },
    });
  }
};

TEST_F(SoundsTest, EveryPartSoundsOnItsOwnChannel) {
  for (const Part& part : band::parts()) {
    int key = part.drums ? 38 : 60;
    auto rendered = Sounds::render(kBank, false, 0, note(part.channel, key, 0, 0.5), 0.8);
    ASSERT_TRUE(rendered);
    for (int c = 0; c < 16; ++c) {
      float peak = rendered->channelPeaks[static_cast<std::size_t>(c)];
      if (c == part.channel) {
        EXPECT_GT(peak, 0.005f) << "channel " << c << " is silent";
      } else {
        EXPECT_EQ(peak, 0.0f) << "channel " << c << " sounded for channel " << part.channel;
      }
    }
  }
}

TEST_F(SoundsTest, TheClassicStyleIsOneDecibelQuieterForThePianoAndTwoForTheBand) {
  auto normal = SoundGraph::build(kBank, false, 0);
  auto classic = SoundGraph::build(kBank, true, 0);
  ASSERT_TRUE(normal && classic);
  auto db = [](float a, float b) { return 20.0 * std::log10(a / b); };
  EXPECT_NEAR(db(classic->channelGain(0), normal->channelGain(0)), -1.0, 1e-4);
  for (int channel : {4, 5, 7, 8, 10, 11}) {  // same volume in both styles
    EXPECT_NEAR(db(classic->channelGain(channel), normal->channelGain(channel)), -2.0, 1e-4);
  }
  // And what is heard agrees: the same piano chord, one decibel apart.
  std::vector<Ev> chord;
  for (int key : {60, 64, 67}) {
    auto n = note(0, key, 0, 1.0);
    chord.insert(chord.end(), n.begin(), n.end());
  }
  auto loud = Sounds::render(kBank, false, 0, chord, 1.2);
  auto soft = Sounds::render(kBank, true, 0, chord, 1.2);
  EXPECT_NEAR(Sounds::levels(soft->left).first - Sounds::levels(loud->left).first, -1.0, 0.05);
  // The band level moves every channel but the piano.
  normal->setBandLevel(6);
  EXPECT_NEAR(db(normal->channelGain(1), classic->channelGain(1) / 0.7f * 0.3f), 8.0, 1e-3);
}

TEST_F(SoundsTest, AKnockDuringTheBandDoesNotStopIt) {
  std::vector<Ev> band;
  for (auto part : {note(1, 40, 0, 2.0), note(2, 60, 0, 2.0)})
    band.insert(band.end(), part.begin(), part.end());
  auto withKnock = band;
  for (auto ev : note(9, 77, 1.0, 1.1, 66)) withKnock.push_back(ev);
  auto plain = Sounds::render(kBank, false, 0, band, 2.0);
  auto knocked = Sounds::render(kBank, false, 0, withKnock, 2.0);
  EXPECT_EQ(plain->channelPeaks[1], knocked->channelPeaks[1]);
  EXPECT_EQ(plain->channelPeaks[2], knocked->channelPeaks[2]);
  EXPECT_GT(knocked->channelPeaks[band::knockChannel], 0.005f);  // the knock's own channel
  EXPECT_EQ(knocked->channelPeaks[9], 0.0f);
  // The band is still sounding after the knock.
  std::vector<float> tail(knocked->left.begin() + 44100 * 3 / 2, knocked->left.end());
  EXPECT_GT(Sounds::levels(tail).first, -50.0);
}

// The knock and the chime are heard over a sentence, and a full band comes
// near full scale without clipping, with either bank.
TEST(SoundLevels, CuesAreHeardOverSpeechAndTheBandNeverClips) {
  int measured = 0;
  for (std::string bank :
       {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    if (!std::filesystem::exists(bank)) continue;
    auto levels = soundcheck::measure(bank);
    ASSERT_TRUE(levels) << bank;
    EXPECT_GT(levels->speechDB, -30.0) << "espeak-ng renders the sentence";
    EXPECT_TRUE(levels->inRange()) << bank << ": " << levels->describe();
    ++measured;
  }
  if (measured == 0) GTEST_SKIP() << "no General MIDI bank installed";

  // A loud chord over the band bends below full scale rather than clipping.
  std::vector<Ev> loud;
  for (int key : {36, 48, 55, 60, 64, 67, 72, 76, 79, 84}) addNote(loud, 0, 0, key, 127, 1.0);
  for (int c : {1, 2, 3, 6, 7, 8}) addNote(loud, 0, c, 48, 127, 1.0);
  auto rendered = Sounds::render("/usr/share/sounds/sf2/TimGM6mb.sf2", false, 12.0, loud, 1.0);
  ASSERT_TRUE(rendered);
  EXPECT_LE(rendered->report.peak, 1.0);
  EXPECT_EQ(rendered->report.clippedPercent, 0.0);
  // What the limit hid is still reported: the mix before it went over, and the limit worked.
  EXPECT_GT(rendered->report.sumPeak, 1.0);
  EXPECT_GT(rendered->report.sumOverPercent, 0.0);
  EXPECT_GE(rendered->report.limitedPercent, rendered->report.sumOverPercent);
  // Measuring renders at a lower rate, yet finds the same levels over the same length.
  auto atLowerRate = Sounds::measure("/usr/share/sounds/sf2/TimGM6mb.sf2", false, 12.0, loud, 1.0);
  ASSERT_TRUE(atLowerRate);
  EXPECT_NEAR(atLowerRate->sumPeak, rendered->report.sumPeak, 0.05 * rendered->report.sumPeak);
  EXPECT_NEAR(atLowerRate->sumOverPercent, rendered->report.sumOverPercent, 2.0);
  EXPECT_NEAR(atLowerRate->limitedPercent, rendered->report.limitedPercent, 2.0);
  // A soft note needs no limit: nothing over, nothing bent, before as after.
  std::vector<Ev> soft;
  addNote(soft, 0, 0, 60, 40, 0.5);
  auto quiet = Sounds::measure("/usr/share/sounds/sf2/TimGM6mb.sf2", false, 0.0, soft, 1.0);
  ASSERT_TRUE(quiet);
  EXPECT_LT(quiet->sumPeak, 0.5);
  EXPECT_NEAR(quiet->sumPeak, quiet->peak, 1e-6);
  EXPECT_EQ(quiet->sumOverPercent, 0.0);
  EXPECT_EQ(quiet->limitedPercent, 0.0);

  // Silence is not measured as sound; a steady half-scale square wave is -6 dB.
  std::vector<float> tone(44100, 0.0f);
  EXPECT_EQ(activeRmsDB(tone, 44100), -180);
  for (std::size_t i = 22050; i < tone.size(); ++i) tone[i] = (i % 2 ? 0.5f : -0.5f);
  EXPECT_NEAR(activeRmsDB(tone, 44100), -6.02, 0.01);
}

// A truncated or garbage bank gives way to the next one, and the player is told once.
TEST_F(SoundsTest, ABankThatCannotBeLoadedGivesWayToTheNextAndNoneIsNeverReady) {
  auto whole = files::readFile(kBank).value_or("");
  ASSERT_GT(whole.size(), 1000u);
  ASSERT_TRUE(files::writeFileAtomically(home / "cut.sf2", whole.substr(0, whole.size() / 2)));
  ASSERT_TRUE(files::writeFileAtomically(home / "junk.sf2", std::string(4096, 'x')));
  EXPECT_TRUE(SoundGraph::bankLooksWhole(kBank));
  EXPECT_FALSE(SoundGraph::bankLooksWhole((home / "cut.sf2").string()));
  EXPECT_FALSE(SoundGraph::bankLooksWhole((home / "junk.sf2").string()));
  EXPECT_FALSE(SoundGraph::bankLooksWhole((home / "missing.sf2").string()));

  auto sounds = make({(home / "junk.sf2").string(), (home / "cut.sf2").string(), kBank});
  sounds->start();
  EXPECT_TRUE(sounds->ready());
  sounds->revive("a test", true, true);  // a rebuild neither asks again nor tells again
  EXPECT_THAT(told,
              ElementsAre("I could not load the chosen sound bank, so I am using another one."));
  EXPECT_THAT(logged, Contains(HasSubstr("junk.sf2 could not be loaded")));
  EXPECT_THAT(logged, Contains(HasSubstr("plays " + kBank + " instead")));

  told.clear();
  auto silent = make({(home / "junk.sf2").string()});
  silent->start();
  EXPECT_FALSE(silent->ready());
  EXPECT_THAT(told,
              ElementsAre("I could not load the sound bank, so the built-in piano is silent."));

  // No bank at all is not news: the piano plays itself and notes go out as MIDI.
  told.clear();
  auto noBank = make({});
  noBank->start();
  EXPECT_THAT(told, IsEmpty());
  EXPECT_FALSE(noBank->ready());
  EXPECT_FALSE(noBank->mix(note(0, 60, 0, 0.1), 0.2));
  // Nor is there a sound without an output.
  outputsWork = false;
  auto noOutput = make();
  noOutput->start();
  EXPECT_FALSE(noOutput->ready());
}

TEST_F(SoundsTest, RoutingBetweenTheBuiltInSoundAndMidi) {
  auto sounds = make();
  LoopbackMidiBackend backend;
  MidiIO midi(
      backend, runtime, [](const std::string&) {}, false);
  midi.setSampler(sounds.get());
  midi.start();

  // Not started: everything, band included, goes out as MIDI.
  midi.send({0x91, 40, 90});
  EXPECT_THAT(backend.published, ElementsAre(Bytes{0x91, 40, 90}));

  sounds->start();
  ASSERT_TRUE(sounds->ready());
  backend.published.clear();
  midi.send({0x91, 40, 0});  // the band sounds here only
  midi.send({0x99, 77, 66});
  EXPECT_THAT(backend.published, IsEmpty());
  midi.send({0x90, 60, 90});  // the piano part also goes out for a studio to record
  EXPECT_THAT(backend.published, ElementsAre(Bytes{0x90, 60, 90}));
  midi.pianoHere = true;  // during a band playback it is part of the band
  midi.send({0x80, 60, 0});
  EXPECT_EQ(backend.published.size(), 1u);
}

// While Orvo talks the built-in sound goes down by the set amount, eased in
// and out, and comes back to where it was: against a twin that is never ducked.
TEST_F(SoundsTest, DuckingLowersEverythingPlayedBySetDecibelsAndBringsItBack) {
  std::unique_ptr<Sounds> sounds[2];
  AudioRender renders[2];
  for (int i = 0; i < 2; ++i) {
    sounds[i] = make();
    sounds[i]->start();
    ASSERT_TRUE(sounds[i]->ready() && lastRender);
    renders[i] = std::move(lastRender);
    const std::uint8_t chord[][3] = {{0x90, 60, 100}, {0x90, 64, 100}, {0x91, 40, 100}};
    for (const auto& on : chord) sounds[i]->play(on, 3);
  }
  // Decibels of the ducked one against the other, over the next tenth of a second.
  auto ducking = [&] {
    double sum[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      std::vector<float> left(4410), right(4410);
      renders[i](left.data(), right.data(), 4410);
      for (float v : left) sum[i] += double(v) * v;
    }
    return 10 * std::log10(sum[0] / sum[1]);
  };
  EXPECT_NEAR(ducking(), 0, 0.01);
  sounds[0]->duck(true);
  EXPECT_TRUE(sounds[0]->ducked());
  ducking();  // eased down within this block
  EXPECT_NEAR(ducking(), -Sounds::kDuckDB, 0.1);
  sounds[0]->duck(false);
  ducking();
  EXPECT_NEAR(ducking(), 0, 0.1);
}

TEST_F(SoundsTest, RebuildsAtMostOnceASecondAndOnlyWhenItWorks) {
  auto sounds = make();
  sounds->start();
  EXPECT_EQ(outputsOpened, 1);
  sounds->revive("the sound output changed", false);
  sounds->revive("the sound output changed", false);
  runtime.runReady();
  EXPECT_EQ(sounds->restarts(), 1);
  EXPECT_THAT(logged, ElementsAre("band sound restarted: the sound output changed"));
  runtime.advance(1.1);
  sounds->revive("a test", true);
  EXPECT_EQ(sounds->restarts(), 2);
  EXPECT_EQ(logged.size(), 2u);

  // A rebuild that fails keeps the old sound.
  runtime.advance(1.1);
  outputsWork = false;
  sounds->revive("the sound output changed", true);
  EXPECT_TRUE(sounds->ready());
  EXPECT_EQ(logged.back(), "band sound could not restart after: the sound output changed");

  // An output that stopped is rebuilt when the next note comes.
  runtime.advance(1.1);
  outputsWork = true;
  *outputAlive = false;
  std::uint8_t noteOn[] = {0x90, 60, 80};
  sounds->play(noteOn, 3);
  *outputAlive = true;
  runtime.runReady();
  EXPECT_EQ(logged.back(), "band sound restarted: it had stopped");
}

TEST_F(SoundsTest, TheBandLevelIsClampedKeptAsAWholeNumberAndReadBack) {
  auto sounds = make();
  EXPECT_EQ(sounds->level(), 0);
  EXPECT_EQ(sounds->setLevel(14.6), 12);
  runtime.runReady();  // the store writes on its own queue
  EXPECT_EQ(files::readFile(home / "band-level.txt"), "12\n");
  EXPECT_EQ(sounds->setLevel(-4.4), -4.4);
  runtime.runReady();
  EXPECT_EQ(files::readFile(home / "band-level.txt"), "-4\n");
  EXPECT_EQ(make()->level(), -4);
  files::writeFileAtomically(home / "band-level.txt", "loud");
  EXPECT_EQ(make()->level(), 0);
  files::writeFileAtomically(home / "band-level.txt", "-40");
  EXPECT_EQ(make()->level(), -12);
}

TEST_F(SoundsTest, ProbeMeasuresAnInstrument) {
  auto sounds = make();
  auto piano = sounds->probe(0, 60);
  auto pad = sounds->probe(8, 60);
  ASSERT_TRUE(piano && pad);
  EXPECT_LT(piano->attackSeconds, pad->attackSeconds);  // a piano speaks at once, a pad swells
  EXPECT_GT(piano->peakDB, -40);
  EXPECT_GT(piano->brightness, 0);
}

}  // namespace
}  // namespace orvo
