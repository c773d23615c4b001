#include "sound/sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/files.h"
#include "platform/places.h"
#include "sound/measuring-stretches.h"

namespace orvo {

std::vector<std::string> Sounds::bankCandidates() {
  std::vector<std::string> banks;
  std::error_code error;
  if (auto chosen = environment("ORVO_SOUNDFONT"); !chosen.empty()) banks.push_back(chosen);
  for (const auto& place : soundBankPlaces()) {
    const std::string path = place.string();
    if (std::filesystem::is_regular_file(place, error) &&
        std::find(banks.begin(), banks.end(), path) == banks.end()) {
      banks.push_back(path);
    }
  }
  return banks;
}

std::optional<std::string> Sounds::findBank() {
  for (const auto& bank : bankCandidates()) {
    if (SoundGraph::build(bank, false, 0.0)) return bank;
  }
  return std::nullopt;
}

std::optional<std::string> Sounds::bank() {
  std::call_once(bankChosen_, [this] {
    std::vector<std::string> refused;
    for (const auto& candidate : parts_.banks) {
      // The graph that proved the bank loads is the first one played.
      if (auto graph = SoundGraph::build(candidate, classic_, gainDB_)) {
        bank_ = candidate;
        firstGraph_ = std::move(graph);
        break;
      }
      refused.push_back(candidate);
      parts_.log("the sound bank " + candidate + " could not be loaded");
    }
    if (refused.empty()) return;
    if (bank_) parts_.log("the built-in sound plays " + *bank_ + " instead");
    if (parts_.tell) {
      parts_.tell(bank_ ? "I could not load the chosen sound bank, so I am using another one."
                        : "I could not load the sound bank, so the built-in piano is silent.");
    }
  });
  return bank_;
}

Sounds::Sounds(Parts parts)
    : parts_(std::move(parts)),
      fixQueue_(parts_.runtime.serial("band.sound.fix")),
      gainDB_(bandLevelFrom(parts_.store.read("band-level.txt"))) {}

double Sounds::bandLevelFrom(const std::optional<std::string>& fileText) {
  const std::string trimmed = files::trim(fileText.value_or(""));
  char* end = nullptr;
  const double db = std::strtod(trimmed.c_str(), &end);
  if (trimmed.empty() || !end || *end != '\0' || !std::isfinite(db)) return 0;
  return levelWithin(db);
}

Sounds::~Sounds() {
  std::lock_guard guard(swapLock_);
  output_.reset();  // stop pulling before the graph goes
}

bool Sounds::buildAndRun(std::unique_ptr<SoundGraph>& graph, std::unique_ptr<AudioOutput>& output) {
  auto chosen = bank();
  if (!chosen) return false;
  {
    std::lock_guard guard(firstGraphLock_);
    if (firstGraph_ && firstGraph_->classic() == classic_) graph = std::move(firstGraph_);
  }
  if (graph) {
    graph->setBandLevel(gainDB_);
  } else {
    graph = SoundGraph::build(*chosen, classic_, gainDB_);
  }
  if (!graph) return false;
  SoundGraph* raw = graph.get();
  // The ducking eases on the output's own thread, each output from where it
  // starts (for a moment two may run while the graph is swapped).
  output = parts_.openOutput(
      [raw, target = &duckGain_, gain = duckGain_.load()](float* l, float* r, int frames) mutable {
        raw->render(l, r, frames);
        const float goal = target->load(std::memory_order_relaxed);
        if (gain == goal && goal == 1.0f) return;
        constexpr float step = 1.0f / (0.05f * SoundGraph::sampleRate);  // 50 ms end to end
        for (int i = 0; i < frames; ++i) {
          gain = gain < goal ? std::min(goal, gain + step) : std::max(goal, gain - step);
          l[i] *= gain;
          r[i] *= gain;
        }
      },
      SoundGraph::sampleRate);
  return output != nullptr;
}

void Sounds::duck(bool on) {
  duckGain_ = on ? static_cast<float>(std::pow(10.0, -kDuckDB / 20.0)) : 1.0f;
}

void Sounds::start() {
  if (!bank()) return;
  // On the fix queue, as every rebuild is: FluidSynth is never building two
  // graphs at once, and a rebuild asked for meanwhile (the music moved to
  // another output) comes after this one rather than being overwritten by it.
  auto done = parts_.runtime.makeSemaphore();
  fixQueue_.post([this, done] {
    bool built;
    {
      std::lock_guard guard(swapLock_);
      built = graph_ != nullptr;  // a rebuild came first: its graph is playing
    }
    if (!built) {
      std::unique_ptr<SoundGraph> graph;
      std::unique_ptr<AudioOutput> output;
      bool running = buildAndRun(graph, output);
      std::lock_guard guard(swapLock_);
      graph_ = std::move(graph);
      output_ = std::move(output);
      ready_ = running;
    }
    done->signal();
  });
  done->wait(30.0);
}

bool Sounds::ready() {
  std::lock_guard guard(swapLock_);
  return ready_;
}

void Sounds::play(const std::uint8_t* bytes, std::size_t size) {
  std::shared_ptr<SoundGraph> graph;
  bool stopped = false;
  {
    std::lock_guard guard(swapLock_);
    if (!ready_) return;
    graph = graph_;
    stopped = output_ && !output_->running();
  }
  if (graph) graph->send(bytes, size);
  if (stopped && !revivePending_.exchange(true)) revive("it had stopped", false);
}

void Sounds::revive(const std::string& reason, bool wait, bool force) {
  auto work = [this, reason, force] {
    revivePending_ = false;
    double now = parts_.runtime.now();
    if (!force && now - lastFix_ < 1.0) return;
    lastFix_ = now;
    std::unique_ptr<SoundGraph> graph;
    std::unique_ptr<AudioOutput> output;
    if (!buildAndRun(graph, output)) {
      parts_.log("band sound could not restart after: " + reason);
      return;
    }
    std::unique_ptr<AudioOutput> oldOutput;
    std::shared_ptr<SoundGraph> oldGraph;
    {
      std::lock_guard guard(swapLock_);
      oldOutput = std::move(output_);
      oldGraph = std::move(graph_);
      graph_ = std::move(graph);
      output_ = std::move(output);
      ready_ = true;
      ++restarts_;
    }
    oldOutput.reset();  // the new one already runs
    parts_.log("band sound restarted: " + reason);
  };
  if (wait) {
    auto done = parts_.runtime.makeSemaphore();
    fixQueue_.post([work, done] {
      work();
      done->signal();
    });
    done->wait(30.0);
  } else {
    fixQueue_.post(work);
  }
}

int Sounds::restarts() {
  std::lock_guard guard(swapLock_);
  return restarts_;
}

double Sounds::level() {
  return gainDB_;
}

double Sounds::setLevel(double db, Store::Kept kept) {
  db = levelWithin(db);
  gainDB_ = db;
  std::shared_ptr<SoundGraph> graph;
  {
    std::lock_guard guard(swapLock_);
    graph = graph_;
  }
  if (graph) graph->setBandLevel(db);
  parts_.store.write("band-level.txt", std::to_string(static_cast<int>(std::lround(db))) + "\n",
                     nullptr, std::move(kept));
  return db;
}

bool Sounds::classic() {
  return classic_;
}

// The style changes the whole graph (volumes and buses), so it is rebuilt.
void Sounds::setClassic(bool classic) {
  if (classic_.exchange(classic) == classic) return;
  bool running;
  {
    std::lock_guard guard(swapLock_);
    running = ready_;
  }
  if (running) revive("the band style changed", false, true);
}

std::optional<Sounds::Rendered> Sounds::mix(const std::vector<Ev>& events, double seconds) {
  auto chosen = bank();
  if (!chosen) return std::nullopt;
  return render(*chosen, classic_, gainDB_, events, seconds);
}

namespace {

// Plays the events (sorted by time) into a graph over a stretch, handing each
// block from the stretch's counted start on to `take` as it comes, so a long
// piece need not be held in memory. Before the render starts only controllers
// are sent: the pedal and levels set then still hold. With `silence`, a
// stretch with no voice sounding for longer than any reverb tail is skipped up
// to the next event and only counted: a note held for hours costs nothing to
// measure.
void renderBlocks(SoundGraph& graph, const std::vector<Ev>& sorted, const MeasuringStretch& stretch,
                  const std::function<void(const float*, const float*, int)>& take,
                  const std::function<void(std::size_t)>& silence = nullptr) {
  const auto rate = static_cast<double>(graph.rate());
  auto frameOf = [rate](double seconds) {
    return static_cast<std::size_t>(std::max(0.0, seconds) * rate);
  };
  const std::size_t tail = frameOf(kTailSeconds);
  const std::size_t total = frameOf(stretch.until);
  const std::size_t counted = frameOf(stretch.countFrom);
  std::size_t at = frameOf(stretch.renderFrom), next = 0;
  // On the grid of a render from the start (that skipped no silence), so every
  // note lands where it would there.
  at -= at % static_cast<std::size_t>(graph.eventGrain());
  for (; next < sorted.size() && frameOf(sorted[next].t) < at; ++next) {
    const auto& bytes = sorted[next].bytes;
    if ((bytes[0] & 0xF0) != 0x90 || bytes[2] == 0) graph.send(bytes.data(), 3);
  }
  std::size_t quietSince = at;
  bool quiet = false;
  bool counting = false;
  std::vector<float> left(SoundGraph::maxBlock), right(SoundGraph::maxBlock);
  while (at < total) {
    if (!counting && at >= counted) {
      (void)graph.takeSumMeter();  // what the lead-in summed is not the stretch's
      counting = true;
    }
    while (next < sorted.size() && frameOf(sorted[next].t) <= at) {
      graph.send(sorted[next].bytes.data(), 3);
      ++next;
    }
    std::size_t until = total;
    if (next < sorted.size()) until = std::min(total, frameOf(sorted[next].t));
    if (!counting) until = std::min(until, counted);
    if (silence) {
      const bool none = graph.activeVoices() == 0;
      if (none && !quiet) quietSince = at;
      quiet = none;
      if (quiet && at - quietSince >= tail && until > at) {
        if (counting) silence(until - at);
        at = until;
        continue;
      }
    }
    int frames = static_cast<int>(std::min<std::size_t>(until - at, SoundGraph::maxBlock));
    if (frames <= 0) frames = 1;
    frames = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frames), total - at));
    graph.render(left.data(), right.data(), frames);
    if (counting) take(left.data(), right.data(), frames);
    at += static_cast<std::size_t>(frames);
  }
}

