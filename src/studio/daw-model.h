#pragma once
// The studio model: a snapshot of a recording project (its tracks and the
// master), the changes that can be made to it, and the adapter a real studio
// sits behind. Plain values; any thread.

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace orvo {

struct DawSend {
  std::string to;  // the destination track's name
  double db = 0;
};

struct DawTrack {
  int index = 0;  // 0 for the master, 1 upward in project order
  std::string name;
  double volDB = 0;
  int pan = 0;  // percent, negative left
  bool mute = false, solo = false, arm = false, selected = false;
  std::vector<std::string> fx;  // in chain order
  std::vector<bool> fxOn;       // false: bypassed
  std::vector<DawSend> sends;
  int items = 0;
};

struct DawState {
  DawTrack master = [] {
    DawTrack track;
    track.name = "Master";
    return track;
  }();
  std::vector<DawTrack> tracks;  // the master not among them
  std::string transport = "stopped";
  std::string position;
  double tempo = 120;

  // The master for 0, else the track of that index; nothing when there is none.
  const DawTrack* track(int index) const;
};

// One plug-in parameter as the studio reports it.
struct DawParam {
  int index = 0;
  std::string name;
  std::string shown;  // as the plug-in displays it
  double norm = 0;    // 0 to 1
};

// One change. Track numbers are indexes; plug-ins count from 0 in chain order.
namespace dawop {
struct Select {
  int track;
};
struct FxAdd {
  int track;
  std::string fx;
};
struct FxRemove {
  int track;
  int fx;
};
struct FxBypass {
  int track;
  int fx;
};
struct ParamNudge {
  int track;
  int fx;
  int param;
  double by;
};
struct ParamTo {
  int track;
  int fx;
  int param;
  double value;
};
struct Preset {
  int track;
  int fx;
  std::string choice;
};  // a name, "next" or "previous"
struct VolumeTo {
  int track;
  double db;
};
struct PanTo {
  int track;
  int pan;
};
struct Flag {
  int track;
  std::string key;
  bool on;
};  // "mute", "solo" or "arm"
struct AllOff {
  std::string key;
};
struct Rename {
  int track;
  std::string name;
};
struct Duplicate {
  int track;
  std::string name;
};
struct NewTrack {
  bool instrument;
  std::string name;
  std::string fx;
};
struct Delete {
  int track;
};
struct MoveBelow {
  int track;
  int below;
};
struct Send {
  int from;
  int to;
  double db;
};
struct Transport {
  std::string command;
};  // "play", "stop", "record", "start"
struct Tempo {
  double bpm;
};
struct Undo {};
struct Redo {};
}  // namespace dawop

using DawOp = std::variant<dawop::Select, dawop::FxAdd, dawop::FxRemove, dawop::FxBypass,
                           dawop::ParamNudge, dawop::ParamTo, dawop::Preset, dawop::VolumeTo,
                           dawop::PanTo, dawop::Flag, dawop::AllOff, dawop::Rename,
                           dawop::Duplicate, dawop::NewTrack, dawop::Delete, dawop::MoveBelow,
                           dawop::Send, dawop::Transport, dawop::Tempo, dawop::Undo, dawop::Redo>;

struct DawResult {
  bool ok = false;
  std::string said;  // the sentence to speak
};

// A studio behind the model. state() and send() talk to the studio and may
// block for their time limit: activities only.
class DawAdapter {
 public:
  virtual ~DawAdapter() = default;
  virtual std::string name() = 0;  // spoken in sentences ("REAPER")
  virtual std::optional<DawState> state() = 0;
  virtual std::optional<std::string> send(const std::vector<std::string>& args, double timeout) = 0;
  // A plug-in's name as it is spoken ("ReaEQ, VST").
  virtual std::string spokenFx(const std::string& name) { return name; }
  // A new, empty project (the studio asks about unsaved changes itself);
  // false when the studio did not answer.
  virtual bool newProject() { return false; }
};

// No studio to change: nothing answers. Its name is the studio's the
// sentences are made for.
class NoDaw final : public DawAdapter {
 public:
  std::string name() override { return "REAPER"; }
  std::optional<DawState> state() override { return std::nullopt; }
  std::optional<std::string> send(const std::vector<std::string>&, double) override {
    return std::nullopt;
  }
};

// Numbers in words for speech: "minus 6 decibels", "plus 1.3 decibels",
// "0 decibels", "silent"; "centre", "30 percent left".
std::string spokenDB(double db);
std::string spokenPan(int pan);

}  // namespace orvo
