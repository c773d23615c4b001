#pragma once
// A take as a list of notes: cleaning up its start, and turning it into timed
// MIDI messages for playback. Pure functions; any thread.

#include <vector>

#include "compose/rnote.h"
#include "sound/ev.h"

namespace orvo {

// Drops stray notes before a pause of more than 6 s among the first five
// onsets, at most three times; takes of fewer than 9 notes are left alone.
std::vector<RNote> tidyTake(std::vector<RNote> notes);

// One message per controller record, a note-on and a note-off per note. Each
// note sounds at least 50 ms and is released 10 ms before its recorded end.
// In input order: playback sorts by time.
std::vector<Ev> events(const std::vector<RNote>& notes);

// The events of the notes, then of the band, in time order; at equal times
// in that order.
std::vector<Ev> timedEvents(const std::vector<RNote>& notes, const std::vector<RNote>& band = {});

}  // namespace orvo
