#pragma once
// Raising a thread to real-time scheduling, for the few threads whose wake-ups
// must be punctual (the live band's clock, the timed MIDI writer).

#include <pthread.h>

#include <optional>
#include <string>

namespace orvo {

// SCHED_FIFO at its lowest priority: above every ordinary thread, below the
// system's own real-time work. Why not, when the system refuses it.
std::optional<std::string> raiseToRealTime(pthread_t thread);

}  // namespace orvo