// The loudest sample and the share of samples over full scale.
struct Meter {
  double peak = 0;
  std::size_t clipped = 0, samples = 0;
  void add(const float* left, const float* right, int frames) {
    for (int i = 0; i < frames; ++i) {
      double loudest = std::max(std::abs(left[i]), std::abs(right[i]));
      peak = std::max(peak, loudest);
      if (loudest > 1.0) ++clipped;
    }
    samples += static_cast<std::size_t>(frames);
  }
  Sounds::MixReport report(const SoundGraph::SumMeter& sum) const {
    auto percent = [this](std::uint64_t count) {
      return samples ? 100.0 * static_cast<double>(count) / static_cast<double>(samples) : 0.0;
    };
    return {peak, percent(clipped), sum.peak, percent(sum.over), percent(sum.limited)};
  }
  // Another stretch's meter, and what its graph summed, added to this one.
  void join(const Meter& other, const SoundGraph::SumMeter& otherSum, SoundGraph::SumMeter& sum) {
    peak = std::max(peak, other.peak);
    clipped += other.clipped;
    samples += other.samples;
    sum.peak = std::max(sum.peak, otherSum.peak);
    sum.over += otherSum.over;
    sum.limited += otherSum.limited;
  }
};

}  // namespace

std::optional<Sounds::Rendered> Sounds::render(const std::string& bank, bool classic, double bandDB,
                                               const std::vector<Ev>& events, double seconds) {
  auto graph = SoundGraph::build(bank, classic, bandDB);
  if (!graph) return std::nullopt;
  Rendered out;
  // Room for the whole render at once: growing it block by block copies it over and over.
  const auto frames = static_cast<std::size_t>(std::max(0.0, seconds) * graph->rate());
  out.left.reserve(frames + SoundGraph::maxBlock);
  out.right.reserve(frames + SoundGraph::maxBlock);
  Meter meter;
  std::vector<Ev> sorted = events;
  sortByTime(sorted);
  renderBlocks(*graph, sorted, {0, 0, seconds},
               [&](const float* left, const float* right, int frames) {
                 out.left.insert(out.left.end(), left, left + frames);
                 out.right.insert(out.right.end(), right, right + frames);
                 meter.add(left, right, frames);
               });
  out.channelPeaks = graph->takeChannelPeaks();
  out.report = meter.report(graph->takeSumMeter());
  return out;
}

