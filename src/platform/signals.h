#pragma once
// SIGINT and SIGTERM end the process through an orderly quit. They are blocked
// in every thread and taken by one watcher thread with sigwait, so the quit
// runs as ordinary code rather than inside a signal handler.

#include <functional>

namespace orvo {

// Blocks SIGINT and SIGTERM in the calling thread (threads it starts inherit this).
void blockQuitSignalsHere();
// Lets them through to the calling thread again (their default action ends the process).
void unblockQuitSignalsHere();

// Blocks both signals in the calling thread and starts the watcher; each signal
// that arrives is handed to `onSignal` on the watcher thread.
void watchQuitSignals(std::function<void(int signal)> onSignal);

}  // namespace orvo
