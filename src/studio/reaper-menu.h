#pragma once
// REAPER's functions as a spoken menu of screens: transport, tracks and their
// effects, new tracks, markers, the project, and any action found by typing.
// A screen's items are built each time it is entered, from what the bridge
// answers; choosing an item sends its command and says what came back, opens
// a deeper screen, goes back, or asks for a typed line.
//
// Threads: building a screen and choosing an item wait on the bridge for
// seconds, so they run in activities; the values themselves are plain.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct RScreen;
struct ROut;

struct RItem {
  std::string label;
  std::function<ROut()> go;
};

struct RScreen {
  std::string title;
  std::function<std::vector<RItem>()> build;  // none: the items stand as they are
  std::vector<RItem> items;
  int idx = 0;
};

// What choosing an item does.
struct ROut {
  enum class Kind { say, push, back, type };
  Kind kind = Kind::say;
  std::string text;                              // said (say, back), or the prompt (type)
  std::shared_ptr<RScreen> screen;               // push: built, ready to enter
  std::function<ROut(const std::string&)> then;  // type: the typed line's outcome

  static ROut say(std::string text) { return {Kind::say, std::move(text), nullptr, nullptr}; }
  static ROut back(std::string text) { return {Kind::back, std::move(text), nullptr, nullptr}; }
  static ROut push(RScreen screen);
  static ROut type(std::string prompt, std::function<ROut(const std::string&)> then) {
    return {Kind::type, std::move(prompt), nullptr, std::move(then)};
  }
};

// One request to the bridge: its answer, or nothing when none came in time.
using ReaperSend =
    std::function<std::optional<std::string>(const std::vector<std::string>& args, double timeout)>;

// The root screen, "REAPER control", its items already built.
RScreen reaperRoot(const ReaperSend& send);
// Builds a screen's items (a screen without a way to build keeps its own).
void buildScreen(RScreen& screen);
// "Transport. Play or stop.": the title and the first item.
std::string enteredText(const RScreen& screen);

}  // namespace orvo
