#pragma once
// One-off runs: options that do one job and exit without becoming the running
// copy (the lock file is never touched) and without entering the main loop.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime.h"

namespace orvo::oneoff {

inline const char* missingArguments =
    "That check was not given what it needs, so nothing was started.";

// Every option that makes a run a one-off.
const std::vector<std::string>& checkFlags();
bool isCheck(const std::vector<std::string>& args);

// The arguments after `option` when it is present with all `count` of them.
std::optional<std::vector<std::string>> present(const std::vector<std::string>& args,
                                                const std::string& option, std::size_t count);

using Print = std::function<void(const std::string& line)>;

// The options that need no engine, in order; the first present with all its
// arguments runs. Its exit status, or nothing when none ran.
std::optional<int> runWithoutEngine(const std::vector<std::string>& args,
                                    const std::filesystem::path& baseDir, const Print& print);

// Every phrase the request rules, the studio assistant and app control know,
// the library's titles, numbers and the assistant's name: one a line, for
// the window's recogniser.
int printPhrases(const std::filesystem::path& baseDir, const Print& print);

// One line per song of the library: its steps, biggest chord, parts, lesson steps and timing.
int printLibrary(const std::filesystem::path& baseDir, const Print& print);

// Renders the built-in sound offline into a WAV file and prints its peak and
// clipping; 0 when the bank loaded, 1 when there is none.
int soundCheck(const std::string& file, const std::optional<std::string>& bank, const Print& print);

// The options that need the engine (none is built yet).
std::optional<int> runWithEngine(const std::vector<std::string>& args, Runtime& runtime,
                                 const Print& print);

}  // namespace orvo::oneoff