std::optional<Sounds::MixReport> Sounds::measure(const std::string& bank, bool classic,
                                                 double bandDB, const std::vector<Ev>& events,
                                                 double seconds, int stretches) {
  if (stretches <= 0) {
    stretches = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  }
  std::vector<Ev> sorted = events;
  sortByTime(sorted);
  const auto planned = measuringStretches(sorted, seconds, stretches);
  // The graphs are built and dropped on this thread: FluidSynth shares the
  // bank's samples between them, and only its rendering is safe side by side.
  std::vector<std::unique_ptr<SoundGraph>> graphs;
  for (std::size_t i = 0; i < planned.size(); ++i) {
    graphs.push_back(SoundGraph::build(bank, classic, bandDB, SoundGraph::Use::measuring));
    if (!graphs.back()) return std::nullopt;
  }
  std::vector<Meter> meters(planned.size());
  auto measurePart = [&](std::size_t i) {
    Meter& meter = meters[i];
    renderBlocks(
        *graphs[i], sorted, planned[i],
        [&](const float* left, const float* right, int frames) { meter.add(left, right, frames); },
        [&](std::size_t frames) { meter.samples += frames; });
  };
  // Each stretch on a thread of its own, the first on this one.
  std::vector<std::thread> others;
  for (std::size_t i = 1; i < planned.size(); ++i) others.emplace_back(measurePart, i);
  measurePart(0);
  for (auto& other : others) other.join();
  Meter meter;
  SoundGraph::SumMeter sum;
  for (std::size_t i = 0; i < planned.size(); ++i) {
    meter.join(meters[i], graphs[i]->takeSumMeter(), sum);
  }
  return meter.report(sum);
}

