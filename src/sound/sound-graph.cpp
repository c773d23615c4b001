#include "sound/sound-graph.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace orvo {
namespace {

// Above -1 dBFS the sound bends smoothly towards full scale and never passes
// it: a loud chord over the band never clips.
constexpr float knee = 0.891f;  // -1 dBFS

float limit(float x) {
  float size = std::abs(x);
  if (size <= knee) return x;
  float bent = knee + (1.0f - knee) * std::tanh((size - knee) / (1.0f - knee));
  return x < 0 ? -bent : bent;
}

}  // namespace

namespace band {

const std::vector<Part>& parts() {
  static const std::vector<Part> table = {
      {0, 0, false, 0.8f, false, 0.0f},    {1, 32, false, 0.3f, false, 0.0f},
      {2, 48, false, 0.62f, true, -0.35f}, {3, 42, false, 0.74f, true, 0.35f},
      {6, 48, false, 0.42f, true, -0.15f}, {7, 60, false, 0.4f, true, 0.2f},
      {8, 89, false, 0.34f, true, 0.0f},   {5, 4, false, 0.5f, false, 0.1f},
      {10, 80, false, 0.3f, false, 0.0f},  {11, 47, false, 0.7f, true, 0.0f},
      {4, 10, false, 0.55f, false, 0.0f},  {9, 0, true, 0.6f, false, 0.0f},
  };
  return table;
}

float classicVolume(int channel, float normal) {
  switch (channel) {
    case 0:
      return 0.8f;
    case 1:
      return 0.7f;
    case 2:
      return 0.5f;
    case 3:
      return 0.65f;
    case 9:
      return 0.6f;
    default:
      return normal;
  }
}

double gainDB(int channel, bool classic, double bandLevelDB) {
  if (channel == 0) return classic ? classicPianoDB : pianoGainDB;
  if (channel == knockChannel) return knockCueDB;
  double cue = channel == 4 ? chimeCueDB : 0.0;
  return bandLevelDB + (classic ? classicBandDB : 0.0) + cue;
}

double bankTrimDB(const std::string& bank) {
  // Measured with the sound check's band: TimGM6mb is about 3 dB quieter.
  return bank.find("TimGM6mb") != std::string::npos ? 15.0 : 12.0;
}

}  // namespace band

bool SoundGraph::bankLooksWhole(const std::string& path) {
  // A FIFO or a device in the bank's place would be waited on for ever.
  std::error_code notThere;
  if (!std::filesystem::is_regular_file(path, notThere)) return false;
  std::ifstream in(path, std::ios::binary);
  char header[12] = {};
  if (!in.read(header, sizeof header)) return false;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "sfbk", 4) != 0) return false;
  std::uint32_t size = static_cast<std::uint8_t>(header[4]) |
                       static_cast<std::uint8_t>(header[5]) << 8 |
                       static_cast<std::uint8_t>(header[6]) << 16 |
                       static_cast<std::uint32_t>(static_cast<std::uint8_t>(header[7])) << 24;
  std::error_code error;
  auto length = std::filesystem::file_size(path, error);
  return !error && length >= static_cast<std::uintmax_t>(size) + 8;
}

SoundGraph::SoundGraph(int rate)
    : rate_(rate),
      room_(rate, Reverb::mediumHall),
      hall_(rate, Reverb::largeHall),
      hallShelf_{Biquad::highShelf(rate, 3200, -7), Biquad::highShelf(rate, 3200, -7)},
      hallHighPass_{Biquad::highPass(rate, 110), Biquad::highPass(rate, 110)} {}

