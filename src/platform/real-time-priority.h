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

// Keeps every page of the process in memory, now and later, so the musical
// threads never wait on a page coming back from disk. Only where the system
// allows locking without a limit (a limit would make allocations fail once
// reached); why not, otherwise.
std::optional<std::string> lockMemory();

// Touches the next 64 KB of the calling thread's stack, so a musical thread
// meets no page fault there once it is at work (with the memory locked, the
// touched pages stay). Called first thing on each such thread.
void touchStack();

}  // namespace orvo
