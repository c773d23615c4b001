// The band: arranging a take, writing it as a MIDI file (against python3-mido
// and @tonejs/midi), the --reband one-off against the fluidsynth command, and
// how late a band playback and the round's echoes reach the MIDI output.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "bench-figures.h"
#include "compose/analysis.h"
#include "compose/band.h"
#include "compose/beat.h"
#include "compose/midi-file-writer.h"
#include "compose/take.h"
#include "outside-programs.h"
#include "platform/midi/raw/raw-midi-backend.h"
#include "platform/random.h"
#include "platform/thread-runtime.h"
#include "rooms/compose/compose-room.h"
#include "sound/sounds.h"

namespace {

using orvo::RNote;

// A player's take: a melody over C G Am F, one chord a bar at 100 beats a
// minute, with the chord's bass held under it, `count` notes in all.
std::vector<RNote> generatedTake(int count, double seconds, std::uint64_t seed) {
  orvo::Random random(seed);
  const int roots[] = {48, 55, 57, 53};
  const int scale[] = {0, 2, 4, 5, 7, 9, 11};
  std::vector<RNote> take;
  const double step = seconds / count * 1.25;  // four melody notes for each bass note
  double t = 0;
  for (int i = 0; static_cast<int>(take.size()) < count; ++i) {
    const int bar = static_cast<int>(t / 2.4) % 4;
    if (i % 4 == 0) take.push_back({t, t + 4 * step * 0.95, roots[bar], 70});
    const int pitch = 72 + scale[random.below(7)] - (random.below(2) ? 12 : 0);
    take.push_back({t, t + step * 0.9, pitch, 60 + random.below(40)});
    t += step;
  }
  take.resize(static_cast<std::size_t>(count));
  return orvo::tidyTake(take);
}

void BM_BandFull(benchmark::State& state, const char* style) {
  const auto take = generatedTake(1000, 180, 7);
  const orvo::Analysis analysis = orvo::analyse(take);
  std::vector<double> micros;
  std::size_t notes = 0;
  for (auto _ : state) {
    orvo::Random random(3);
    auto start = std::chrono::steady_clock::now();
    auto band = orvo::bandFull(take, analysis, style, random);
    micros.push_back(orvo::bench::microsSince(start));
    notes = band.size();
    benchmark::DoNotOptimize(band.data());
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["band_notes"] = static_cast<double>(notes);
}
BENCHMARK_CAPTURE(BM_BandFull, classic, "classic")->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BandFull, simple, "simple")->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BandFull, full, "full")->Iterations(200)->Unit(benchmark::kMillisecond);

// A take and its full band as tracks, about 20,000 events in all.
orvo::MidiTracks bandedTracks() {
  const auto take = generatedTake(2400, 420, 5);
  orvo::Random random(9);
  orvo::MidiTracks tracks = {{"Piano", take}};
  for (auto& track : orvo::bandTracks(orvo::bandFull(take, orvo::analyse(take), "full", random)))
    tracks.push_back(std::move(track));
  return tracks;
}

// The tracks as JSON for the peers: per track its name and [t, end, pitch,
// velocity, channel, controller] records, in seconds at 120 beats a minute.
void writePeerInput(const orvo::MidiTracks& tracks, const std::filesystem::path& path) {
  nlohmann::json out = nlohmann::json::array();
  for (const auto& [name, records] : tracks) {
    nlohmann::json notes = nlohmann::json::array();
    for (const RNote& r : records) notes.push_back({r.t, r.end, r.pitch, r.vel, r.ch, r.cc});
    out.push_back({{"name", name}, {"notes", notes}});
  }
  orvo::files::writeFileAtomically(path, out.dump());
}

