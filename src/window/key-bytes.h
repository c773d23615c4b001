#pragma once
// A key pressed in the window, as the bytes the engine reads from a terminal:
// letters, digits and signs as themselves, Return as a newline, Delete as
// DEL, the arrows as their escape sequences. Pure; any thread.

#include <cstdint>
#include <string>

namespace orvo::window {

// `keyval` is GDK's key value, `unicode` the character it types (0 for none).
// Empty for a key the engine has no use for (Tab moves between the window's parts).
std::string keyBytes(unsigned keyval, std::uint32_t unicode);

// A typed request as the engine reads it: "~say " + the text + "\n", the
// text on one line.
std::string typedRequest(const std::string& text);
// The window's choice of output: "~output voice NAME\n", "~output music NAME\n"
// (no name: the usual output), or "~output together\n" for `what` "together".
std::string outputChoice(const std::string& what, const std::string& name);

}  // namespace orvo::window
