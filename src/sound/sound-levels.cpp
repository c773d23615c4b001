#include "sound/sound-levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/speech/espeak/espeak-renderer.h"
#include "sound/sound-graph.h"
#include "sound/sounds.h"

namespace orvo {

double activeRmsDB(const std::vector<float>& samples, int sampleRate) {
  const std::size_t frame = std::max(1, sampleRate / 100);
  const double floor = std::pow(10.0, -50.0 / 20.0);
  double sum = 0;
  std::size_t counted = 0;
  for (std::size_t at = 0; at < samples.size(); at += frame) {
    std::size_t end = std::min(samples.size(), at + frame);
    double energy = 0;
    for (std::size_t i = at; i < end; ++i) energy += static_cast<double>(samples[i]) * samples[i];
    if (std::sqrt(energy / static_cast<double>(end - at)) < floor) continue;
    sum += energy;
    counted += end - at;
  }
  if (counted == 0) return -180;
  return 20.0 * std::log10(std::sqrt(sum / static_cast<double>(counted)));
}

bool SoundLevels::inRange() const {
  return std::abs(chimeDB - speechDB) <= 10.0 && std::abs(knockDB - speechDB) <= 10.0 &&
         bandPeakDB >= -6.0 && bandPeakDB <= -1.0 && clippedPercent == 0.0;
}

std::string SoundLevels::describe() const {
  char line[200];
  std::snprintf(line, sizeof line,
                "chime %.1f dB, knock %.1f dB, speech %.1f dB (RMS); band peak %.1f dBFS, "
                "clipped %.2f%% of the time",
                chimeDB, knockDB, speechDB, bandPeakDB, clippedPercent);
  return line;
}

namespace soundcheck {
namespace {

// The chime and the knock exactly as a lesson sends them.
void chime(std::vector<Ev>& events, double at) {
  for (int i = 0; i < 3; ++i) addNote(events, at + i * 0.12, 4, 84 + i * 4, 58, 0.6);
}
void knock(std::vector<Ev>& events, double at) {
  addNote(events, at, 9, band::knockNote, band::knockVelocity, 0.1);
}

void bandBars(std::vector<Ev>& events, double from) {
  for (int bar = 0; bar < 4; ++bar) {
    double t = from + bar * 2.0;
    int root = bar % 2 ? 65 : 60;
    for (int key : {root, root + 4, root + 7}) addNote(events, t, 0, key, 90, 1.8);
    addNote(events, t, 1, root - 24, 100, 0.9);
    addNote(events, t + 1.0, 1, root - 17, 100, 0.9);
    for (int key : {root - 12, root - 5}) addNote(events, t, 2, key, 70, 1.9);
    for (int beat = 0; beat < 4; ++beat) {
      addNote(events, t + beat * 0.5, 9, beat % 2 ? 38 : 36, 100, 0.1);
      addNote(events, t + beat * 0.5, 9, 42, 80, 0.1);
    }
  }
}

std::vector<float> mono(const Sounds::Rendered& rendered) {
  std::vector<float> out(rendered.left.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = std::max(std::abs(rendered.left[i]), std::abs(rendered.right[i]));
  }
  return out;
}

}  // namespace

std::vector<Ev> events() {
  std::vector<Ev> all;
  chime(all, 0.0);
  knock(all, 1.2);
  bandBars(all, 2.0);
  return all;
}

std::optional<SoundLevels> measure(const std::string& bank) {
  SoundLevels levels;
  std::vector<Ev> chimes, knocks, band;
  chime(chimes, 0.0);
  knock(knocks, 0.0);
  bandBars(band, 0.0);
  auto chimed = Sounds::render(bank, false, 0.0, chimes, 1.5);
  auto knocked = Sounds::render(bank, false, 0.0, knocks, 0.6);
  auto played = Sounds::render(bank, false, 0.0, band, 9.0);
  if (!chimed || !knocked || !played) return std::nullopt;
  levels.chimeDB = activeRmsDB(mono(*chimed), SoundGraph::sampleRate);
  levels.knockDB = activeRmsDB(mono(*knocked), SoundGraph::sampleRate);
  levels.bandPeakDB = 20.0 * std::log10(std::max(played->report.peak, 1e-9));
  levels.clippedPercent = played->report.clippedPercent;
  if (auto speech =
          espeak::render("Hello. I'm Orvo, your piano teacher. Play the C major scale.", 175)) {
    std::vector<float> samples(speech->samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = speech->samples[i] / 32768.0f;
    levels.speechDB = activeRmsDB(samples, speech->sampleRate);
  }
  return levels;
}

}  // namespace soundcheck
}  // namespace orvo