// Builds and saves the same file with mido: tempo track, named tracks, each
// note's on and off and each controller at its tick. Prints microseconds per file.
const char* kMidoScript = R"(import json, sys, time, mido
tracks = json.load(open(sys.argv[1]))
def build():
    f = mido.MidiFile(type=1, ticks_per_beat=480)
    t0 = mido.MidiTrack(); f.tracks.append(t0)
    t0.append(mido.MetaMessage('set_tempo', tempo=500000, time=0))
    t0.append(mido.MetaMessage('time_signature', numerator=4, denominator=4, time=0))
    for tr in tracks:
        evs = []
        for t, end, pitch, vel, ch, cc in tr['notes']:
            a = round(t * 960)
            if cc >= 0:
                evs.append((a, 1, mido.Message('control_change', channel=ch, control=cc, value=vel)))
            else:
                evs.append((a, 1, mido.Message('note_on', channel=ch, note=pitch, velocity=vel)))
                evs.append((max(a + 1, round(end * 960)), 0, mido.Message('note_off', channel=ch, note=pitch, velocity=0)))
        evs.sort(key=lambda e: (e[0], e[1]))
        track = mido.MidiTrack(); track.append(mido.MetaMessage('track_name', name=tr['name'], time=0))
        last = 0
        for a, _, m in evs:
            track.append(m.copy(time=a - last)); last = a
        f.tracks.append(track)
    return f
n = int(sys.argv[3]); start = time.perf_counter()
for i in range(n): build().save(sys.argv[2])
print((time.perf_counter() - start) / n * 1e6)
)";

// The same with @tonejs/midi: a Midi with named tracks of notes and control
// changes, then toArray() and a write.
const char* kToneScript = R"(const fs = require('fs');
const { Midi } = require(process.argv[2] + '/@tonejs/midi');
const tracks = JSON.parse(fs.readFileSync(process.argv[3]));
const n = +process.argv[5];
const start = process.hrtime.bigint();
for (let i = 0; i < n; i++) {
  const midi = new Midi();
  midi.header.setTempo(120);
  for (const tr of tracks) {
    const track = midi.addTrack();
    track.name = tr.name;
    for (const [t, end, pitch, vel, ch, cc] of tr.notes) {
      track.channel = ch;
      if (cc >= 0) track.addCC({ number: cc, value: vel / 127, time: t });
      else track.addNote({ midi: pitch, time: t, duration: end - t, velocity: vel / 127 });
    }
  }
  fs.writeFileSync(process.argv[4], Buffer.from(midi.toArray()));
}
console.log(Number(process.hrtime.bigint() - start) / 1000 / n);
)";

std::string toneFolder() {
  std::string folder = std::string(ORVO_SOURCE_DIR) + "/.peers/node_modules";
  return std::filesystem::exists(folder + "/@tonejs/midi") ? folder : "";
}

void BM_WriteMIDIFileAgainstMidoAndTone(benchmark::State& state) {
  orvo::testing::TempFolder work;
  const auto tracks = bandedTracks();
  std::size_t events = 0;
  for (const auto& [name, records] : tracks) {
    for (const RNote& r : records) events += r.cc < 0 ? 2 : 1;
  }
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(orvo::writeMIDIFile(work / "ours.mid", 120, tracks));
    micros.push_back(orvo::bench::microsSince(start));
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["events"] = static_cast<double>(events);
  const double ours = micros[micros.size() / 2];
  writePeerInput(tracks, work / "tracks.json");
  orvo::files::writeFileAtomically(work / "with-mido.py", kMidoScript);
  const std::string mido = orvo::testing::commandOutput(
      "/usr/bin/python3 '" + (work / "with-mido.py").string() + "' '" +
      (work / "tracks.json").string() + "' '" + (work / "mido.mid").string() + "' 5 2>/dev/null");
  if (double theirs = std::atof(mido.c_str()); theirs > 0) {
    state.counters["mido_us"] = theirs;
    state.counters["mido_ratio"] = theirs / ours;
  }
  if (const std::string tone = toneFolder(); !tone.empty()) {
    orvo::files::writeFileAtomically(work / "tone.js", kToneScript);
    const std::string out =
        orvo::testing::commandOutput("node '" + (work / "tone.js").string() + "' '" + tone + "' '" +
                                     (work / "tracks.json").string() + "' '" +
                                     (work / "tone.mid").string() + "' 20 2>/dev/null");
    if (double theirs = std::atof(out.c_str()); theirs > 0) {
      state.counters["tone_us"] = theirs;
      state.counters["tone_ratio"] = theirs / ours;
    }
  }
}
BENCHMARK(BM_WriteMIDIFileAgainstMidoAndTone)->Iterations(50)->Unit(benchmark::kMillisecond);

