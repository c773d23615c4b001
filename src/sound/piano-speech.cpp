#include "sound/piano-speech.h"

#include <algorithm>
#include <cmath>

#include "sound/pitch-tracker.h"

namespace orvo::pianospeech {
namespace {

struct Note {
  double start = 0;
  double end = 0;
  double pitch = 0;  // fractional MIDI note number
  double loudness = 0;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

// Voiced frames as fractional MIDI pitches (-1 where unvoiced or too quiet),
// octave slips and single-frame glitches smoothed by a median of three.
std::vector<double> voicedPitches(const std::vector<pitch::Frame>& frames, double loudest) {
  std::vector<double> pitches(frames.size(), -1);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].hz > 0 && frames[i].rms > 0.08 * loudest) {
      pitches[i] = 69.0 + 12.0 * std::log2(frames[i].hz / 440.0);
    }
  }
  std::vector<double> smooth = pitches;
  for (std::size_t i = 1; i + 1 < pitches.size(); ++i) {
    if (pitches[i - 1] >= 0 && pitches[i] >= 0 && pitches[i + 1] >= 0) {
      smooth[i] = median({pitches[i - 1], pitches[i], pitches[i + 1]});
    }
  }
  return smooth;
}

// Each voiced stretch is a note; a stretch whose pitch moves a whole tone or
// more for several frames is split there, so a long vowel can rise or fall.
std::vector<Note> voicedNotes(const std::vector<double>& smooth,
                              const std::vector<pitch::Frame>& frames, double hop) {
  const std::size_t minFrames = 4;
  std::vector<Note> notes;
  std::vector<double> current;
  double loudness = 0;
  std::size_t startFrame = 0;
  auto finish = [&](std::size_t endFrame) {
    if (current.size() >= minFrames) {
      notes.push_back({frames[startFrame].t - hop / 2, frames[endFrame - 1].t + hop / 2,
                       median(current), loudness / current.size()});
    }
    current.clear();
    loudness = 0;
  };
  for (std::size_t i = 0; i <= smooth.size(); ++i) {
    bool voiced = i < smooth.size() && smooth[i] >= 0;
    if (!voiced) {
      if (!current.empty()) finish(i);
      continue;
    }
    if (current.empty()) {
      startFrame = i;
    } else if (current.size() >= minFrames && std::abs(smooth[i] - median(current)) >= 2.0) {
      bool stays = i + 2 < smooth.size() && smooth[i + 1] >= 0 && smooth[i + 2] >= 0 &&
                   std::abs(smooth[i + 2] - median(current)) >= 2.0;
      if (stays) {
        finish(i);
        startFrame = i;
      }
    }
    current.push_back(smooth[i]);
    loudness += frames[i].rms;
  }
  return notes;
}

// The notes on the piano: the voice's median pitch on G above middle C, its
// steps half as wide again, louder syllables harder.
std::vector<Ev> pianoEvents(const std::vector<Note>& notes, double loudest) {
  std::vector<double> all;
  for (const auto& note : notes) all.push_back(note.pitch);
  const double centre = median(all);
  const double firstStart = notes.front().start;
  std::vector<Ev> events;
  for (std::size_t n = 0; n < notes.size(); ++n) {
    const Note& note = notes[n];
    int key = static_cast<int>(std::lround(67.0 + (note.pitch - centre) * 1.5));
    key = std::clamp(key, 48, 96);
    int velocity =
        std::clamp(static_cast<int>(std::lround(45 + 70 * note.loudness / loudest)), 30, 115);
    double start = note.start - firstStart;
    double end = std::max(start + 0.06, note.end - firstStart - 0.01);
    if (n + 1 < notes.size()) end = std::min(end, notes[n + 1].start - firstStart - 0.005);
    events.push_back(
        {start, {0x90, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)}});
    events.push_back({std::max(end, start + 0.03), {0x80, static_cast<std::uint8_t>(key), 0}});
  }
  sortByTime(events);
  return events;
}

}  // namespace

std::vector<Ev> fromAudio(const RenderedSpeech& speech) {
  auto frames = pitch::track(speech.samples, speech.sampleRate);
  double loudest = 0;
  for (const auto& frame : frames) loudest = std::max(loudest, frame.rms);
  if (frames.empty() || loudest <= 0) return {};
  const double hop = frames.size() > 1 ? frames[1].t - frames[0].t : 0.01;
  const auto notes = voicedNotes(voicedPitches(frames, loudest), frames, hop);
  if (notes.empty()) return {};
  return pianoEvents(notes, loudest);
}

std::optional<std::vector<Ev>> fromSentence(const std::string& sentence) {
  auto speech = espeak::render(sentence, 110);
  if (!speech) return std::nullopt;
  return fromAudio(*speech);
}

}  // namespace orvo::pianospeech
