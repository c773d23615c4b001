#include "rooms/practice/metronome.h"

#include <cstdint>

#include "platform/window-lines.h"

namespace orvo {
namespace {

constexpr int kAccentNote = 76;
constexpr int kClickNote = 77;
// Wake-up times the clock holds: only an earlier time than the one waiting
// is added, so a tempo changed every beat still fits.
constexpr std::size_t kAlarmTimes = 256;

}  // namespace

Metronome::Metronome(Runtime& runtime, MidiIO& midi, std::function<void(std::string_view)> ui,
                     std::function<void(const std::string&)> log,
                     std::function<void(const std::string&)> say, bool silent)
    : runtime_(runtime),
      midi_(midi),
      ui_(std::move(ui)),
      log_(std::move(log)),
      say_(std::move(say)),
      silent_(silent) {}

void Metronome::set(std::optional<int> tempo) {
  if (!tempo) {
    const bool was = running();
    stop();
    return say_(was ? "Metronome off." : "The metronome is off.");
  }
  if (*tempo < kSlowest || *tempo > kFastest)
    return say_("The metronome goes from 20 to 300 beats a minute.");
  // Asked again for the tempo it already keeps: the beat is not restarted.
  if (running() && bpm() == *tempo)
    return say_("The metronome is already at " + std::to_string(*tempo) + ".");
  metronome(tempo);
  say_("Metronome at " + std::to_string(*tempo) + ".");
}

void Metronome::toggle() {
  set(running() ? std::nullopt : std::optional<int>(bpm()));
}

bool Metronome::metronome(std::optional<int> bpm) {
  if (bpm && (*bpm < kSlowest || *bpm > kFastest)) return false;
  std::string why;
  bool full = false;
  {
    MutexLock hold(lock_);
    // The old clicks stop before the new ones start.
    clickOff();
    running_ = false;
    if (!bpm) return true;
    bpm_ = *bpm;
    if (silent_) return true;
    if (!clock_) {
      clock_ = std::make_unique<PlayerClock>(
          runtime_, [this](double now) { return advance(now); }, kAlarmTimes);
      why = clock_->whyNormalPriority();
    }
    running_ = true;
    start_ = runtime_.now();
    interval_ = 60.0 / static_cast<double>(bpm_);
    beat_ = 0;
    if (!clock_->wakeBy(start_)) {
      running_ = false;
      full = true;
    }
  }
  if (!why.empty()) log_("the metronome's clock runs at normal priority: " + why);
  if (full) log_("the metronome could not start: its clock is full");
  return true;
}

bool Metronome::running() {
  MutexLock hold(lock_);
  return running_;
}

int Metronome::bpm() {
  MutexLock hold(lock_);
  return bpm_;
}

void Metronome::clickOff() {
  if (sounding_ < 0) return;
  midi_.send({0x89, static_cast<std::uint8_t>(sounding_), 0});
  sounding_ = -1;
}

double Metronome::advance(double now) {
  MutexLock hold(lock_);
  if (!running_) return PlayerClock::kNever;
  const double due = start_ + static_cast<double>(beat_) * interval_;
  if (now < due) return due;  // a time left by an earlier tempo
  clickOff();
  const bool accent = beat_ % 4 == 0;
  sounding_ = accent ? kAccentNote : kClickNote;
  midi_.send(
      {0x99, static_cast<std::uint8_t>(sounding_), static_cast<std::uint8_t>(accent ? 84 : 62)});
  ui_(lines::beat(beat_));
  // Beat times come from the start, never from when this one was woken.
  ++beat_;
  return start_ + static_cast<double>(beat_) * interval_;
}

}  // namespace orvo
