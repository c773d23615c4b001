#pragma once
// The apps installed on this desktop, as their desktop entries name them:
// the name a person knows ("LibreOffice Writer"), its generic name ("Word
// Processor"), and what joins it to a running process (the program it runs,
// that program's real file, the window class).
//
// Threads: readDesktopEntries reads files (call it off the note path and
// off the engine's lock); parseDesktopEntry is pure.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct DesktopEntry {
  std::string name;
  std::string genericName;
  std::string program;      // the file name of Exec's program: "libreoffice"
  std::string programFile;  // the file it really is, links followed: "soffice"
  std::string windowClass;  // StartupWMClass, when given
};

// One entry's text; nothing for a hidden entry, one that is no application,
// or one without a name.
std::optional<DesktopEntry> parseDesktopEntry(const std::string& text);

// The folders the desktop reads entries from, most personal first.
std::vector<std::filesystem::path> applicationFolders();

// Every entry in those folders (a file name seen once counts once), with
// each program found on PATH to learn the file it really is.
std::vector<DesktopEntry> readDesktopEntries(const std::vector<std::filesystem::path>& folders);

}  // namespace orvo