// Wall seconds a shell command takes; negative when it fails.
double secondsOf(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return status == 0 ? seconds : -1;
}

// --reband on the largest Debian MIDI file, then fluidsynth rendering our
// output with the same bank, in the same run.
void BM_RebandAgainstFluidsynth(benchmark::State& state) {
  auto files = orvo::testing::debianMidiFiles();
  if (files.empty()) return state.SkipWithError("no Debian MIDI files (make test-deps)");
  auto largest = *std::max_element(files.begin(), files.end(), [](auto& a, auto& b) {
    return std::filesystem::file_size(a) < std::filesystem::file_size(b);
  });
  auto bank = orvo::Sounds::findBank();
  if (!bank) return state.SkipWithError("no sound bank");
  orvo::testing::TempFolder work;
  const std::string out = (work / "out.mid").string();
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    ours = secondsOf("ORVO_HOME='" + work.path().string() +
                     "' ORVO_SEED=1 '" ORVO_BINARY "' --reband '" + largest.string() + "' '" + out +
                     "' >/dev/null 2>&1");
    theirs = secondsOf("fluidsynth -ni -F '" + (work / "out.wav").string() + "' '" + *bank + "' '" +
                       out + "' >/dev/null 2>&1");
  }
  state.counters["ours_s"] = ours;
  if (theirs > 0) {
    state.counters["fluidsynth_s"] = theirs;
    state.counters["ratio"] = ours / theirs;
  } else {
    state.counters["fluidsynth_s"] = -1;  // the fluidsynth command is not installed
  }
}
BENCHMARK(BM_RebandAgainstFluidsynth)->Iterations(1)->Unit(benchmark::kSecond);

// --reband on an album's length: a 39-minute piano part (about 18,000 notes,
// the player's hands at a steady pace) with nothing else in the file, so the
// band is made for all of it. Target: under 30 s on two cores.
void BM_RebandThirtyNineMinutes(benchmark::State& state) {
  orvo::testing::TempFolder work;
  const auto file = work / "album.mid";
  if (!orvo::writeMIDIFile(file, 100, {{"Piano", generatedTake(18000, 39 * 60, 7)}})) {
    return state.SkipWithError("could not write the album");
  }
  double seconds = 0;
  for (auto _ : state) {
    seconds = secondsOf("ORVO_HOME='" + work.path().string() +
                        "' ORVO_SEED=1 '" ORVO_BINARY "' --reband '" + file.string() + "' '" +
                        (work / "out.mid").string() + "' >/dev/null 2>&1");
  }
  state.counters["seconds"] = seconds;
}
BENCHMARK(BM_RebandThirtyNineMinutes)->Iterations(1)->Unit(benchmark::kSecond);

// An engine on real threads whose MIDI output is a FIFO, read by a thread that
// stamps each three-byte message as it arrives.
struct OutputWorld {
  orvo::testing::TempFolder home;
  std::filesystem::path fifo = home / "midi-out";
  bool made = ::mkfifo(fifo.c_str(), 0600) == 0;
  int readFd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  orvo::ThreadRuntime runtime{3};
  orvo::RawMidiBackend backend{"", fifo, [](const std::string&) {}};
  orvo::bench::EngineWorld world{home.path(), nullptr, &runtime, &backend};
  orvo::Engine& engine = world.engine;
  std::thread mainLoop{[this] { runtime.runMainLoop(); }};

  struct Arrival {
    double at;
    std::array<std::uint8_t, 3> bytes;
  };
  std::mutex mutex;
  std::vector<Arrival> arrivals;
  std::atomic<bool> reading{true};
  std::thread reader{[this] { read(); }};

