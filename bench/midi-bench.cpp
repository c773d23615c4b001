// The note path: parse plus the callback for one note-on, and a note written
// to the input stream coming back on the output stream when echoed through send.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "app/window.h"
#include "bench-figures.h"
#include "doubles/virtual-runtime.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/midi/raw/raw-midi-backend.h"
#include "platform/thread-runtime.h"
#include "sound/midi-io.h"
#include "temp-folder.h"

namespace {

void BM_ParseNoteOn(benchmark::State& state) {
  orvo::VirtualRuntime runtime;
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi(
      backend, runtime, [](const std::string&) {}, /*uiOn=*/false);
  int heard = 0;
  midi.setCallbacks({[&](int pitch, int velocity) { heard += pitch + velocity; }, [](bool) {}});
  const std::uint8_t note[] = {0x90, 60, 100};
  for (auto _ : state) {
    midi.parse(note, sizeof note);
    benchmark::DoNotOptimize(heard);
  }
}
BENCHMARK(BM_ParseNoteOn);

// With the window attached every note also becomes an "on" line for the window.
void BM_ParseNoteOnWithWindow(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  orvo::Window window(runtime.serial("lorimel.ui"), true, [](std::string_view) {});
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi(
      backend, runtime, [&](const std::string& line) { window.ui(line); }, true);
  int heard = 0;
  midi.setCallbacks({[&](int pitch, int velocity) { heard += pitch + velocity; }, [](bool) {}});
  const std::uint8_t note[] = {0x90, 60, 100};
  for (auto _ : state) {
    midi.parse(note, sizeof note);
    benchmark::DoNotOptimize(heard);
  }
  window.flush(5.0);
}
BENCHMARK(BM_ParseNoteOnWithWindow);

// The echo harness: a note on the input FIFO is parsed on the backend's
// reader thread and sent straight back, as a lesson echoes the player.
void BM_StreamToStream(benchmark::State& state) {
  orvo::testing::TempFolder folder;
  auto input = folder / "in";
  auto output = folder / "out";
  ::mkfifo(input.c_str(), 0600);
  ::mkfifo(output.c_str(), 0600);
  orvo::VirtualRuntime runtime;
  orvo::RawMidiBackend backend(input, output, [](const std::string&) {});
  orvo::MidiIO midi(
      backend, runtime, [](const std::string&) {}, /*uiOn=*/false);
  midi.setCallbacks(
      {[&](int pitch, int velocity) {
         midi.send({0x90, static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(velocity)});
       },
       [](bool) {}});
  int reader = ::open(output.c_str(), O_RDONLY | O_NONBLOCK);
  midi.start();
  int writer = ::open(input.c_str(), O_WRONLY);

  std::vector<double> micros;
  std::uint8_t note = 0;
  for (auto _ : state) {
    note = static_cast<std::uint8_t>((note + 1) % 128);
    std::uint8_t sent[3] = {0x90, note, 64};
    auto start = std::chrono::steady_clock::now();
    if (::write(writer, sent, 3) != 3) state.SkipWithError("write failed");
    std::uint8_t got[3];
    std::size_t have = 0;
    while (have < 3) {
      pollfd wait{reader, POLLIN, 0};
      if (::poll(&wait, 1, 1000) <= 0) {
        state.SkipWithError("no echo");
        break;
      }
      ssize_t n = ::read(reader, got + have, 3 - have);
      if (n > 0) have += static_cast<std::size_t>(n);
    }
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(took);
    micros.push_back(took * 1e6);
  }
  orvo::bench::reportMicros(state, micros);
  ::close(writer);
  ::close(reader);
}
BENCHMARK(BM_StreamToStream)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

}  // namespace
