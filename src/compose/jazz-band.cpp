#include "compose/jazz-band.h"

#include <algorithm>

namespace orvo {
namespace {

// Wake-up times the clock holds; times left by a jam stopped early fire and
// find nothing due.
constexpr std::size_t kAlarmTimes = 256;

std::uint8_t byte(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

}  // namespace

JazzBand::JazzBand(Runtime& runtime, Out out, std::function<void(const std::string&)> log)
    : runtime_(runtime), out_(std::move(out)), log_(std::move(log)) {}

double JazzBand::play(const std::vector<RNote>& notes) {
  std::vector<Message> messages;
  messages.reserve(notes.size() * 2);
  for (const RNote& note : notes) {
    if (note.cc >= 0 || note.ch < 0 || note.ch > 15) continue;
    const auto ch = static_cast<std::uint8_t>(note.ch);
    const double end = std::max(note.end, note.t + 0.01);
    messages.push_back(
        {note.t,
         {static_cast<std::uint8_t>(0x90 | ch), byte(note.pitch), byte(std::max(1, note.vel))}});
    messages.push_back({end, {static_cast<std::uint8_t>(0x80 | ch), byte(note.pitch), 0}});
  }
  // At the same moment a note ends before the next one starts, so a repeated
  // note is never cut short by its own release.
  std::stable_sort(messages.begin(), messages.end(), [](const Message& a, const Message& b) {
    if (a.due != b.due) return a.due < b.due;
    return (a.bytes[0] & 0xF0) == 0x80 && (b.bytes[0] & 0xF0) != 0x80;
  });

  std::string why;
  bool full = false;
  double start;
  {
    MutexLock hold(lock_);
    releaseAll();
    if (!clock_) {
      clock_ = std::make_unique<PlayerClock>(
          runtime_, [this](double now) { return advance(now); }, kAlarmTimes);
      why = clock_->whyNormalPriority();
    }
    start = runtime_.now();
    for (Message& message : messages) message.due += start;
    messages_ = std::move(messages);
    next_ = 0;
    playing_ = !messages_.empty();
    if (playing_ && !clock_->wakeBy(messages_.front().due)) {
      playing_ = false;
      full = true;
    }
  }
  if (!why.empty()) log_("the jazz band's clock runs at normal priority: " + why);
  if (full) log_("the jazz band could not start: its clock is full");
  return start;
}

void JazzBand::stop() {
  MutexLock hold(lock_);
  releaseAll();
}

bool JazzBand::playing() {
  MutexLock hold(lock_);
  return playing_;
}

void JazzBand::recordLateness(std::vector<double>* into) {
  MutexLock hold(lock_);
  lateness_ = into;
}

void JazzBand::releaseAll() {
  playing_ = false;
  next_ = messages_.size();
  for (std::size_t slot = 0; slot < sounding_.size(); ++slot) {
    if (sounding_[slot] == 0) continue;
    sounding_[slot] = 0;
    const std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | (slot / 128)),
                                 static_cast<std::uint8_t>(slot % 128), 0};
    out_(off, sizeof off);
  }
}

double JazzBand::advance(double now) {
  MutexLock hold(lock_);
  if (!playing_ || next_ >= messages_.size()) return PlayerClock::kNever;
  while (next_ < messages_.size() && messages_[next_].due <= now) {
    const Message& message = messages_[next_++];
    const std::size_t slot = (message.bytes[0] & 0x0Fu) * 128u + message.bytes[1];
    if ((message.bytes[0] & 0xF0) == 0x90) {
      if (sounding_[slot] < 255) ++sounding_[slot];
    } else if (sounding_[slot] > 0) {
      --sounding_[slot];
    }
    out_(message.bytes.data(), message.bytes.size());
    if (lateness_ && lateness_->size() < lateness_->capacity())
      lateness_->push_back(runtime_.now() - message.due);
  }
  if (next_ < messages_.size()) return messages_[next_].due;
  playing_ = false;
  return PlayerClock::kNever;
}

}  // namespace orvo