  OutputWorld() { world.midi.start(); }
  ~OutputWorld() {
    reading = false;
    reader.join();
    runtime.stopMainLoop();
    mainLoop.join();
    ::close(readFd);
  }
  void read() {
    std::array<std::uint8_t, 3> message{};
    std::size_t have = 0;
    while (reading) {
      pollfd p{readFd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buffer[256];
      const ssize_t n = ::read(readFd, buffer, sizeof buffer);
      const double at = runtime.now();
      for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] & 0x80) have = 0;
        if (have < 3) message[have++] = buffer[i];
        if (have == 3) {
          std::lock_guard guard(mutex);
          arrivals.push_back({at, message});
          have = 0;
        }
      }
    }
  }
  std::vector<Arrival> take() {
    std::lock_guard guard(mutex);
    return std::exchange(arrivals, {});
  }
};

// Milliseconds late at the output: the 50th and 99th percentile and the worst.
void reportLateness(benchmark::State& state, std::vector<double>& late) {
  if (late.empty()) return state.SkipWithError("nothing arrived at the output");
  orvo::bench::reportMillis(state, late, "messages");
}

// A 60 s take with the full band, played as the top key plays it; each
// message's due time is the playback's start plus the event's time.
void BM_BandPlaybackLateness(benchmark::State& state) {
  OutputWorld world;
  const auto take = generatedTake(400, 60, 11);
  orvo::Random random(2);
  std::vector<orvo::Ev> events = orvo::events(take);
  const auto band = orvo::events(orvo::bandFull(take, orvo::analyse(take), "full", random));
  events.insert(events.end(), band.begin(), band.end());
  std::stable_sort(events.begin(), events.end(),
                   [](const orvo::Ev& a, const orvo::Ev& b) { return a.t < b.t; });
  std::vector<double> late;
  world.take();
  for (auto _ : state) {
    std::atomic<double> started{0};
    std::atomic<bool> done{false};
    world.engine.run([&](int gen) {
      started = world.runtime.now();
      world.engine.play(events, gen);
      done = true;
    });
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto arrived = world.take();
    for (std::size_t i = 0; i < std::min(arrived.size(), events.size()); ++i) {
      late.push_back(1000 * (arrived[i].at - (started + events[i].t)));
    }
  }
  reportLateness(state, late);
}
BENCHMARK(BM_BandPlaybackLateness)->Iterations(1)->Unit(benchmark::kSecond);

// The round: a phrase, the next key four times, then notes played into the
// round; each echo is due its delay after the note was played.
void BM_RoundEchoLateness(benchmark::State& state) {
  OutputWorld world;
  orvo::Engine& engine = world.engine;
  const orvo::ButtonKeys& keys = engine.keys();
  auto pause = [](double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); };
  engine.command(keys.compose);
  std::vector<RNote> phrase;
  for (int i = 0; i < 16; ++i) {
    const int pitch = 60 + (i * 5) % 12;
    const double t = world.runtime.now();
    engine.noteEvent(pitch, 80);
    pause(0.2);
    engine.noteEvent(pitch, 0);
    pause(0.05);
    phrase.push_back({t, t + 0.2, pitch, 80});
  }
  const auto beat = orvo::steadyBeat(orvo::tidyTake(phrase));
  const double delay = beat ? std::clamp(8 * *beat, 2.0, 8.0) : 4.0;
  for (int i = 0; i < 4; ++i) {
    engine.command(keys.next);
    pause(0.1);
  }
  pause(0.5);
  world.take();
  std::vector<double> late;
  for (auto _ : state) {
    std::vector<std::pair<double, int>> played;
    for (int i = 0; i < 40; ++i) {
      const int pitch = 48 + (i * 7) % 24;
      played.push_back({world.runtime.now(), pitch + 12});
      engine.noteEvent(pitch, 90);
      pause(0.07);
      engine.noteEvent(pitch, 0);
      pause(0.05);
    }
    pause(delay + 0.3);
    for (const auto& arrival : world.take()) {
      if ((arrival.bytes[0] & 0xF0) != 0x90) continue;
      for (auto& [at, pitch] : played) {
        // The played note itself comes out at once; its echo only after the delay.
        if (pitch == arrival.bytes[1] && at > 0 && arrival.at > at + delay / 2) {
          late.push_back(1000 * (arrival.at - (at + delay)));
          at = -1;  // each played note is matched once
          break;
        }
      }
    }
  }
  state.counters["delay_s"] = delay;
  reportLateness(state, late);
}
BENCHMARK(BM_RoundEchoLateness)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
