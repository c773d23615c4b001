#pragma once
// The routing trace: one engine, in the fast mode, hears each request in
// turn (so a question, a correction or a learned meaning carries over to the
// next), and prints under "> " + the request its decisions, indented, the
// sentences it speaks, unindented, and last "  = " + the outcome.

#include <functional>
#include <string>
#include <vector>

namespace orvo::routetrace {

using Print = std::function<void(const std::string& line)>;

int run(const std::vector<std::string>& requests, bool asJarvis, const Print& print);

}  // namespace orvo::routetrace