std::unique_ptr<SoundGraph> SoundGraph::build(const std::string& bank, bool classic, double bandDB,
                                              Use use) {
  if (!bankLooksWhole(bank)) return nullptr;
  std::unique_ptr<SoundGraph> graph(
      new SoundGraph(use == Use::measuring ? measuringRate : sampleRate));
  graph->classic_ = classic;
  fluid_settings_t* settings = new_fluid_settings();
  graph->settings_ = settings;
  fluid_settings_setnum(settings, "synth.sample-rate", graph->rate_);
  fluid_settings_setint(settings, "synth.audio-channels", 16);
  fluid_settings_setint(settings, "synth.audio-groups", 16);
  fluid_settings_setint(settings, "synth.reverb.active", 0);  // our own buses do it
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  // Only the presets in use load their samples, so a large bank costs little memory.
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  graph->synth_ = new_fluid_synth(settings);
  if (!graph->synth_) return nullptr;
  if (use == Use::measuring) fluid_synth_set_interp_method(graph->synth_, -1, FLUID_INTERP_LINEAR);
  int font = fluid_synth_sfload(graph->synth_, bank.c_str(), 1);
  if (font == FLUID_FAILED) return nullptr;

  graph->channelBuffers_.assign(16 * 2 * maxBlock, 0.0f);
  graph->busBuffers_.assign(2 * 2 * maxBlock, 0.0f);
  for (const Part& part : band::parts()) {
    auto c = static_cast<std::size_t>(part.channel);
    fluid_synth_program_select(graph->synth_, part.channel, font, part.drums ? 128 : 0,
                               part.program);
    // A balance law: the centre keeps both sides at full level.
    graph->panLeft_[c] = std::min(1.0f, 1.0f - part.pan);
    graph->panRight_[c] = std::min(1.0f, 1.0f + part.pan);
    graph->bus_[c] = part.hall ? (classic ? 1 : 2) : 0;
    graph->busUsed_[static_cast<std::size_t>(graph->bus_[c])] = true;
  }
  // The knock's own channel: the drum kit, in the middle, on the main bus.
  fluid_synth_program_select(graph->synth_, band::knockChannel, font, 128, 0);
  graph->panLeft_[band::knockChannel] = graph->panRight_[band::knockChannel] = 1.0f;
  graph->master_ = static_cast<float>(std::pow(10.0, band::bankTrimDB(bank) / 20.0));
  graph->setBandLevel(bandDB);
  return graph;
}

SoundGraph::~SoundGraph() {
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

void SoundGraph::setBandLevel(double bandDB) {
  for (const Part& part : band::parts()) {
    float volume = classic_ ? band::classicVolume(part.channel, part.volume) : part.volume;
    double db = band::gainDB(part.channel, classic_, bandDB);
    gains_[static_cast<std::size_t>(part.channel)] =
        volume * static_cast<float>(std::pow(10.0, db / 20.0));
  }
  gains_[band::knockChannel] = 0.6f * static_cast<float>(std::pow(10.0, band::knockCueDB / 20.0));
}

void SoundGraph::send(const std::uint8_t* bytes, std::size_t size) {
  if (!synth_ || size == 0) return;
  int channel = bytes[0] & 0x0F;
  int type = bytes[0] & 0xF0;
  int first = size > 1 ? bytes[1] & 0x7F : 0;
  if (channel == 9 && first == band::knockNote && (type == 0x80 || type == 0x90)) {
    channel = band::knockChannel;
  }
  int second = size > 2 ? bytes[2] & 0x7F : 0;
  switch (type) {
    case 0x90:
      if (second > 0) {
        sounded_.fetch_or(1u << channel, std::memory_order_relaxed);
        fluid_synth_noteon(synth_, channel, first, second);
        break;
      }
      [[fallthrough]];
    case 0x80:
      fluid_synth_noteoff(synth_, channel, first);
      break;
    case 0xB0:
      fluid_synth_cc(synth_, channel, first, second);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth_, channel, first | (second << 7));
      break;
    default:
      break;  // the instruments are fixed: program changes are not taken
  }
}

void SoundGraph::render(float* left, float* right, int frames) {
  while (frames > 0) {
    int block = std::min(frames, maxBlock);
    renderBlock(left, right, block);
    left += block;
    right += block;
    frames -= block;
  }
}

