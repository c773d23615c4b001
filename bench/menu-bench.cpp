// The song menu end to end, the real binary on FIFOs with every sentence
// printed (--text): from a key written to the piano's FIFO to the preview's
// first note-on read from ORVO_MIDI_OUT, over 200 presses alternating two
// songs (so each press previews). Split in two: key to the printed sentence
// (the note path, the menu's choice, the activity starting and the sentence
// printed), and sentence to the first note (the activity going on to play).

#include "bench-figures.h"
#include "e2e/fifo-piano.h"

namespace {

using orvo::testing::Keyboard;
using orvo::testing::MidiOut;
using orvo::testing::OrvoProcess;
using orvo::testing::Piano;

void BM_MenuKeyToPreviewNote(benchmark::State& state) {
  Piano piano;
  MidiOut out{piano.output};
  OrvoProcess orvo(piano.options());
  if (!orvo.waitForPrefix("@welcome")) return state.SkipWithError("the binary did not start");
  Keyboard keys(piano.input);
  orvo.write("m");
  auto layout = orvo.waitForPrefix("@menulevel 1 36 ");
  if (!layout || !orvo.waitForPrefix("Song menu.")) return state.SkipWithError("no song menu");
  // The first two easy songs, on 36 and 38.
  std::vector<std::string> names;
  std::string rest = layout->substr(std::string("@menulevel 1 ").size());
  for (std::size_t at = 0; at < rest.size() && names.size() < 2;) {
    const std::size_t bar = rest.find('|', at);
    const std::string entry =
        rest.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
    names.push_back(entry.substr(entry.find(' ') + 1));
    if (bar == std::string::npos) break;
    at = bar + 1;
  }
  if (names.size() < 2) return state.SkipWithError("fewer than two easy songs");
  std::vector<double> toNote, toSentence, sentenceToNote;
  for (auto _ : state) {
    for (int press = 0; press < 200; ++press) {
      const int which = press % 2;
      const double written = MidiOut::now();
      keys.send({0x90, which ? 38 : 36, 90});
      keys.send({0x80, which ? 38 : 36, 0});
      if (!orvo.waitForPrefix(names[static_cast<std::size_t>(which)] + ". ", 5.0)) continue;
      const double said = MidiOut::now();
      double note = 0;
      for (int tries = 0; tries < 500 && note == 0; ++tries) {
        for (const auto& m : out.since(written)) {
          if (m.status == 0x90 && m.velocity > 0) {
            note = m.at;
            break;
          }
        }
        if (note == 0) Keyboard::wait(0.0005);
      }
      if (note == 0) continue;
      toNote.push_back((note - written) * 1000.0);
      toSentence.push_back((said - written) * 1000.0);
      sentenceToNote.push_back((note - said) * 1000.0);
      Keyboard::wait(0.15);
    }
  }
  orvo.closeInput();
  orvo.waitExit();
  if (toNote.empty()) return state.SkipWithError("no preview was heard");
  orvo::bench::reportMillis(state, toNote, "presses");
  std::sort(toSentence.begin(), toSentence.end());
  std::sort(sentenceToNote.begin(), sentenceToNote.end());
  state.counters["sentence_p50_ms"] = toSentence[toSentence.size() / 2];
  state.counters["sentence_p99_ms"] = toSentence[toSentence.size() * 99 / 100];
  state.counters["play_p50_ms"] = sentenceToNote[sentenceToNote.size() / 2];
  state.counters["play_p99_ms"] = sentenceToNote[sentenceToNote.size() * 99 / 100];
}
BENCHMARK(BM_MenuKeyToPreviewNote)->Iterations(1)->Unit(benchmark::kSecond);

// The path inside the engine alone: a key in the menu (the note path, the
// choice, the preview's events and the activity handed to the runtime), the
// clock virtual so nothing waits. p50 and p99 in microseconds.
void BM_MenuKeyToActivity(benchmark::State& state) {
  orvo::bench::EngineWorld world;
  world.engine.computerKey('m');
  world.runtime.advance(1.0);
  std::vector<double> micros;
  int press = 0;
  for (auto _ : state) {
    const int key = press++ % 2 ? 38 : 36;
    const auto start = std::chrono::steady_clock::now();
    world.engine.noteEvent(key, 90);
    micros.push_back(orvo::bench::microsSince(start));
    state.PauseTiming();
    world.engine.noteEvent(key, 0);
    world.runtime.advance(0.01);
    world.backend.published.clear();
    state.ResumeTiming();
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_MenuKeyToActivity)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
