#pragma once
// The names of a running app: the one a person knows it by ("LibreOffice
// Writer", not the process "soffice") and every phrase a sentence may call it
// ("libreoffice", "writer", "word processor"). A process is joined to the
// desktop entries that run it through the program's file, the window class
// or the name itself. Pure; any thread.

#include <string>
#include <vector>

#include "platform/desktop-entries.h"

namespace orvo {

struct KnownApp {
  std::string process;             // as the accessibility service names it
  std::string spoken;              // as sentences say it
  std::vector<std::string> calls;  // lower-case phrases that name it, longest first
};

// One process may run several entries (LibreOffice's Writer and Calc): the
// one whose name the front window's title holds is the app's name, else the
// shortest of them.
KnownApp knownApp(const std::string& process, const std::string& windowTitle,
                  const std::vector<DesktopEntry>& entries);

// The phrases that name an installed app: its name, its generic name and its
// own words ("libreoffice writer", "word processor", "libreoffice", "writer").
std::vector<std::string> callsOf(const DesktopEntry& entry);

// Lower case, words joined by single spaces, anything but letters and digits a break.
std::string plainPhrase(const std::string& text);

}  // namespace orvo
