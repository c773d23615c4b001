#pragma once
// The listening trace: the real listener and engine on a virtual clock, fed a
// script of timed events, printing one line per decision. It runs in a
// temporary data folder, so the player's own files are never touched.
//
// Script lines, one event each ("#" starts a comment):
//   <t> ear <0|1> <text>       a transcript, as from the window
//   <t> lvl <n>                a microphone reading
//   <t> says <s> <sentence>    the engine speaks the sentence for <s> seconds
//   <t> asks <s> <sentence>    the same, with a question pending
//   <t> name <Name>            renames the assistant
//   <t> file <name> <content>  writes a data file
// Output lines start with the virtual time in seconds, to three decimals.

#include <functional>
#include <string>

namespace orvo::earstrace {

using Print = std::function<void(const std::string& line)>;

// 0 when the script ran (lines not understood are reported and skipped), 1
// when it could not be read.
int runScript(const std::string& script, bool asJarvis, const Print& print);
int runFile(const std::string& path, bool asJarvis, const Print& print);

}  // namespace orvo::earstrace
