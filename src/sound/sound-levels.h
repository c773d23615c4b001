#pragma once
// How loud the cues, the band and the voice are against each other, measured
// offline. The knock and the chime must be heard over a sentence, and a full
// band must come near full scale without clipping, whichever bank plays.
// Pure measurement plus offline renders: no device, any thread.

#include <optional>
#include <string>
#include <vector>

#include "sound/ev.h"

namespace orvo {

// RMS in dB of full scale over the 10 ms frames where the sound is on (above
// -50 dBFS), so a short click and a sentence with pauses compare fairly.
double activeRmsDB(const std::vector<float>& samples, int sampleRate);

struct SoundLevels {
  double chimeDB = -180;     // active RMS of the lesson's chime
  double knockDB = -180;     // active RMS of the wrong-note knock
  double speechDB = -180;    // active RMS of a sentence in the fallback voice
  double bandPeakDB = -180;  // the loudest sample of a full band bar, dBFS
  double clippedPercent = 0;

  // The knock and the chime within 10 dB of speech, the band between -6 and -1 dBFS.
  bool inRange() const;
  std::string describe() const;
};

namespace soundcheck {

// What the sound check plays: the chime (0 to 1 s), the knock (1.2 s), then
// four bars of piano, bass, strings and drums from 2 s to 10 s.
std::vector<Ev> events();
constexpr double seconds = 11.0;

// Renders the chime, the knock and the band apart with `bank`, and a
// sentence with espeak-ng; nothing when the bank cannot be loaded. Without
// espeak-ng the speech level is left at its floor.
std::optional<SoundLevels> measure(const std::string& bank);

}  // namespace soundcheck
}  // namespace orvo
