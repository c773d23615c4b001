#include "compose/note-history.h"

#include <algorithm>

#include "compose/take.h"

namespace orvo {

namespace {
constexpr std::size_t kReserved = 65536;
}

NoteHistory::NoteHistory() {
  history_.reserve(kReserved);
  sustained_.reserve(kReserved);
  openIdx_.fill(-1);
}

void NoteHistory::record(int pitch, int vel, double at) {
  if (pitch < 0 || pitch > 127) return;
  int& open = openIdx_[static_cast<std::size_t>(pitch)];
  if (vel < 1) {
    if (open < 0) return;  // released without a press we saw
    if (pedalDown_) {
      sustained_.push_back(open);
    } else {
      history_[static_cast<std::size_t>(open)].end = at;
    }
    open = -1;
    --openCount_;
    trimIfFree();
    return;
  }
  if (open >= 0) {
    // Struck again without a release: the earlier note ends here.
    history_[static_cast<std::size_t>(open)].end = at;
    if (auto found = std::find(sustained_.begin(), sustained_.end(), open);
        found != sustained_.end()) {
      sustained_.erase(found);
    }
  } else {
    ++openCount_;
  }
  history_.push_back({at, -1.0, pitch, vel, 0, -1});
  open = static_cast<int>(history_.size() - 1);
  trimIfFree();
}

// A note just pressed is open, so in practice the trim happens at a release
// that leaves nothing held.
void NoteHistory::trimIfFree() {
  if (history_.size() > trimAbove && openCount_ == 0 && sustained_.empty()) {
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(trimCount));
  }
}

void NoteHistory::pedal(bool down, double now) {
  pedalDown_ = down;
  if (down) return;
  for (int index : sustained_) history_[static_cast<std::size_t>(index)].end = now;
  sustained_.clear();
}

std::size_t NoteHistory::firstFrom(double t) const {
  auto at = std::lower_bound(history_.begin(), history_.end(), t,
                             [](const RNote& note, double value) { return note.t < value; });
  return static_cast<std::size_t>(at - history_.begin());
}

std::vector<RNote> NoteHistory::notes(double since, double now) const {
  std::vector<RNote> out(history_.begin() + static_cast<std::ptrdiff_t>(firstFrom(since)),
                         history_.end());
  if (out.empty()) return out;
  const double first = out.front().t;
  for (RNote& note : out) {
    double end = note.end < 0 ? now : note.end;
    end = std::min(end, note.t + 30.0);
    note.t -= first;
    note.end = end - first;
  }
  return out;
}

std::vector<RNote> NoteHistory::lastStretch(double now) const {
  const std::size_t from = firstFrom(now - 900.0);
  if (from >= history_.size()) return {};
  double start = history_.back().t;
  for (std::size_t i = history_.size() - 1; i-- > from;) {
    const RNote& note = history_[i];
    double end = note.end < 0 ? now : note.end;
    end = std::max(note.t, std::min(end, note.t + 30.0));
    if (start - note.t > 10.0 && start - end > 10.0) break;
    start = note.t;
  }
  return tidyTake(notes(start - 0.001, now));
}

double NoteHistory::lastOnsetIn(double from, double to, double otherwise) const {
  const std::size_t first = firstFrom(from);
  const std::size_t last = firstFrom(to);  // the history is in onset order
  return last > first ? history_[last - 1].t : otherwise;
}

void NoteHistory::shift(double from, double to, double by) {
  const std::size_t last = firstFrom(to);
  for (std::size_t i = firstFrom(from); i < last; ++i) {
    history_[i].t += by;
    if (history_[i].end >= 0) history_[i].end += by;
  }
}

std::bitset<128> NoteHistory::held() const {
  std::bitset<128> keys;
  for (std::size_t pitch = 0; pitch < openIdx_.size(); ++pitch)
    keys.set(pitch, openIdx_[pitch] >= 0);
  return keys;
}

}  // namespace orvo
