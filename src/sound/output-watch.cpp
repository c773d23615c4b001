#include "sound/output-watch.h"

namespace orvo {

OutputWatch::OutputWatch(Runtime& runtime, std::function<bool()> look,
                         std::function<void()> appeared, double every)
    : runtime_(runtime), look_(std::move(look)), appeared_(std::move(appeared)), every_(every) {
  present_ = look_();  // there from the start: nothing to tell
}

void OutputWatch::start() {
  if (!present_) runtime_.after(every_, [this] { tick(); });
}

bool OutputWatch::present() {
  if (present_) return true;
  if (!look_()) return false;
  if (!present_.exchange(true)) runtime_.async(appeared_);
  return true;
}

void OutputWatch::tick() {
  if (!present()) runtime_.after(every_, [this] { tick(); });
}

}  // namespace orvo
