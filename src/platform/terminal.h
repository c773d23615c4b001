#pragma once
// Raw keys from a terminal: canonical input and echo off, everything else as it
// was. The saved settings are put back at every exit, including the quit
// watchdog's immediate one.

namespace orvo::terminal {

// True when standard input is a terminal; then it is switched to single keys
// and an exit handler restores it.
bool enterKeyMode();

// Puts the saved settings back; safe to call more than once and from any thread.
void restore();

}  // namespace orvo::terminal
