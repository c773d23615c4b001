#include "diagnostics/reband.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "compose/analysis.h"
#include "compose/band.h"
#include "compose/insights.h"
#include "compose/midi-file-writer.h"
#include "compose/midi-take.h"
#include "compose/saved-piece.h"
#include "compose/take.h"
#include "platform/files.h"
#include "platform/random.h"
#include "player/memory.h"
#include "sound/sounds.h"

namespace orvo::oneoff {
namespace {

// Seconds of band kept either side of the piano's notes.
constexpr double kBandPad = 4.0;

}  // namespace

namespace {

// The share of the piece during which at least one note sounds.
double soundingShare(std::vector<RNote> notes, double length) {
  if (length <= 0) return 0;
  std::sort(notes.begin(), notes.end(), [](const RNote& a, const RNote& b) { return a.t < b.t; });
  double sounding = 0, from = 0, until = -1;
  for (const RNote& note : notes) {
    if (note.t > until) {
      if (until > from) sounding += until - from;
      from = note.t;
    }
    until = std::max(until, note.end);
  }
  if (until > from) sounding += until - from;
  return std::min(1.0, sounding / length);
}

}  // namespace

int reband(const std::string& input, const std::string& output,
           const std::filesystem::path& baseDir, const Print& print) {
  auto take = takeFromMidiFile(input);
  if (!take || take->empty()) {
    print("cannot read");
    return 1;
  }
  const Analysis analysis = analyse(*take);
  print(analysis.summary(take->size()));
  const auto earlier = savedPieces(Memory::load(baseDir / "memory.json").pieces);
  Random random(Random::chooseSeed());
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  for (const std::string& remark : insights(analysis, earlier, random, now)) print(remark);
  char line[160];
  std::snprintf(line, sizeof line, "sounding %ld%% of %ld seconds",
                roundAway(100 * soundingShare(*take, analysis.length)), roundAway(analysis.length));
  print(line);

  const std::string style =
      bandStyleFrom(files::readFile(baseDir / "band-style-2.txt").value_or(""));
  // Hours of nothing in a broken file are neither accompanied nor rendered.
  const std::vector<RNote> band =
      bandWherePianoPlays(bandFull(*take, analysis, style, random), *take, kBandPad);
  // The band level the engine itself would play at.
  const double bandDB = Sounds::bandLevelFrom(files::readFile(baseDir / "band-level.txt"));
  std::vector<Ev> all = events(*take);
  const std::vector<Ev> bandEvents = events(band);
  all.insert(all.end(), bandEvents.begin(), bandEvents.end());
  double end = 0;
  for (const RNote& note : *take) end = std::max(end, note.end);
  for (const RNote& note : band) end = std::max(end, note.end);
  auto bank = Sounds::findBank();
  auto report =
      bank ? Sounds::measure(*bank, style == "classic", bandDB, all, end + 2.0) : std::nullopt;
  if (!report) {
    print("no sound bank");
  } else {
    // Measured before the soft limit, which would otherwise hide every clip.
    std::snprintf(line, sizeof line, "the limiter worked %.2f%% of the time, its loudest %.2f",
                  report->limitedPercent, report->peak);
    print(line);
    std::snprintf(line, sizeof line,
                  "mix peak %.2f, clipped %.2f%% of the time, band gain %+.0f dB", report->sumPeak,
                  report->sumOverPercent, bandDB);
    print(line);
  }

  MidiTracks tracks = {{"Piano", *take}};
  for (auto& track : bandTracks(band)) tracks.push_back(std::move(track));
  if (!writeMIDIFile(output, 120, tracks)) {
    print("cannot write");
    return 1;
  }
  return 0;
}

}  // namespace orvo::oneoff
