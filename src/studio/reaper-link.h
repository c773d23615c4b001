#pragma once
// The link to REAPER: one request line in "cmd.txt", one reply in
// "reply.txt", both in an exchange folder below REAPER's resource folder,
// answered by the bridge script REAPER runs. Also: shipping and installing
// the bridge, whether REAPER is installed and running, and plug-in names
// tidied for speech.
//
// One link serves the whole process. Its folder, clock and wait are set once
// at start-up (tests and the pretend REAPER set their own). Requests from
// several threads go strictly one after another; each waits on the calling
// thread for its answer or its time limit, so call from activities only,
// never from the MIDI thread or the main loop.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {
class Runtime;
}

namespace orvo::Reaper {

struct Setup {
  std::filesystem::path resources;   // REAPER's resource folder
  std::filesystem::path shipped;     // the bridge source installBridge copies
  std::function<double()> now;       // seconds; the time limits run on it
  std::function<void(double)> wait;  // the 30 ms pause between looks at the reply
};

// "$HOME/.config/REAPER", the steady clock and a real sleep; the shipped
// bridge beside the data folder is set by start-up.
Setup defaultSetup();
void setUp(Setup setup);

std::filesystem::path resources();
std::filesystem::path dir();  // the exchange folder, resources + "/Scripts/Lorimel"

// Sends one request and waits for its answer: nothing on time-out, or when
// the request could not be written. Arguments are sent with TAB and line
// breaks turned into spaces.
std::optional<std::string> sendList(const std::vector<std::string>& args, double timeout = 3.0);
inline std::optional<std::string> send(const std::vector<std::string>& args, double timeout = 3.0) {
  return sendList(args, timeout);
}
// The answer's non-empty lines; none when there is no answer.
std::vector<std::string> lines(const std::vector<std::string>& args);

// The bridge as this build ships it, and writing it to baseDir +
// "reaper/lorimel_bridge.lua" when the file there differs. False when it
// could not be written.
std::string_view bridgeSource();
bool shipBridge(const std::filesystem::path& baseDir);

// Copies the shipped bridge into REAPER's Scripts folder and makes REAPER's
// start-up script load it. Never removes a line of a start-up script, never
// rewrites an identical bridge.
bool installBridge();

// Where the reaper program is: on PATH, "/opt/REAPER/reaper" or
// "$HOME/opt/REAPER/reaper".
std::optional<std::filesystem::path> installedAt();
inline bool installed() {
  return installedAt().has_value();
}
// REAPER's process is running (pgrep, 3 s limit). Blocks: activities only.
bool running(Runtime& runtime);

// "VST: ReaEQ (Cockos)" as "ReaEQ, VST".
std::string spoken(std::string_view name);

}  // namespace orvo::Reaper
