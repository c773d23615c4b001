#pragma once
// The libraries we use (FluidSynth, glib, ALSA) write their own messages to
// the terminal, which a screen reader then reads aloud. From start-up on they
// go to our log instead, one line each, tagged with the library's name.
//
// Call once, early in main, before any of those libraries is used.

#include <functional>
#include <string>

namespace orvo {

void routeLibraryLogs(std::function<void(const std::string&)> log);

}  // namespace orvo
