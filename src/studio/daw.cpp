#include "studio/daw.h"

#include <algorithm>
#include <cmath>

#include "lessons/plain-words.h"
#include "platform/files.h"
#include "studio/daw-speech.h"
#include "studio/reaper-wire.h"

namespace orvo {
namespace {

using dawspeech::capitalised;
using dawspeech::joined;
using dawspeech::plural;
using dawspeech::spokenNumber;
using dawspeech::trackName;

std::string number(int value) {
  return std::to_string(value);
}

const DawParam* paramAt(const std::vector<DawParam>& params, int index) {
  for (const DawParam& p : params) {
    if (p.index == index) return &p;
  }
  return nullptr;
}

// The limits a change must keep, known before anything is sent.
std::optional<std::string> limitOf(const DawOp& op) {
  if (auto* v = std::get_if<dawop::VolumeTo>(&op); v && !(v->db >= -90 && v->db <= 12)) {
    return "Volume has to be between minus 90 and plus 12 decibels.";
  }
  if (auto* t = std::get_if<dawop::Tempo>(&op); t && !(t->bpm >= 20 && t->bpm <= 400)) {
    return "Tempo has to be between 20 and 400.";
  }
  if (auto* d = std::get_if<dawop::Delete>(&op); d && d->track == 0) {
    return "The master track cannot be deleted.";
  }
  if (auto* s = std::get_if<dawop::Send>(&op); s && s->from == s->to) {
    return "A track cannot send to itself.";
  }
  if (auto* m = std::get_if<dawop::MoveBelow>(&op); m && m->track == m->below) {
    return "A track cannot move below itself.";
  }
  if (auto* f = std::get_if<dawop::Flag>(&op);
      f && f->key != "mute" && f->key != "solo" && f->key != "arm") {
    return "I can only switch mute, solo or record arm.";
  }
  if (auto* a = std::get_if<dawop::AllOff>(&op);
      a && a->key != "mute" && a->key != "solo" && a->key != "arm") {
    return "I can only clear mute, solo or record arm.";
  }
  return std::nullopt;
}

}  // namespace

std::vector<DawParam> parseParams(const std::string& answer) {
  std::vector<DawParam> out;
  for (std::string_view line : wire::split(answer, '\n')) {
    std::vector<std::string_view> f = wire::split(line, '|');
    if (f.size() < 4) continue;
    auto index = wire::integer(f[0]);
    auto norm = wire::real(f[3]);
    if (!index || !norm) continue;
    out.push_back({*index, std::string(f[1]), std::string(f[2]), std::clamp(*norm, 0.0, 1.0)});
  }
  return out;
}

std::string described(const DawTrack& track, DawAdapter& adapter, bool detailed) {
  std::string out =
      track.index == 0 ? "The master" : trackName(track) + ", track " + number(track.index);
  out += ", at " + spokenDB(track.volDB);
  if (track.mute) out += ", muted";
  if (track.solo) out += ", soloed";
  if (track.arm) out += ", armed for recording";
  out += ".";
  if (!detailed) return out;
  if (track.selected && track.index != 0) out += " It is selected.";
  out += " Panned " + spokenPan(track.pan) + ".";
  if (track.fx.empty()) {
    out += " No plug-ins.";
  } else {
    std::vector<std::string> fx;
    for (std::size_t i = 0; i < track.fx.size(); ++i) {
      bool on = i < track.fxOn.size() && track.fxOn[i];
      fx.push_back(adapter.spokenFx(track.fx[i]) + (on ? "" : ", bypassed"));
    }
    out += " Plug-ins: " + joined(fx, "; ", "; ") + ".";
  }
  if (!track.sends.empty()) {
    std::vector<std::string> sends;
    for (const DawSend& send : track.sends) sends.push_back(send.to + " at " + spokenDB(send.db));
    out += " It sends to " + joined(sends) + ".";
  }
  if (track.index != 0) out += " " + capitalised(plural(track.items, "recorded item")) + ".";
  return out;
}

// One change carried out against the snapshot read just before it.
struct Daw::Step {
  Daw& daw;
  const DawState& before;