std::optional<Sounds::Probe> Sounds::probe(int channel, int note, int velocity) {
  std::vector<Ev> played;
  addNote(played, 0.0, channel, note, velocity, 1.0);
  auto rendered = mix(played, 1.5);
  if (!rendered) return std::nullopt;
  Probe probe;
  const auto& samples = rendered->left;
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::abs(s));
  probe.peakDB = 20.0 * std::log10(std::max(static_cast<double>(peak), 1e-9));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) >= 0.9f * peak) {
      probe.attackSeconds = static_cast<double>(i) / SoundGraph::sampleRate;
      break;
    }
  }
  double energy = 0, change = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    energy += static_cast<double>(samples[i]) * samples[i];
    double d = samples[i] - samples[i - 1];
    change += d * d;
  }
  probe.brightness = energy > 0 ? std::min(1.0, change / (4.0 * energy)) : 0;
  return probe;
}

std::pair<double, double> Sounds::levels(const std::vector<float>& samples) {
  double sum = 0, peak = 0;
  for (float s : samples) {
    sum += static_cast<double>(s) * s;
    peak = std::max(peak, static_cast<double>(std::abs(s)));
  }
  double rms = samples.empty() ? 0 : std::sqrt(sum / samples.size());
  auto db = [](double x) { return 20.0 * std::log10(std::max(x, 1e-9)); };
  return {db(rms), db(peak)};
}

}  // namespace orvo
