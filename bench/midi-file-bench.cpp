// Reading Standard MIDI Files, against python3-mido on the same files in the
// same run: notes found must agree; the ratio is mido's time over ours.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "compose/midi-file-reader.h"
#include "platform/child-process.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace {

// A format-1 file of `tracks` tracks, `notesPerTrack` notes each, written with
// running status (and a drum track, which neither reader counts as notes).
std::string makeFile(int tracks, int notesPerTrack) {
  std::mt19937 random(7);
  auto be32 = [](std::string& out, std::uint32_t v) {
    for (int s : {24, 16, 8, 0}) out.push_back(static_cast<char>((v >> s) & 0xFF));
  };
  auto varLen = [](std::string& out, std::uint32_t v) {
    char bytes[4];
    int n = 0;
    do {
      bytes[n++] = static_cast<char>(v & 0x7F);
      v >>= 7;
    } while (v);
    while (n--) out.push_back(static_cast<char>(bytes[n] | (n ? 0x80 : 0)));
  };
  std::string file("MThd\0\0\0\x06\0\x01", 10);
  file.push_back(static_cast<char>((tracks + 1) >> 8));
  file.push_back(static_cast<char>((tracks + 1) & 0xFF));
  file += std::string("\x01\xE0", 2);
  for (int t = 0; t <= tracks; ++t) {
    bool drums = t == tracks;
    int channel = drums ? 9 : t % 9;
    std::string events;
    events += std::string("\0\xFF\x03\x05track", 9);
    events.push_back(0);
    events.push_back(static_cast<char>(0x90 | channel));
    bool first = true;
    for (int n = 0; n < (drums ? notesPerTrack / 4 : notesPerTrack); ++n) {
      int pitch = 36 + static_cast<int>(random() % 60);
      if (!first) varLen(events, 60 + random() % 200);
      first = false;
      events.push_back(static_cast<char>(pitch));
      events.push_back(static_cast<char>(40 + random() % 80));
      varLen(events, 100 + random() % 300);
      events.push_back(static_cast<char>(pitch));
      events.push_back(0);  // a velocity-0 note-on ends it
    }
    events += std::string("\0\xFF\x2F\0", 4);
    file += "MTrk";
    be32(file, static_cast<std::uint32_t>(events.size()));
    file += events;
  }
  return file;
}

const char* kMido = R"(
import sys, time, mido
best = None
for _ in range(3):
    start = time.perf_counter()
    notes = 0
    for track in mido.MidiFile(sys.argv[1]).tracks:
        for message in track:
            if message.type == 'note_on' and message.velocity > 0 and message.channel != 9:
                notes += 1
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print(notes, best)
)";

void readVersusMido(benchmark::State& state, int tracks, int notesPerTrack) {
  orvo::testing::TempFolder folder;
  auto path = folder / "song.mid";
  std::string bytes = makeFile(tracks, notesPerTrack);
  orvo::files::writeFileAtomically(path, bytes);
  std::size_t notes = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto song = orvo::midifile::load(path);
    auto took = std::chrono::steady_clock::now() - start;
    if (!song) state.SkipWithError("not read");
    notes = song ? song->notes.size() : 0;
    state.SetIterationTime(std::chrono::duration<double>(took).count());
  }
  state.counters["file_KB"] = static_cast<double>(bytes.size()) / 1024.0;
  state.counters["notes"] = static_cast<double>(notes);

  auto child = orvo::ChildProcess::start({"/usr/bin/python3", "-c", kMido, path.string()});
  if (!child || child->wait(600) != 0) {
    state.counters["mido_notes"] = -1;  // python3-mido is not installed
    return;
  }
  long midoNotes = 0;
  double midoSeconds = 0;
  std::sscanf(child->output().c_str(), "%ld %lf", &midoNotes, &midoSeconds);
  state.counters["mido_notes"] = static_cast<double>(midoNotes);
  state.counters["mido_ms"] = midoSeconds * 1000;
  if (static_cast<std::size_t>(midoNotes) != notes) state.SkipWithError("the readers disagree");
}

void BM_ReadLessonSized(benchmark::State& state) {
  readVersusMido(state, 2, 100);
}
void BM_Read600KB(benchmark::State& state) {
  readVersusMido(state, 8, 10000);
}
void BM_Read20MB(benchmark::State& state) {
  readVersusMido(state, 16, 170000);
}
BENCHMARK(BM_ReadLessonSized)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(50);
BENCHMARK(BM_Read600KB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Read20MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