  std::string studio() const { return daw.adapter.name(); }
  DawResult notAnswering() const {
    return {false, studio() + " is not answering, so I have not changed anything."};
  }
  DawResult unconfirmed(const std::string& phrase) const {
    return {false,
            "I asked " + studio() + " to " + phrase + ", but I cannot confirm that it happened."};
  }
  DawResult noTrack(int index) const {
    return {false, "There is no track " + number(index) + ". The project has " +
                       number(static_cast<int>(before.tracks.size())) + "."};
  }
  std::string fxName(const DawTrack& track, int fx) const {
    return daw.adapter.spokenFx(track.fx[static_cast<std::size_t>(fx)]);
  }

  // The answer text; a failed result when there is none.
  std::optional<std::string> ask(const std::vector<std::string>& args, double timeout,
                                 DawResult& failed) {
    auto answer = daw.adapter.send(args, timeout);
    if (!answer) failed = notAnswering();
    return answer;
  }
  // The studio's own reason for not doing it.
  DawResult refused(const std::string& answer) const {
    return {false, studio() + " could not do that: " + files::trim(answer) + "."};
  }
  // True when the studio answered "ok"; otherwise `failed` says why not.
  bool done(const std::vector<std::string>& args, double timeout, DawResult& failed) {
    auto answer = ask(args, timeout, failed);
    if (!answer) return false;
    if (files::trim(*answer) == "ok") return true;
    failed = refused(*answer);
    return false;
  }
  std::optional<DawState> after() { return daw.look(); }

