#pragma once
// Where things are on this system: the data folder, its private temporary
// folder, the player's song folders and language, the sound banks, REAPER and
// the session's own folder. What differs between systems is in one file each
// under linux/ and macos/, chosen by CMake.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

// An environment variable's value; empty when it is not set.
std::string environment(const char* name);
// The player's home folder (HOME); "." when it is not set.
std::filesystem::path homeFolder();

// The data folder: ORVO_HOME when set; otherwise the system's place for
// application data ("$XDG_DATA_HOME/orvo", by default ~/.local/share/orvo, on Linux).
std::filesystem::path dataFolder();
// "tmp" in the data folder, the player's alone: long sentences are rendered
// there, never under a name others could guess in a shared folder.
std::filesystem::path temporaryFolder(const std::filesystem::path& baseDir);

// The player's language and region as "en-GB", from LC_ALL, LC_MESSAGES or
// LANG; "en" when none names one.
std::string playerLanguage();

// Where the player's MIDI songs are: the data folder's "songs", then
// "Music/Orvo Songs" under the home folder.
std::vector<std::filesystem::path> songFolders(const std::filesystem::path& baseDir);

// The first of `places` that is a program this user may run; nothing when none is.
std::optional<std::filesystem::path> firstProgram(const std::vector<std::filesystem::path>& places);
// A program called `name` in each folder of PATH, in PATH's order ("/usr/bin:/bin"
// when PATH is not set), or `name` alone when it has a slash, as the system's
// own search takes both.
std::vector<std::filesystem::path> onPath(const std::string& name);

// Differs between systems:
// The General MIDI sound banks the system may have, best first.
std::vector<std::filesystem::path> soundBankPlaces();
// Where REAPER may be installed besides PATH, and its resource folder.
std::vector<std::filesystem::path> reaperPlaces();
std::filesystem::path reaperResourceFolder();
// The login session's private folder for short-lived files (XDG_RUNTIME_DIR
// on Linux); empty when there is none.
std::filesystem::path sessionFolder();

}  // namespace orvo