void SoundGraph::renderBlock(float* left, float* right, int frames) {
  // FluidSynth adds into the buffers. A part never played only ever has
  // silence added, so only the played parts' buffers need clearing, and only
  // as far as this block goes.
  const unsigned sounded = sounded_.load(std::memory_order_relaxed);
  const auto length = sizeof(float) * static_cast<std::size_t>(frames);
  float* dry[32];
  for (std::size_t i = 0; i < 32; ++i) {
    dry[i] = &channelBuffers_[i * maxBlock];
    if (sounded & (1u << (i / 2))) std::memset(dry[i], 0, length);
  }
  for (std::size_t i = 0; i < 4; ++i) std::memset(&busBuffers_[i * maxBlock], 0, length);
  fluid_synth_process(synth_, frames, 0, nullptr, 32, dry);

  std::memset(left, 0, sizeof(float) * static_cast<std::size_t>(frames));
  std::memset(right, 0, sizeof(float) * static_cast<std::size_t>(frames));
  float* busL[3] = {left, &busBuffers_[0], &busBuffers_[2 * maxBlock]};
  float* busR[3] = {right, &busBuffers_[maxBlock], &busBuffers_[3 * maxBlock]};
  std::array<bool, 3> busHeard{};  // a bus whose parts were never played has no tail either
  for (std::size_t c = 0; c < 16; ++c) {
    if (!(sounded & (1u << c))) continue;  // a part never played is silence
    busHeard[static_cast<std::size_t>(bus_[c])] = true;
    const float* inL = dry[c * 2];
    const float* inR = dry[c * 2 + 1];
    float gain = gains_[c];
    float gl = gain * panLeft_[c], gr = gain * panRight_[c];
    float* outL = busL[bus_[c]];
    float* outR = busR[bus_[c]];
    float peak = 0;
    for (int i = 0; i < frames; ++i) {
      float l = inL[i] * gl, r = inR[i] * gr;
      outL[i] += l;
      outR[i] += r;
      peak = std::max(peak, std::max(std::abs(l), std::abs(r)));
    }
    if (peak > peaks_[c]) peaks_[c] = peak;
  }
  if (busUsed_[1] && busHeard[1]) {
    room_.process(busL[1], busR[1], frames);
    for (int i = 0; i < frames; ++i) {
      left[i] += busL[1][i];
      right[i] += busR[1][i];
    }
  }
  if (busUsed_[2] && busHeard[2]) {
    Biquad::processStereoChain(hallShelf_, hallHighPass_, busL[2], busR[2], frames);
    hall_.process(busL[2], busR[2], frames);
    for (int i = 0; i < frames; ++i) {
      left[i] += busL[2][i];
      right[i] += busR[2][i];
    }
  }
  for (int i = 0; i < frames; ++i) {
    const float l = left[i] * master_, r = right[i] * master_;
    const float loudest = std::max(std::abs(l), std::abs(r));
    sum_.peak = std::max(sum_.peak, loudest);
    sum_.over += loudest > 1.0f ? 1 : 0;
    sum_.limited += loudest > knee ? 1 : 0;
    left[i] = limit(l);
    right[i] = limit(r);
  }
}

SoundGraph::SumMeter SoundGraph::takeSumMeter() {
  return std::exchange(sum_, SumMeter{});
}

int SoundGraph::eventGrain() const {
  return fluid_synth_get_internal_bufsize(synth_);
}

int SoundGraph::activeVoices() const {
  return fluid_synth_get_active_voice_count(synth_);
}

std::array<float, 16> SoundGraph::takeChannelPeaks() {
  std::array<float, 16> peaks{};
  for (std::size_t c = 0; c < 16; ++c) peaks[c] = peaks_[c].exchange(0.0f);
  return peaks;
}

}  // namespace orvo
