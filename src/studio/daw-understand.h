#pragma once
// Understanding one heard sentence as a studio request, against the project
// as it is now: something to say, a question back, one change (perhaps to be
// confirmed first), or a plan of several. The families of requests are tried
// in a fixed order and the first that applies decides.
//
// Threads: runs on the request path; reading a plug-in's settings asks the
// studio, so it may block for the link's limits.

#include <optional>
#include <string>
#include <vector>

#include "studio/daw.h"
#include "voice/heard.h"

namespace orvo {

struct TrackPick {
  enum class Kind { one, many, none };
  Kind kind = Kind::none;
  std::vector<DawTrack> tracks;  // one: the track; many: every match
  std::string heardName;         // none: the name that was not found, if any
};

struct DawAsk {
  enum class Kind { say, question, op, plan };
  Kind kind = Kind::say;
  std::string text;  // say, question; a plan's explanation
  DawOp op = dawop::Undo{};
  std::optional<std::string> confirm;  // op: the yes asked for first
  std::vector<PlanStep> steps;
  std::optional<std::string> mode;  // a way of working chosen ("guided" ...)
  // A question any answer fits (a new name, said after "to"), rather than
  // one that offers the project's tracks or plug-ins.
  bool anyAnswer = false;

  static DawAsk say(std::string text);
  static DawAsk question(std::string text);
  static DawAsk change(DawOp op, std::optional<std::string> confirm = std::nullopt);
  static DawAsk plan(std::string explain, std::vector<PlanStep> steps);
};

// The sentence's words as understanding compares them: plural "s" trimmed
// from words longer than three letters.
std::vector<std::string> studioWords(const Heard& heard);

TrackPick pick(Daw& daw, const Heard& heard, const DawState& state, bool allowDefault);
// "I found Lead Vocals and Vocal Double. Which one?"
std::string which(const std::vector<DawTrack>& tracks);

// Whether an answer names one of the project's tracks or plug-ins (the
// choices a "Which one?" offers) and says nothing else: "the lead one" does,
// "delete the master" does not.
bool namesTrackOrPlugin(Daw& daw, const Heard& answer, const DawState& state);

// Nothing when the sentence is not a studio request.
std::optional<DawAsk> understand(Daw& daw, const Heard& heard, const DawState& state);

}  // namespace orvo