  DawResult operator()(const dawop::Select& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    if (!done({"select", number(op.track)}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* chosen = now ? now->track(op.track) : nullptr;
    if (!chosen || (!chosen->selected && op.track != 0))
      return unconfirmed("select " + trackName(*track));
    daw.lastTrack = op.track;
    return {true, described(*chosen, daw.adapter, false)};
  }

  DawResult operator()(const dawop::FxAdd& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    auto answer = ask({"fx_add", number(op.track), op.fx}, 15, failed);
    if (!answer) return failed;
    if (answer->find("could not find") != std::string::npos) {
      return {false, "I could not find a plug-in called " + op.fx + "."};
    }
    if (files::trim(*answer) != "ok") return refused(*answer);
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || changed->fx.size() <= track->fx.size()) {
      return {false,
              "I tried to add " + op.fx + " to " + trackName(*track) + ", but it is not there."};
    }
    const int added = static_cast<int>(changed->fx.size()) - 1;
    daw.remember("added " + op.fx + " to " + trackName(*track));
    daw.lastTrack = op.track;
    daw.lastFx = {op.track, added};
    daw.lastParam.reset();
    return {true, fxName(*changed, added) + " is now on " + trackName(*track) + ", which has " +
                      plural(static_cast<long>(changed->fx.size()), "plug-in") + "."};
  }

  // The track and the plug-in a change is about, or why there is none.
  std::optional<DawResult> missingFx(int trackIndex, int fx) const {
    const DawTrack* track = before.track(trackIndex);
    if (!track) return noTrack(trackIndex);
    if (fx < 0 || fx >= static_cast<int>(track->fx.size())) {
      return DawResult{
          false, capitalised(trackName(*track)) + " has no plug-in number " + number(fx + 1) + "."};
    }
    return std::nullopt;
  }

  DawResult operator()(const dawop::FxRemove& op) {
    if (auto missing = missingFx(op.track, op.fx)) return *missing;
    const DawTrack& track = *before.track(op.track);
    const std::string plugin = fxName(track, op.fx);
    DawResult failed;
    if (!done({"fx_remove", number(op.track), number(op.fx)}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || changed->fx.size() >= track.fx.size()) return unconfirmed("remove " + plugin);
    daw.remember("removed " + plugin + " from " + trackName(track));
    daw.lastTrack = op.track;
    daw.lastFx.reset();
    daw.lastParam.reset();
    return {true, plugin + " is removed from " + trackName(track) + ". Say undo to bring it back."};
  }

  DawResult operator()(const dawop::FxBypass& op) {
    if (auto missing = missingFx(op.track, op.fx)) return *missing;
    const DawTrack& track = *before.track(op.track);
    const std::string plugin = fxName(track, op.fx);
    const auto at = static_cast<std::size_t>(op.fx);
    const bool wasOn = at < track.fxOn.size() && track.fxOn[at];
    DawResult failed;
    if (!done({"fx_bypass", number(op.track), number(op.fx)}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || at >= changed->fxOn.size() || changed->fxOn[at] == wasOn) {
      return unconfirmed("bypass that plug-in");
    }
    const std::string state = wasOn ? "bypassed" : "switched on";
    daw.remember(state + " " + plugin + " on " + trackName(track));
    daw.lastTrack = op.track;
    daw.lastFx = {op.track, op.fx};
    return {true, plugin + " on " + trackName(track) + " is " + state + "."};
  }

  // Reads the parameter, lets `prepare` either stop with an answer or give
  // the command to send, sends it and reads the parameter back.
  using Prepare =
      std::function<std::optional<DawResult>(const DawParam&, std::vector<std::string>&)>;
  DawResult changeParam(int trackIndex, int fx, int param, const Prepare& prepare) {
    if (auto missing = missingFx(trackIndex, fx)) return *missing;
    const DawTrack& track = *before.track(trackIndex);
    const std::string plugin = fxName(track, fx);
    auto old = daw.params(trackIndex, fx);
    if (!old) return notAnswering();
    const DawParam* was = paramAt(*old, param);
    if (!was) return {false, "That plug-in has no such setting."};
    const DawParam oldParam = *was;
    std::vector<std::string> args;
    if (auto stop = prepare(oldParam, args)) return *stop;
    DawResult failed;
    auto answer = ask(args, 4, failed);
    if (!answer) return failed;
    const std::string reply = files::trim(*answer);
    if (reply.rfind("out of range", 0) == 0) {
      std::string reason = files::trim(reply.substr(std::string("out of range").size()));
      if (!reason.empty() && reason[0] == ':') reason = files::trim(reason.substr(1));
      std::string said = oldParam.name + " cannot go there.";
      if (!reason.empty()) said += " " + capitalised(reason) + ".";
      return {false, said};
    }
    if (reply != "ok") return refused(reply);
    auto fresh = daw.params(trackIndex, fx);
    const DawParam* now = fresh ? paramAt(*fresh, param) : nullptr;
    if (!now || (now->shown == oldParam.shown && std::fabs(now->norm - oldParam.norm) < 1e-9)) {
      return unconfirmed("change " + oldParam.name + " on " + plugin);
    }
    daw.remember("change " + oldParam.name + " on " + plugin + " from " + oldParam.shown + " to " +
                 now->shown);
    daw.lastTrack = trackIndex;
    daw.lastFx = {trackIndex, fx};
    daw.lastParam = param;
    return {true, oldParam.name + " on " + plugin + " is now " + now->shown + ". It was " +
                      oldParam.shown + "."};
  }

  DawResult operator()(const dawop::ParamNudge& op) {
    DawResult result = changeParam(op.track, op.fx, op.param, [&](const DawParam& p, auto& args) {
      const double target = std::clamp(p.norm + op.by, 0.0, 1.0);
      if (std::fabs(target - p.norm) < 1e-9) {
        return std::optional<DawResult>(DawResult{false, p.name + " is already as " +
                                                             (op.by > 0 ? "high" : "low") +
                                                             " as it goes, at " + p.shown + "."});
      }
      args = {"fx_param_set", number(op.track), number(op.fx), number(op.param),
              wire::number(target)};
      return std::optional<DawResult>();
    });
    if (result.ok) daw.lastNudge = op.by;
    return result;
  }

  DawResult operator()(const dawop::ParamTo& op) {
    return changeParam(op.track, op.fx, op.param, [&](const DawParam&, auto& args) {
      args = {"fx_param_to", number(op.track), number(op.fx), number(op.param),
              wire::number(op.value)};
      return std::optional<DawResult>();
    });
  }

  // The current preset and the names, from fx_preset with no choice.
  std::optional<std::pair<std::string, std::vector<std::string>>> presets(int track, int fx) {
    auto answer = daw.adapter.send({"fx_preset", number(track), number(fx)}, 4);
    if (!answer) return std::nullopt;
    const std::string text = files::trim(*answer);
    std::vector<std::string_view> parts = wire::split(text, '|');
    std::pair<std::string, std::vector<std::string>> out{std::string(parts[0]), {}};
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (!parts[i].empty()) out.second.emplace_back(parts[i]);
    }
    return out;
  }

  DawResult operator()(const dawop::Preset& op) {
    if (auto missing = missingFx(op.track, op.fx)) return *missing;
    const DawTrack& track = *before.track(op.track);
    const std::string plugin = fxName(track, op.fx);
    auto old = presets(op.track, op.fx);
    if (!old) return notAnswering();
    daw.lastTrack = op.track;
    daw.lastFx = {op.track, op.fx};
    if (op.choice.empty()) {
      if (!old->first.empty()) return {true, plugin + " is on the preset " + old->first + "."};
      return {true, plugin + " is not on a named preset. It has " +
                        number(static_cast<int>(old->second.size())) + " to choose from."};
    }
    if (old->second.empty())
      return {false, plugin + " has no presets that " + studio() + " can see."};
    const bool stepping = op.choice == "next" || op.choice == "previous";
    if (!stepping &&
        std::none_of(old->second.begin(), old->second.end(),
                     [&](const std::string& n) { return lowerCase(n) == lowerCase(op.choice); })) {
      return {false, "I could not find a preset called " + op.choice + " on " + plugin + "."};
    }
    DawResult failed;
    auto answer = ask({"fx_preset", number(op.track), number(op.fx), op.choice}, 4, failed);
    if (!answer) return failed;
    if (files::trim(*answer) != "ok") {
      return {false, "I could not find a preset called " + op.choice + " on " + plugin + "."};
    }
    auto now = presets(op.track, op.fx);
    const bool shows = now && !now->first.empty() &&
                       (stepping ? (now->first != old->first || old->second.size() == 1)
                                 : lowerCase(now->first) == lowerCase(op.choice));
    if (!shows) return unconfirmed("change the preset of " + plugin);
    daw.remember("preset " + now->first + " on " + plugin);
    return {true, plugin + " is now on the preset " + now->first + ". Say undo to go back."};
  }

  DawResult operator()(const dawop::VolumeTo& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    if (!done({"track_vol_set", number(op.track), wire::number(op.db)}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || std::fabs(changed->volDB - op.db) > 0.2) {
      return unconfirmed("set the volume of " + trackName(*track));
    }
    daw.remember("volume of " + trackName(*track) + " from " + spokenDB(track->volDB) + " to " +
                 spokenDB(changed->volDB));
    daw.lastTrack = op.track;
    return {true, capitalised(trackName(*track)) + " is at " + spokenDB(changed->volDB) +
                      ". It was " + spokenDB(track->volDB) + "."};
  }

  DawResult operator()(const dawop::PanTo& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    const int pan = std::clamp(op.pan, -100, 100);
    DawResult failed;
    if (!done({"track_pan_set", number(op.track), number(pan)}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || std::abs(changed->pan - pan) > 1)
      return unconfirmed("pan " + trackName(*track));
    daw.remember("pan of " + trackName(*track) + " to " + spokenPan(changed->pan));
    daw.lastTrack = op.track;
    return {true, capitalised(trackName(*track)) + " is panned " + spokenPan(changed->pan) + "."};
  }

  static bool flagOf(const DawTrack& track, const std::string& key) {
    return key == "mute" ? track.mute : key == "solo" ? track.solo : track.arm;
  }

  DawResult operator()(const dawop::Flag& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    if (!done({"track_set", number(op.track), op.key, op.on ? "1" : "0"}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    const std::string word = op.key == "mute" ? (op.on ? "muted" : "unmuted")
                             : op.key == "solo"
                                 ? (op.on ? "soloed" : "no longer soloed")
                                 : (op.on ? "armed for recording" : "no longer armed");
    if (!changed || flagOf(*changed, op.key) != op.on) {
      const std::string verb =
          op.key == "arm" ? (op.on ? "arm" : "disarm") : (op.on ? "" : "un") + op.key;
      return unconfirmed(verb + " " + trackName(*track));
    }
    daw.remember(word + " " + trackName(*track));
    daw.lastTrack = op.track;
    return {true, capitalised(trackName(*track)) + " is " + word + "."};
  }

  DawResult operator()(const dawop::AllOff& op) {
    std::vector<std::string> on;
    for (const DawTrack& track : before.tracks) {
      if (flagOf(track, op.key)) on.push_back(trackName(track));
    }
    if (on.empty()) return {false, "No track had " + op.key + " on."};
    DawResult failed;
    if (!done({"all_off", op.key}, 4, failed)) return failed;
    auto now = after();
    const bool cleared = now && std::none_of(now->tracks.begin(), now->tracks.end(),
                                             [&](const DawTrack& t) { return flagOf(t, op.key); });
    if (!cleared) return unconfirmed("clear every " + op.key);
    daw.remember("clear every " + op.key);
    return {true,
            capitalised(op.key) + " is off on every track. It was on for " + joined(on) + "."};
  }

  DawResult operator()(const dawop::Rename& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    if (!done({"track_rename", number(op.track), op.name}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.track) : nullptr;
    if (!changed || changed->name != op.name) return unconfirmed("rename " + trackName(*track));
    daw.remember("renamed " + trackName(*track) + " to " + op.name);
    daw.lastTrack = op.track;
    return {true, "Track " + number(op.track) + " is now called " + op.name + ". It was " +
                      trackName(*track) + "."};
  }

  DawResult operator()(const dawop::Duplicate& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    const std::string name = op.name.empty() ? trackName(*track) + " copy" : op.name;
    DawResult failed;
    if (!done({"track_duplicate", number(op.track), name}, 4, failed)) return failed;
    auto now = after();
    const DawTrack* copy = now ? now->track(op.track + 1) : nullptr;
    if (!copy || now->tracks.size() != before.tracks.size() + 1 || copy->name != name) {
      return unconfirmed("duplicate " + trackName(*track));
    }
    daw.remember("duplicated " + trackName(*track) + " as " + name);
    daw.lastTrack = copy->index;
    return {true, capitalised(trackName(*track)) + " is duplicated. The copy is track " +
                      number(copy->index) + ", called " + name + ", with the same " +
                      plural(static_cast<long>(copy->fx.size()), "plug-in") + "."};
  }

  DawResult operator()(const dawop::NewTrack& op) {
    DawResult failed;
    if (!done({"track_new", op.instrument ? "instrument" : "audio", op.name, op.fx}, 15, failed)) {
      return failed;
    }
    auto now = after();
    if (!now || now->tracks.size() != before.tracks.size() + 1)
      return unconfirmed("make a new track");
    const DawTrack& made = now->tracks.back();
    const std::string name = made.name.empty() ? op.name : made.name;
    daw.remember("new track " + (name.empty() ? trackName(made) : name));
    daw.lastTrack = made.index;
    if (!op.fx.empty() && made.fx.empty()) {
      return {false,
              "I made track " + number(made.index) + ", but " + op.fx + " did not load on it."};
    }
    std::string said = "New " + std::string(op.instrument ? "instrument" : "audio") +
                       " track, number " + number(made.index);
    if (!name.empty()) said += ", called " + name;
    if (!made.fx.empty()) said += ", with " + daw.adapter.spokenFx(made.fx.front());
    return {true, said + ". It is armed and selected."};
  }

  DawResult operator()(const dawop::Delete& op) {
    const DawTrack* track = before.track(op.track);
    if (!track) return noTrack(op.track);
    DawResult failed;
    if (!done({"track_delete", number(op.track)}, 4, failed)) return failed;
    auto now = after();
    if (!now || now->tracks.size() + 1 != before.tracks.size())
      return unconfirmed("delete " + trackName(*track));
    daw.remember("deleted " + trackName(*track));
    daw.lastTrack.reset();
    daw.lastFx.reset();
    daw.lastParam.reset();
    return {true, capitalised(trackName(*track)) + " is deleted. Say undo to bring it back."};
  }

  DawResult operator()(const dawop::MoveBelow& op) {
    const DawTrack* track = before.track(op.track);
    if (!track || op.track == 0) return noTrack(op.track);
    const DawTrack* other = before.track(op.below);
    if (!other || op.below == 0) return noTrack(op.below);
    DawResult failed;
    if (!done({"track_move", number(op.track), number(op.below)}, 4, failed)) return failed;
    // Below a later track, the tracks between move up one.
    const int landed = op.track < op.below ? op.below : op.below + 1;
    auto now = after();
    const DawTrack* moved = now ? now->track(landed) : nullptr;
    if (!moved || moved->name != track->name) return unconfirmed("move " + trackName(*track));
    daw.remember("moved " + trackName(*track) + " below " + trackName(*other));
    daw.lastTrack = landed;
    return {true, capitalised(trackName(*track)) + " is now track " + number(landed) +
                      ", just below " + trackName(*other) + "."};
  }

  DawResult operator()(const dawop::Send& op) {
    const DawTrack* from = before.track(op.from);
    if (!from) return noTrack(op.from);
    const DawTrack* to = before.track(op.to);
    if (!to) return noTrack(op.to);
    auto sendsTo = [&](const DawTrack& t) {
      return std::count_if(t.sends.begin(), t.sends.end(),
                           [&](const DawSend& s) { return s.to == to->name; });
    };
    if (sendsTo(*from) > 0) {
      return {false, capitalised(trackName(*from)) + " already sends to " + trackName(*to) + "."};
    }
    DawResult failed;
    if (!done({"send_create", number(op.from), number(op.to), wire::number(op.db)}, 4, failed))
      return failed;
    auto now = after();
    const DawTrack* changed = now ? now->track(op.from) : nullptr;
    if (!changed || sendsTo(*changed) == 0) return unconfirmed("create that send");
    daw.remember("send from " + trackName(*from) + " to " + trackName(*to));
    daw.lastTrack = op.from;
    return {true, capitalised(trackName(*from)) + " now sends to " + trackName(*to) + " at " +
                      spokenDB(op.db) + "."};
  }

  DawResult operator()(const dawop::Transport& op) {
    static const std::vector<std::string> known{"play", "stop", "record", "start"};
    if (std::find(known.begin(), known.end(), op.command) == known.end()) {
      return {false, "I cannot " + op.command + " the transport."};
    }
    // The bridge's play and record toggle: asked again, they would stop.
    if (op.command == "play" && before.transport == "playing") return {true, "Playing."};
    if (op.command == "record" && before.transport == "recording") return {true, "Recording."};
    DawResult failed;
    auto answer = ask({op.command}, 4, failed);
    if (!answer) return failed;
    auto now = after();
    if (op.command == "record") {
      if (!now || now->transport != "recording") return {false, "Recording did not start."};
      return {true, "Recording."};
    }
    if (op.command == "start") return {true, "At the start."};
    const std::string expected = op.command == "play" ? "playing" : "stopped";
    if (!now || now->transport != expected) return unconfirmed(op.command);
    return {true, capitalised(now->transport) + "."};
  }

  DawResult operator()(const dawop::Tempo& op) {
    DawResult failed;
    auto answer = ask({"tempo", "set", wire::number(op.bpm)}, 4, failed);
    if (!answer) return failed;
    auto now = after();
    if (!now || std::fabs(now->tempo - op.bpm) > 0.01) return unconfirmed("set the tempo");
    daw.remember("tempo from " + spokenNumber(before.tempo) + " to " + spokenNumber(now->tempo));
    return {true, "Tempo is " + spokenNumber(now->tempo) + ". It was " +
                      spokenNumber(before.tempo) + "."};
  }

  DawResult undoOrRedo(const std::string& command) {
    DawResult failed;
    auto answer = ask({command}, 4, failed);
    if (!answer) return failed;
    const std::string reply = files::trim(*answer);
    if (reply.rfind("nothing to", 0) == 0) return {false, "Nothing to " + command + "."};
    after();
    if (command == "undo" && !daw.history.empty()) daw.history.pop_back();
    return {true, reply};
  }
  DawResult operator()(const dawop::Undo&) { return undoOrRedo("undo"); }
  DawResult operator()(const dawop::Redo&) { return undoOrRedo("redo"); }
};

Daw::Daw(DawAdapter& studio, std::function<std::time_t()> wallClock)
    : adapter(studio), wallClock_(std::move(wallClock)) {
  if (!wallClock_) wallClock_ = [] { return std::time(nullptr); };
}

void Daw::remember(std::string what) {
  const std::time_t now = wallClock_();
  history.push_back({now, std::move(what)});
  lastChange = now;
}

std::optional<std::vector<DawParam>> Daw::params(int track, int fx) {
  auto answer = adapter.send({"fx_params", std::to_string(track), std::to_string(fx)}, 3);
  if (!answer) return std::nullopt;
  return parseParams(*answer);
}

std::optional<DawState> Daw::look() {
  auto state = adapter.state();
  if (!state) return state;
  if (lastTrack && *lastTrack > 0) {
    const DawTrack* now = state->track(*lastTrack);
    auto at = static_cast<std::size_t>(*lastTrack);
    if (!now || (at < seenNames_.size() && seenNames_[at] != now->name)) lastTrack.reset();
  }
  seenNames_.assign(1, state->master.name);
  for (const DawTrack& t : state->tracks) seenNames_.push_back(t.name);
  return state;
}

DawResult Daw::perform(const DawOp& op) {
  // A limit is answered before anything is asked of the studio.
  if (auto limit = limitOf(op)) return answered({false, *limit});
  auto before = look();
  if (!before)
    return answered({false, adapter.name() + " is not answering, so I have not changed anything."});
  return performOn(op, *before);
}

DawResult Daw::performOn(const DawOp& op, const DawState& before) {
  if (auto limit = limitOf(op)) return answered({false, *limit});
  return answered(std::visit(Step{*this, before}, op));
}

DawResult Daw::answered(DawResult result) {
  lastSaid = result.said;
  return result;
}

DawResult Daw::runPlan(const std::vector<PlanStep>& steps, const std::function<bool()>& running) {
  std::vector<std::string> said;
  bool ok = true;
  for (const PlanStep& step : steps) {
    if (running && !running()) break;
    auto state = look();
    std::optional<DawOp> op;
    if (state && step.op) op = step.op(*state);
    if (!op) {
      said.push_back("I could not work out the " + step.what + " step, so I stopped there.");
      ok = false;
      break;
    }
    // The snapshot the step was worked out from is the one it is checked against.
    DawResult result = performOn(*op, *state);
    said.push_back(result.said);
    if (!result.ok) {
      said.push_back("I stopped there.");
      ok = false;
      break;
    }
  }
  std::string text;
  for (const std::string& sentence : said) text += (text.empty() ? "" : " ") + sentence;
  text += (text.empty() ? "" : " ") + std::string("Say undo to step back, or ask what I changed.");
  return answered({ok, text});
}

}  // namespace orvo
