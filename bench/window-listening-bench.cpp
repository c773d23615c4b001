// The window's recogniser on Orvo's words, by synthetic voice: a command set
// said after the name and chatter without it (bench/data), spoken by
// espeak-ng and Festival's voices, streamed to the recogniser as the
// microphone would (quiet between sentences), alone and with a piano 20 dB
// under the voice. Per voice: the share of commands acted on as said (the
// recognised request routes to the same family and operation), the word
// error rate, false wakes on chatter, end of speech to the final result,
// CPU share of one core while listening, and memory.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "bench-figures.h"
#include "diagnostics/one-off.h"
#include "diagnostics/trace-world.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/files.h"
#include "platform/text-pieces.h"
#include "sound/sounds.h"
#include "temp-folder.h"
#include "window/language-model.h"
#include "window/pronunciations.h"
#include "window/recogniser-model.h"

namespace {

using Samples = std::vector<std::int16_t>;
constexpr int kRate = 16000;

struct Voice {
  const char* name;
  std::string (*command)(const std::string& text, const std::string& wav);
};

const Voice kVoices[] = {
    {"espeak-ng en-us",
     [](const std::string& text, const std::string& wav) {
       return "espeak-ng -v en-us -s 160 -w '" + wav + "' \"" + text + "\"";
     }},
    {"festival slt",
     [](const std::string& text, const std::string& wav) {
       return "echo \"" + text + "\" | text2wave -eval '(voice_cmu_us_slt_arctic_hts)' -o '" + wav +
              "'";
     }},
    {"festival kal",
     [](const std::string& text, const std::string& wav) {
       return "echo \"" + text + "\" | text2wave -eval '(voice_kal_diphone)' -o '" + wav + "'";
     }},
    {"festival ked",
     [](const std::string& text, const std::string& wav) {
       return "echo \"" + text + "\" | text2wave -eval '(voice_ked_diphone)' -o '" + wav + "'";
     }},
};

std::vector<std::string> sentences(const char* file) {
  std::vector<std::string> out;
  auto text = orvo::files::readFile(std::string(ORVO_SOURCE_DIR) + "/bench/data/" + file);
  for (const auto& line : orvo::text::lines(text.value_or(""))) {
    if (!line.empty() && line[0] != '#') out.push_back(line);
  }
  return out;
}

// The sentence in the voice at 16 kHz, or nothing when the voice is missing.
std::optional<Samples> speak(const Voice& voice, const std::string& text,
                             const std::filesystem::path& folder) {
  const std::string wav = (folder / "said.wav").string();
  const std::string raw = (folder / "said.raw").string();
  const std::string make = voice.command(text, wav) + " >/dev/null 2>&1 && sox '" + wav +
                           "' -t raw -r 16000 -c 1 -b 16 -e signed '" + raw + "' 2>/dev/null";
  if (std::system(make.c_str()) != 0) return std::nullopt;
  auto bytes = orvo::files::readFile(raw);
  if (!bytes || bytes->size() < 2000) return std::nullopt;
  Samples out(bytes->size() / 2);
  std::memcpy(out.data(), bytes->data(), out.size() * 2);
  return out;
}

// A piano playing on under everything, rendered by the built-in sound.
std::vector<float> pianoBed(double seconds) {
  std::vector<orvo::Ev> events;
  const int notes[] = {60, 64, 67, 72, 69, 65, 62, 59};
  for (double t = 0; t < seconds; t += 0.4) {
    const int note = notes[static_cast<int>(t / 0.4) % 8];
    events.push_back({t, {0x90, static_cast<std::uint8_t>(note), 70}});
    events.push_back({t + 0.38, {0x80, static_cast<std::uint8_t>(note), 0}});
  }
  auto bank = orvo::Sounds::findBank();
  if (!bank) return {};
  auto rendered = orvo::Sounds::render(*bank, false, 0.0, events, seconds);
  if (!rendered) return {};
  std::vector<float> out;
  const double step = double(orvo::SoundGraph::sampleRate) / kRate;
  for (double i = 0; i < double(rendered->left.size()); i += step) {
    const auto k = static_cast<std::size_t>(i);
    out.push_back(0.5f * (rendered->left[k] + rendered->right[k]));
  }
  return out;
}

std::vector<std::string> words(const std::string& text) {
  return orvo::window::recogniserWords(text);
}

// What the request rules make of a request: the family, loose rule and operation lines.
struct Router {
  orvo::TraceWorld world{{.opt = {.textMode = true, .fast = true},
                          .secondsPerCharacter = 0.0,
                          .saying = [](auto&) {}}};
  std::string route(const std::string& request) {
    std::string lines;
    world.engine().requests().setTrace([&](const std::string& line) {
      if (line.rfind("  family:", 0) == 0 || line.rfind("  loose", 0) == 0 ||
          line.rfind("  op:", 0) == 0)
        lines += line + "\n";
    });
    world.engine().hear(request);
    world.runtime().advance(1.0);
    return lines;
  }
};

void BM_RecogniserByVoice(benchmark::State& state) {
  const Voice& voice = kVoices[state.range(0)];
  const bool withPiano = state.range(1) != 0;
  state.SetLabel(std::string(voice.name) + (withPiano ? ", piano 20 dB under" : ""));
  orvo::testing::TempFolder folder;
  if (!orvo::window::defaultAcousticModel()) return state.SkipWithError("no pocketsphinx-en-us");
  const auto commands = sentences("listening-commands.txt");
  const auto chatter = sentences("listening-chatter.txt");

  // The stream: each sentence with a second of quiet before and 1.5 s after.
  struct Said {
    std::string text;
    bool named;
    std::size_t speechEnd = 0;
    std::string heard;
    double heardAt = -1;
  };
  std::vector<Said> said;
  Samples stream;
  auto add = [&](const std::string& text, bool named) -> bool {
    auto speech = speak(voice, named ? "Orvo, " + text : text, folder.path());
    if (!speech) return false;
    stream.insert(stream.end(), kRate, 0);
    stream.insert(stream.end(), speech->begin(), speech->end());
    said.push_back({text, named, stream.size(), "", -1});
    stream.insert(stream.end(), kRate * 3 / 2, 0);
    return true;
  };
  for (const auto& text : commands) {
    if (!add(text, true))
      return state.SkipWithError((std::string(voice.name) + " is missing").c_str());
  }
  for (const auto& text : chatter) add(text, false);
  if (withPiano) {
    double speech = 0;
    std::size_t count = 0;
    for (auto s : stream) {
      if (s != 0) {
        speech += double(s) * s;
        ++count;
      }
    }
    const double voiceRms = std::sqrt(speech / double(std::max<std::size_t>(1, count)));
    const auto piano = pianoBed(double(stream.size()) / kRate + 1);
    if (piano.empty()) return state.SkipWithError("no sound bank for the piano");
    double pianoRms = 0;
    for (float p : piano) pianoRms += double(p) * p;
    pianoRms = std::sqrt(pianoRms / double(piano.size())) * 32768.0;
    const double gain = voiceRms / std::max(1.0, pianoRms) * std::pow(10.0, -20.0 / 20.0);
    for (std::size_t i = 0; i < stream.size() && i < piano.size(); ++i) {
      const double mixed = stream[i] + piano[i] * 32768.0 * gain;
      stream[i] = static_cast<std::int16_t>(std::clamp(mixed, -32768.0, 32767.0));
    }
  }

  std::vector<std::string> phrases;
  orvo::oneoff::printPhrases(folder.path(),
                             [&](const std::string& line) { phrases.push_back(line); });
  // What listening adds to the window: resident memory from before the model
  // is made to the end of the stream (the window's own is measured by
  // bench/window-memory on a desktop).
  const double residentBefore = orvo::bench::residentMB();
  double listening = 0;
  double cpu = 0;
  for (auto _ : state) {
    std::string why;
    const char* vad = std::getenv("ORVO_BENCH_VAD");
    auto recogniser = orvo::window::makeRecogniser(
        {.phrases = phrases, .vocabulary = "", .speechThreshold = vad ? std::stod(vad) : 2.0},
        folder.path(), &why);
    if (!recogniser) return state.SkipWithError(why.c_str());
    const std::clock_t start = std::clock();
    std::size_t next = 0;
    // ORVO_BENCH_SCRIPT keeps every result with its time, as the window sends
    // it, for the listening trace's replays.
    const char* scriptPath = std::getenv("ORVO_BENCH_SCRIPT");
    std::ofstream script;
    if (scriptPath) script.open(scriptPath, std::ios::app);
    for (std::size_t at = 0; at < stream.size(); at += 1600) {
      const std::size_t count = std::min<std::size_t>(1600, stream.size() - at);
      for (const auto& heard : recogniser->feed(stream.data() + at, count)) {
        if (script.is_open()) {
          char time[32];
          std::snprintf(time, sizeof time, "%.2f", double(at + count) / kRate);
          script << time << " ear " << (heard.final ? 1 : 0) << " " << heard.text << "\n";
        }
        if (!heard.final) continue;
        // The final belongs to the last sentence whose speech ended before it.
        while (next + 1 < said.size() && said[next + 1].speechEnd <= at + count) ++next;
        Said& to = said[next];
        to.heard += (to.heard.empty() ? "" : " ") + heard.text;
        if (to.heardAt < 0) to.heardAt = double(at + count - to.speechEnd) / kRate;
      }
    }
    cpu = double(std::clock() - start) / CLOCKS_PER_SEC;
    listening = orvo::bench::residentMB() - residentBefore;
  }

  Router expected, recognised;
  int acted = 0, wakes = 0;
  double errors = 0, reference = 0;
  std::vector<double> latency;
  for (const Said& each : said) {
    const auto heardWords = words(each.heard);
    auto saidWords = words(each.text);
    if (each.named) saidWords.insert(saidWords.begin(), "orvo");
    errors += double(orvo::window::tokenDistance(saidWords, heardWords));
    reference += double(saidWords.size());
    if (each.heardAt >= 0) latency.push_back(each.heardAt);
    const bool hasName = !heardWords.empty() && heardWords[0] == "orvo";
    const bool verbose = std::getenv("ORVO_BENCH_SHOW") != nullptr;
    if (!each.named) {
      const bool woke = std::find(heardWords.begin(), heardWords.end(), "orvo") != heardWords.end();
      wakes += woke;
      if (verbose && woke)
        std::fprintf(stderr, "woke: %s -> %s\n", each.text.c_str(), each.heard.c_str());
      continue;
    }
    if (verbose && (!hasName || words(each.heard).size() < 2))
      std::fprintf(stderr, "missed: %s -> %s\n", each.text.c_str(), each.heard.c_str());
    if (!hasName) continue;
    std::string request;
    for (std::size_t i = 1; i < heardWords.size(); ++i)
      request += (i > 1 ? " " : "") + heardWords[i];
    const std::string want = expected.route(each.text);
    const std::string got = recognised.route(request);
    acted += !want.empty() && want == got;
    if (verbose && !(want == got && !want.empty()))
      std::fprintf(stderr, "wrong: %s -> %s\n", each.text.c_str(), each.heard.c_str());
  }
  std::sort(latency.begin(), latency.end());
  const double audioSeconds = double(stream.size()) / kRate;
  state.counters["acted_pct"] = 100.0 * acted / double(commands.size());
  state.counters["wer_pct"] = 100.0 * errors / std::max(1.0, reference);
  state.counters["false_wakes_pct"] =
      100.0 * wakes / double(std::max<std::size_t>(1, chatter.size()));
  state.counters["final_p50_s"] = latency.empty() ? -1 : latency[latency.size() / 2];
  state.counters["final_p90_s"] = latency.empty() ? -1 : latency[latency.size() * 9 / 10];
  state.counters["cpu_pct"] = 100.0 * cpu / audioSeconds;
  state.counters["listening_mb"] = listening;
}
BENCHMARK(BM_RecogniserByVoice)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
