// The practice tools as the player asks for them: what is said when the
// metronome or a timer is set.

#include <cmath>

#include "core/engine.h"
#include "core/metronome.h"
#include "core/practice-timers.h"

namespace orvo {

void Engine::setMetronome(std::optional<int> bpm) {
  if (!bpm) {
    const bool was = metronome_->running();
    metronome_->stop();
    speak(was ? "Metronome off." : "The metronome is off.");
    return;
  }
  if (*bpm < Metronome::kSlowest || *bpm > Metronome::kFastest) {
    speak("The metronome goes from 20 to 300 beats a minute.");
    return;
  }
  // Asked again for the tempo it already keeps: the beat is not restarted.
  if (metronome_->running() && metronome_->bpm() == *bpm) {
    speak("The metronome is already at " + std::to_string(*bpm) + ".");
    return;
  }
  metronome_->metronome(bpm);
  speak("Metronome at " + std::to_string(*bpm) + ".");
}

void Engine::toggleMetronome() {
  setMetronome(metronome_->running() ? std::nullopt : std::optional<int>(metronome_->bpm()));
}

void Engine::togglePracticeTimer() {
  if (timers_->armed() > 0) {
    timers_->cancelAll();
    return speak("Timer off.");
  }
  setTimer(5 * 60.0, "");
}

void Engine::setTimer(double seconds, const std::string& label) {
  if (auto whyNot = timers_->timer(seconds, label)) return speak(*whyNot);
  const std::string amount = PracticeTimers::amount(std::lround(seconds));
  speak(label.empty() ? "Timer set for " + amount + "."
                      : "Okay. I'll remind you in " + amount + ".");
}

}  // namespace orvo
