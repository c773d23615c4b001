#include "compose/live-band.h"

#include <algorithm>
#include <cmath>

namespace orvo {
namespace {

constexpr double kRootAge = 0.08;
constexpr double kRootGap = 0.3;
constexpr double kEpsilon = 1e-9;

}  // namespace

std::optional<int> nearestPitch(int pitchClass, int low, int high, int target) {
  std::optional<int> best;
  for (int pitch = low; pitch <= high; ++pitch) {
    if (((pitch % 12) + 12) % 12 != pitchClass) continue;
    if (!best || std::abs(pitch - target) < std::abs(*best - target)) best = pitch;
  }
  return best;
}

LiveBand::LiveBand() {
  down_.fill(-1.0);
}

void LiveBand::setOut(Out out) {
  std::lock_guard hold(lock_);
  out_ = std::move(out);
}

bool LiveBand::on() {
  std::lock_guard hold(lock_);
  return on_;
}

void LiveBand::setOn(bool on, double now) {
  std::lock_guard hold(lock_);
  if (on == on_) return;
  if (!on) silenceLocked(now);
  on_ = on;
  // The grid counts from here, by multiples, so it never drifts.
  gridOrigin_ = now;
  gridIndex_ = 1;
  nextGrid_ = on ? now + kGrid : kNever;
}

void LiveBand::dropOld(double t) {
  while (recentCount_ > 0 && t - recent_[recentStart_].first > 3.0) {
    recentStart_ = (recentStart_ + 1) % kRecent;
    --recentCount_;
  }
}

double LiveBand::note(int pitch, int velocity, double t) {
  std::lock_guard hold(lock_);
  if (!on_ || pitch < 0 || pitch > 127) return on_ ? nextDueLocked() : kNever;
  dropOld(t);
  if (recentCount_ == kRecent) {
    recentStart_ = (recentStart_ + 1) % kRecent;
    --recentCount_;
  }
  recent_[(recentStart_ + recentCount_++) % kRecent] = {t, pitch};
  lastPlay_ = t;
  loud_ = std::clamp(loud_ + (velocity / 80.0 - loud_) * 0.25, 0.45, 1.3);
  down_[pitch] = t;
  // A candidate of the root's own class, once old enough to have been taken,
  // is done with: kept, it would block every higher bass note after it.
  if (waiting_ && root_ && waiting_->first % 12 == *root_ && t - waiting_->second >= kRootAge)
    waiting_.reset();

  bool overLower = false;
  for (std::size_t i = 0; i + 1 < recentCount_ && !overLower; ++i) {
    const auto& [at, other] = recent_[(recentStart_ + i) % kRecent];
    overLower = other <= pitch - 3 && t - at >= 0.0 && t - at < 0.9;
  }
  bool heldLower = false;
  for (int other = 0; other <= pitch - 3 && !heldLower; ++other) {
    heldLower = down_[other] >= 0.0 && t - down_[other] < 2.5;
  }
  if (heldLower) {
    if (pitch <= 63 && root_) gather(pitch % 12, t);
  } else if (pitch < 60 && !overLower) {
    if (!waiting_) {
      waiting_ = std::pair{pitch, t};
    } else if (pitch < waiting_->first) {
      waiting_->first = pitch;  // the candidate keeps its time
    }
  } else if (pitch <= 63 && root_) {
    gather(pitch % 12, t);
  }
  aim_ = 1.0;
  return nextDueLocked();
}

void LiveBand::release(int pitch) {
  std::lock_guard hold(lock_);
  if (pitch >= 0 && pitch <= 127) down_[pitch] = -1.0;
}

std::optional<double> LiveBand::rootDue() const {
  if (!waiting_ || (root_ && waiting_->first % 12 == *root_)) return std::nullopt;
  return std::max(waiting_->second + kRootAge, rootAt_ + kRootGap);
}

double LiveBand::nextDueLocked() const {
  if (!on_) return kNever;
  double due = nextGrid_;
  if (auto root = rootDue()) due = std::min(due, *root);
  for (std::size_t i = 0; i < offCount_; ++i) due = std::min(due, offs_[i].at);
  return due;
}

double LiveBand::nextDue() {
  std::lock_guard hold(lock_);
  return nextDueLocked();
}

double LiveBand::advance(double now) {
  std::lock_guard hold(lock_);
  if (!on_) return kNever;
  // What is due, in time order; on a tie the root first, then the offs, then
  // the grid, as one tick would do them.
  while (true) {
    if (waiting_ && root_ && waiting_->first % 12 == *root_ &&
        now - waiting_->second >= kRootAge - kEpsilon)
      waiting_.reset();
    auto root = rootDue();
    std::size_t first = offCount_;
    for (std::size_t i = 0; i < offCount_; ++i) {
      if (first == offCount_ || offs_[i].at < offs_[first].at) first = i;
    }
    const double offAt = first < offCount_ ? offs_[first].at : kNever;
    const double due = std::min({root.value_or(kNever), offAt, nextGrid_});
    if (due > now + kEpsilon) break;
    if (root && *root == due) {
      changeRoot(due);
    } else if (offAt == due) {
      Off off = offs_[first];
      offs_[first] = offs_[--offCount_];
      send(static_cast<std::uint8_t>(0x80 | off.channel), off.pitch, 0, off.at);
    } else {
      grid(due);
      nextGrid_ = gridOrigin_ + static_cast<double>(++gridIndex_) * kGrid;
    }
    if (!on_) return kNever;
  }
  return nextDueLocked();
}

void LiveBand::changeRoot(double now) {
  const int pitchClass = waiting_->first % 12;
  waiting_.reset();
  root_ = pitchClass;
  rootAt_ = now;
  hasThird_ = false;
  const int bass = *nearestPitch(pitchClass, 28, 39, 33);
  if (bass_ && *bass_ != bass) scheduleOff(now + 0.05, 1, *bass_);
  play(1, bass, loud_ * 70, now);
  bass_ = bass;
  const int pad = *nearestPitch(pitchClass, 55, 72, padCentre_);
  bool kept = false;
  for (int i = 0; i < padCount_; ++i) {
    if (pad_[i] == pad) {
      kept = true;
    } else {
      scheduleOff(now + 0.35, 2, pad_[i]);
    }
  }
  if (!kept) play(2, pad, loud_ * 46, now);
  pad_[0] = pad;
  padCount_ = 1;
  const int cello = *nearestPitch(pitchClass, 45, 57, celloLast_);
  if (cello_ != cello) {
    if (cello_) scheduleOff(now + 0.3, 3, *cello_);
    play(3, cello, loud_ * 50, now);
    cello_ = cello;
    celloLast_ = cello;
  }
  // The chord tones played with the new bass join the pad.
  for (std::size_t i = 0; i < recentCount_; ++i) {
    const auto& [at, pitch] = recent_[(recentStart_ + i) % kRecent];
    if (now - at <= 0.5 && pitch < 64) gather(pitch % 12, now);
  }
  swell_ = std::min(swell_, 0.6);
}

void LiveBand::gather(int pitchClass, double t) {
  if (padCount_ >= 3) return;
  for (int i = 0; i < padCount_; ++i) {
    if (pad_[i] % 12 == pitchClass) return;
  }
  const int pitch = *nearestPitch(pitchClass, 55, 74, padCentre_);
  play(2, pitch, loud_ * 42, t);
  pad_[padCount_++] = pitch;
  int sum = 0;
  for (int i = 0; i < padCount_; ++i) sum += pad_[i];
  padCentre_ = static_cast<int>(std::lround(static_cast<double>(sum) / padCount_));
  if (hasThird_) return;
  hasThird_ = true;
  const int cello = *nearestPitch(pitchClass, 48, 64, celloLast_);
  if (cello_ == cello) return;
  if (cello_) scheduleOff(t + 0.25, 3, *cello_);
  play(3, cello, loud_ * 50, t);
  cello_ = cello;
  celloLast_ = cello;
}

void LiveBand::grid(double now) {
  if (!root_) return;
  const double target = now - lastPlay_ <= 3.5 ? aim_ : 0.0;
  swell_ += (target - swell_) * (target > swell_ ? 0.036 : 0.085);
  const int value = std::clamp(
      static_cast<int>(std::lround(swell_ * 70 * std::min(1.15, loud_ * 0.55 + 0.5) + 52)), 0, 127);
  if (std::abs(value - sentCC_) > 1) {
    send(0xB2, 11, value, now);
    send(0xB3, 11, value, now);
    sentCC_ = value;
  }
  if (target == 0.0 && swell_ < 0.06) silenceLocked(now);
}

void LiveBand::play(int channel, int pitch, double velocity, double at) {
  // Struck again while its off is pending: it simply goes on sounding.
  for (std::size_t i = 0; i < offCount_; ++i) {
    if (offs_[i].channel == channel && offs_[i].pitch == pitch) {
      offs_[i] = offs_[--offCount_];
      return;
    }
  }
  const int clamped = std::clamp(static_cast<int>(std::lround(velocity)), 14, 110);
  send(static_cast<std::uint8_t>(0x90 | channel), pitch, clamped, at);
}

void LiveBand::scheduleOff(double at, int channel, int pitch) {
  if (offCount_ == kOffs) {
    // Full: the earliest goes now rather than never.
    std::size_t first = 0;
    for (std::size_t i = 1; i < offCount_; ++i) {
      if (offs_[i].at < offs_[first].at) first = i;
    }
    Off off = offs_[first];
    offs_[first] = offs_[--offCount_];
    send(static_cast<std::uint8_t>(0x80 | off.channel), off.pitch, 0, std::min(off.at, at));
  }
  offs_[offCount_++] = {at, channel, pitch};
}

void LiveBand::send(std::uint8_t status, int data1, int data2, double at) {
  if (!out_) return;
  const std::uint8_t bytes[3] = {status, static_cast<std::uint8_t>(data1 & 0x7F),
                                 static_cast<std::uint8_t>(data2 & 0x7F)};
  out_(bytes, 3, at);
}

void LiveBand::silence(double now) {
  std::lock_guard hold(lock_);
  silenceLocked(now);
}

void LiveBand::silenceLocked(double now) {
  for (std::size_t i = 0; i < offCount_; ++i) {
    send(static_cast<std::uint8_t>(0x80 | offs_[i].channel), offs_[i].pitch, 0, now);
  }
  offCount_ = 0;
  if (bass_) send(0x81, *bass_, 0, now);
  for (int i = 0; i < padCount_; ++i) send(0x82, pad_[i], 0, now);
  if (cello_) send(0x83, *cello_, 0, now);
  root_.reset();
  rootAt_ = -10.0;
  waiting_.reset();
  bass_.reset();
  padCount_ = 0;
  cello_.reset();
  hasThird_ = false;
  padCentre_ = 62;
  celloLast_ = 55;
  swell_ = 0.0;
  aim_ = 0.0;
  sentCC_ = -1;
  recentCount_ = 0;
}

LiveBand::Sounding LiveBand::sounding() {
  std::lock_guard hold(lock_);
  Sounding now;
  now.root = root_;
  now.bass = bass_;
  now.cello = cello_;
  now.pad = pad_;
  now.padCount = padCount_;
  now.swell = swell_;
  return now;
}

}  // namespace orvo
