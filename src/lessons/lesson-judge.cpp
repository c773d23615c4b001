#include "lessons/lesson-judge.h"

#include <algorithm>

namespace orvo {
namespace {

std::size_t required(const Step& step) {
  std::size_t n = step.pitches.size();
  return n <= 3 ? n : n <= 5 ? n - 1 : n - 2;
}

bool holds(const Step& step, int note) {
  return std::find(step.pitches.begin(), step.pitches.end(), note) != step.pitches.end();
}

}  // namespace

void LessonJudge::begin(const std::vector<Step>& steps, double bpm) {
  steps_.assign(steps.begin(), steps.end());
  bpm_ = bpm > 0 ? bpm : 100;
  listening_ = !steps_.empty();
  step_ = 0;
  pressed_.reset();
  early_.reset();
  lateOK_.reset();
  lateUntil_ = -100.0;
  mistakes_ = 0;
  missesHere_ = 0;
  stepTimes_.clear();
  stepTimes_.reserve(steps_.size() + 1);
  missAt_.assign(steps_.size() + 1, 0);
}

Judged LessonJudge::judge(int note, double now) {
  Judged result;
  if (!listening_ || step_ >= steps_.size() || note < 0 || note > 127) return result;
  const auto key = static_cast<std::size_t>(note);
  if (now < lateUntil_ && lateOK_.test(key)) {
    lateOK_.reset(key);  // the rest of the chord just completed
    return result;
  }
  if (holds(steps_[step_], note)) {
    result.kind = Judged::Kind::right;
    result.firstDone = step_;
    pressed_.set(key);
    while (step_ < steps_.size()) {
      const Step& step = steps_[step_];
      std::size_t have = 0;
      for (int pitch : step.pitches) have += pressed_.test(static_cast<std::size_t>(pitch)) ? 1 : 0;
      if (have < required(step)) return result;
      lateOK_.reset();
      for (int pitch : step.pitches) {
        if (!pressed_.test(static_cast<std::size_t>(pitch)))
          lateOK_.set(static_cast<std::size_t>(pitch));
      }
      lateUntil_ = now + 0.35;
      stepTimes_.push_back(now);  // capacity reserved in begin()
      ++step_;
      ++result.stepsDone;
      missesHere_ = 0;
      pressed_.reset();
      if (step_ < steps_.size()) {
        for (int pitch : steps_[step_].pitches) {
          if (early_.test(static_cast<std::size_t>(pitch)))
            pressed_.set(static_cast<std::size_t>(pitch));
        }
      }
      early_.reset();
    }
    listening_ = false;
    result.kind = Judged::Kind::unitDone;
    return result;
  }
  if (step_ + 1 < steps_.size() && holds(steps_[step_ + 1], note) &&
      (steps_[step_ + 1].beat - steps_[step_].beat) * 60.0 / bpm_ < 0.25) {
    early_.set(key);
    result.kind = Judged::Kind::early;
    return result;
  }
  if (now - lastMistake_ < 0.12) {
    result.kind = Judged::Kind::smudge;
    return result;
  }
  lastMistake_ = now;
  ++mistakes_;
  ++missesHere_;
  if (step_ < missAt_.size()) ++missAt_[step_];
  result.kind = Judged::Kind::wrong;
  result.tell = missesHere_ % 3 == 2;
  return result;
}

}  // namespace orvo
