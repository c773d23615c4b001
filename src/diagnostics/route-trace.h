#pragma once
// The routing trace: one engine, in the fast mode, hears each request in
// turn (so a question, a correction or a learned meaning carries over to the
// next), and prints under "> " + the request its decisions, indented, the
// sentences it speaks, unindented, and last "  = " + the outcome. With the
// pretend REAPER, a last line gives the time its bridge took.

#include <functional>
#include <string>
#include <vector>

namespace orvo::routetrace {

using Print = std::function<void(const std::string& line)>;

struct Options {
  bool asJarvis = false;
  // The pretend REAPER with its fixed project, in the trace's own folder,
  // one project for the whole run.
  bool pretendReaper = false;
  // Otherwise: whether a real REAPER runs (looked at once, at the start),
  // which the real link then asks.
  std::function<bool()> reaperRunning = nullptr;
  // A pretend app in front, read from this file (see apps/pretend-app.h).
  std::string appFile;
};

int run(const std::vector<std::string>& requests, const Options& options, const Print& print);

}  // namespace orvo::routetrace
