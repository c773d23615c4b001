#pragma once
// Where things are on this system: the data folder, its private temporary
// folder, the player's song folders and language. Only the data folder
// differs between systems: one file each under linux/ and macos/, chosen by CMake.

#include <filesystem>
#include <string>
#include <vector>

namespace orvo {

// An environment variable's value; empty when it is not set.
std::string environment(const char* name);

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

}  // namespace orvo
