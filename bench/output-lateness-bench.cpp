// How late the real binary's timed notes reach ORVO_MIDI_OUT, idle and beside
// two CPU-bound processes (stress-ng --cpu 2), measured by a harness whose
// reader and writing run at real-time priority (the binary, started in
// between, does not inherit it). Three players, each against its due time:
// - the live band's bass: isolated low notes 1 s apart, each bass note due
//   80 ms after its key;
// - the metronome's clicks at 240 a minute, each due a whole number of beats
//   after the first click (the first is the reference, so this is drift and
//   jitter);
// - the round's echoes: notes played into the round, each echo due the
//   round's delay after its note was written.
// Argument 1 times an earlier build's binary (ORVO_BENCH_BEFORE) in the same run.

#include <sched.h>

#include <functional>

#include "bench-figures.h"
#include "cpu-load.h"
#include "e2e/fifo-piano.h"

namespace {

using orvo::testing::Keyboard;
using orvo::testing::MidiOut;
using orvo::testing::OrvoProcess;

// Plays its part on a started binary and returns each note's lateness in
// milliseconds; an empty answer and `why` set when the part could not be played.
using Part =
    std::function<std::vector<double>(OrvoProcess&, Keyboard&, MidiOut&, std::string& why)>;

void atTheOutput(benchmark::State& state, bool loaded, const Part& part) {
  using namespace orvo::testing;
  orvo::bench::CpuLoad load(loaded, 2);
  if (loaded && !load.running()) return state.SkipWithError("stress-ng is not installed");
  sched_param high{sched_get_priority_min(SCHED_FIFO)};
  sched_param normal{0};
  const bool fifo = sched_setscheduler(0, SCHED_FIFO, &high) == 0;
  Piano piano;
  MidiOut out{piano.output};
  if (fifo) sched_setscheduler(0, SCHED_OTHER, &normal);
  auto options = piano.options();
  if (state.range(0) == 1) {
    const char* before = std::getenv("ORVO_BENCH_BEFORE");
    if (!before) return state.SkipWithError("ORVO_BENCH_BEFORE names no earlier binary");
    options.binary = before;
  }
  OrvoProcess orvo(options);
  if (fifo) sched_setscheduler(0, SCHED_FIFO, &high);
  if (!orvo.waitForPrefix("@welcome")) return state.SkipWithError("the binary did not start");
  Keyboard keys(piano.input);
  std::vector<double> late;
  std::string why;
  for (auto _ : state) {
    auto more = part(orvo, keys, out, why);
    late.insert(late.end(), more.begin(), more.end());
  }
  if (fifo) sched_setscheduler(0, SCHED_OTHER, &normal);
  if (late.empty()) return state.SkipWithError(why.empty() ? "nothing arrived" : why.c_str());
  orvo::bench::reportMillis(state, late, "notes");
  state.counters["harness_fifo"] = fifo;
}

std::vector<double> liveBandBass(OrvoProcess& orvo, Keyboard& keys, MidiOut& out,
                                 std::string& why) {
  orvo.write("b");
  if (!orvo.waitFor("@live 1")) {
    why = "the live band did not start";
    return {};
  }
  std::vector<double> late;
  static int pitchClass = 0;
  for (int n = 0; n < 20; ++n) {
    const int pitch = 28 + (pitchClass = (pitchClass + 5) % 12);
    const double written = MidiOut::now();
    keys.send({0x90, pitch, 80});
    Keyboard::wait(0.25);
    keys.send({0x80, pitch, 0});
    // A note within 0.9 s above a lower one is a chord tone, never a bass.
    Keyboard::wait(0.75);
    for (const auto& m : out.since(written)) {
      if (m.status == 0x91 && m.key == pitch) {
        late.push_back((m.at - (written + 0.080)) * 1000.0);
        break;
      }
    }
  }
  orvo.write("b");
  orvo.waitFor("@live 0");
  return late;
}

std::vector<double> metronomeClicks(OrvoProcess& orvo, Keyboard&, MidiOut& out, std::string& why) {
  const double from = MidiOut::now();
  orvo.write("~metronome 240\n");
  if (!orvo.waitFor("Metronome at 240.")) {
    why = "the metronome did not start";
    return {};
  }
  Keyboard::wait(20.0);
  orvo.write("~metronome off\n");
  orvo.waitFor("Metronome off.");
  std::vector<double> clicks, late;
  for (const auto& m : out.since(from)) {
    if (m.status == 0x99) clicks.push_back(m.at);
  }
  for (std::size_t k = 0; k < clicks.size(); ++k) {
    late.push_back((clicks[k] - (clicks[0] + 0.25 * static_cast<double>(k))) * 1000.0);
  }
  return late;
}

std::vector<double> roundEchoes(OrvoProcess& orvo, Keyboard& keys, MidiOut& out, std::string& why) {
  orvo.write("c");
  if (!orvo.waitForPrefix("Composition")) {
    why = "composition did not open";
    return {};
  }
  keys.phrase(16);
  for (const char* word : {"Backwards.", "Upside down.", "In minor."}) {
    orvo.write("\x1b[C");
    orvo.waitFor(word);
  }
  orvo.write("\x1b[C");
  auto round = orvo.waitForPrefix("Round. Play it again, and I will follow ");
  if (!round) {
    why = "the round did not start";
    return {};
  }
  const double delay = std::atof(round->c_str() + round->find("follow ") + 7);
  Keyboard::wait(0.5);
  std::vector<std::pair<double, int>> played;
  for (int i = 0; i < 30; ++i) {
    const int pitch = 48 + (i * 7) % 12;  // echoed an octave up, above every played note
    played.push_back({MidiOut::now(), pitch + 12});
    keys.send({0x90, pitch, 90});
    Keyboard::wait(0.12);
    keys.send({0x80, pitch, 0});
    Keyboard::wait(0.18);
  }
  Keyboard::wait(delay + 0.5);
  std::vector<double> late;
  for (const auto& m : out.since(played.front().first)) {
    if (m.status != 0x90 || m.velocity == 0) continue;
    for (auto& [at, pitch] : played) {
      if (at > 0 && pitch == m.key && m.at > at + delay / 2) {
        late.push_back((m.at - (at + delay)) * 1000.0);
        at = -1;  // each played note is matched once
        break;
      }
    }
  }
  orvo.write("cc");
  orvo.waitFor("@mode idle");
  return late;
}

// Each player, idle and beside two busy cores; argument 1 times an earlier build.
#define ORVO_LATENESS(name, loaded, part)            \
  BENCHMARK_CAPTURE(atTheOutput, name, loaded, part) \
      ->Arg(0)                                       \
      ->Arg(1)                                       \
      ->Iterations(2)                                \
      ->Unit(benchmark::kMillisecond)
ORVO_LATENESS(LiveBandBassIdle, false, liveBandBass);
ORVO_LATENESS(LiveBandBassBesideTwoBusyCores, true, liveBandBass);
ORVO_LATENESS(MetronomeClicksIdle, false, metronomeClicks);
ORVO_LATENESS(MetronomeClicksBesideTwoBusyCores, true, metronomeClicks);
ORVO_LATENESS(RoundEchoesIdle, false, roundEchoes);
ORVO_LATENESS(RoundEchoesBesideTwoBusyCores, true, roundEchoes);

}  // namespace
