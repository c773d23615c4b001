#pragma once
// The single running copy. The lock file holds the running copy's process id;
// a newer copy always wins: it asks the holder to stop, then kills it.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace orvo::instance {

// Opens (creating if needed, mode 0644) the lock file; negative on failure.
// The descriptor is closed on exec, so a child program never keeps the lock.
int openLock(const std::filesystem::path& path);

// The process id written in a lock file, when it is one we may signal: a
// decimal number of at least 2 that is not our own id.
std::optional<pid_t> holderToSignal(const std::string& text, pid_t self);

// The signal for the given attempt (counting from 0): SIGTERM at first, SIGKILL
// from the 30th attempt on, for a copy that ignores being asked.
int signalForAttempt(int attempt);

// Takes the exclusive lock on `fd`, signalling whoever holds it and waiting
// 100 ms between tries, with no upper limit; then writes our id into the file.
void becomeOnlyCopy(int fd, const std::function<void(double seconds)>& sleep);

}  // namespace orvo::instance
