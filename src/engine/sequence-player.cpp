#include "engine/sequence-player.h"

namespace orvo {

SequencePlayer::SequencePlayer(Runtime& runtime, Send send)
    : runtime_(runtime),
      send_(std::move(send)),
      clock_(runtime, [this](double now) { return advance(now); }) {}

std::uint64_t SequencePlayer::start(std::vector<Ev> events, std::function<bool()> alive) {
  double first;
  std::uint64_t mine;
  {
    MutexLock hold(lock_);
    letGo();
    events_ = std::move(events);
    alive_ = std::move(alive);
    next_ = 0;
    startedAt_ = runtime_.now();
    mine = ++number_;
    playing_ = true;
    first = events_.empty() ? startedAt_ : startedAt_ + events_.front().t;
  }
  clock_.wakeBy(first);
  return mine;
}

void SequencePlayer::stop(std::uint64_t sequence) {
  MutexLock hold(lock_);
  if (sequence == number_ && playing_) letGo();
}

bool SequencePlayer::finished(std::uint64_t sequence) {
  MutexLock hold(lock_);
  return sequence != number_ || !playing_;
}

double SequencePlayer::advance(double now) {
  MutexLock hold(lock_);
  if (!playing_) return PlayerClock::kNever;
  for (; next_ < events_.size() && startedAt_ + events_[next_].t <= now; ++next_) {
    if (alive_ && !alive_()) {
      letGo();
      return PlayerClock::kNever;
    }
    const auto& bytes = events_[next_].bytes;
    send_(bytes.data(), 3);
    // Kept by channel and key as MidiIO keeps what sounds: a note-on sets,
    // a note-off (or a note-on at velocity 0) clears.
    const std::size_t key = (bytes[0] & 0x0F) * 128u + (bytes[1] & 0x7F);
    if ((bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) {
      sounding_.set(key);
    } else if (bytes[0] >= 0x80 && bytes[0] < 0xA0) {
      sounding_.reset(key);
    }
  }
  if (next_ < events_.size()) return startedAt_ + events_[next_].t;
  letGo();
  return PlayerClock::kNever;
}

void SequencePlayer::letGo() {
  playing_ = false;
  for (std::size_t key = 0; key < sounding_.size(); ++key) {
    if (!sounding_.test(key)) continue;
    const std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | (key / 128)),
                                 static_cast<std::uint8_t>(key % 128), 0};
    send_(off, 3);
  }
  sounding_.reset();
}

}  // namespace orvo
