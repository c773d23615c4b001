#include "studio/daw-understand.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_map>

#include "lessons/music-words.h"
#include "lessons/plain-words.h"
#include "studio/daw-speech.h"
#include "studio/daw-words.h"

namespace orvo {
namespace {

using dawwords::Words;

std::string trimmed(std::string word) {
  if (word.size() > 3 && word.back() == 's') word.pop_back();
  return word;
}

using dawspeech::capitalised;
using dawspeech::joined;
using dawspeech::plural;
using dawspeech::trackName;

std::vector<std::string> wordsOf(std::string_view text) {
  return plainWords(std::string(text));
}

std::string titleCase(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : " ") + capitalised(word);
  return out;
}

// The sentence as understanding reads it.
struct Said {
  std::vector<std::string> raw;    // as heard
  std::vector<std::string> words;  // plural-trimmed
  std::string padded;              // " " + words joined + " "

  explicit Said(const Heard& heard) : raw(heard.words) {
    padded = " ";
    for (const std::string& word : raw) {
      words.push_back(trimmed(word));
      padded += words.back() + " ";
    }
  }
  static std::string form(std::string_view phrase) {
    std::string out = " ";
    for (const std::string& word : wordsOf(phrase)) out += trimmed(word) + " ";
    return out;
  }
  // Each phrase is formed once per thread (a few hundred of the vocabulary,
  // and the project's names, so the cache is bounded).
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  static const std::string& formed(std::string_view phrase) {
    thread_local std::unordered_map<std::string, std::string, Hash, std::equal_to<>> cache;
    auto found = cache.find(phrase);
    if (found == cache.end()) {
      if (cache.size() > 4096) cache.clear();
      found = cache.emplace(std::string(phrase), form(phrase)).first;
    }
    return found->second;
  }
  // The word index where the phrase begins, as whole words.
  std::optional<std::size_t> find(std::string_view phrase, std::size_t from = 0) const {
    const std::string& needle = formed(phrase);
    if (needle.size() <= 2) return std::nullopt;
    std::size_t at = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (i >= from && padded.compare(at, needle.size(), needle) == 0) return i;
      at += words[i].size() + 1;
    }
    return std::nullopt;
  }
  bool has(std::string_view phrase) const { return find(phrase).has_value(); }
  bool any(const Words& phrases) const {
    return std::any_of(phrases.begin(), phrases.end(), [&](std::string_view p) { return has(p); });
  }
  std::size_t length(std::string_view phrase) const { return wordsOf(phrase).size(); }
  // The raw words after the first of the phrases, up to the end.
  std::vector<std::string> after(const Words& phrases) const {
    for (std::string_view phrase : phrases) {
      if (auto at = find(phrase)) {
        return {raw.begin() + static_cast<long>(*at + length(phrase)), raw.end()};
      }
    }
    return {};
  }
};

// A number at or after word `from`: digits or number words, "point" and more
// digits, and "minus" or "negative" before it. The index after it too.
std::optional<std::pair<double, std::size_t>> numberFrom(const Said& s, std::size_t from) {
  const auto& table = numberWords();
  auto wordValue = [&](const std::string& word) -> std::optional<double> {
    if (!word.empty() &&
        std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        word.size() <= 6) {
      return std::stod(word);
    }
    auto found = table.find(word);
    if (found == table.end() || word == "a" || word == "an" || word == "to" || word == "for" ||
        word == "half") {
      return std::nullopt;
    }
    return static_cast<double>(found->second);
  };
  for (std::size_t i = from; i < s.raw.size(); ++i) {
    auto value = wordValue(s.raw[i]);
    if (!value) continue;
    double number = *value;
    std::size_t j = i + 1;
    if (number >= 20 && number < 100 && std::fmod(number, 10) == 0 && j < s.raw.size()) {
      if (auto unit = wordValue(s.raw[j]); unit && *unit < 10) {
        number += *unit;
        ++j;
      }
    }
    if (j < s.raw.size() && s.raw[j] == "hundred" && number < 10) {
      number *= 100;
      ++j;
    }
    if (j + 1 < s.raw.size() && s.raw[j] == "point") {
      if (auto tenths = wordValue(s.raw[j + 1]); tenths && *tenths < 10) {
        number += *tenths / 10;
        j += 2;
      }
    }
    if (i > 0 && (s.raw[i - 1] == "minus" || s.raw[i - 1] == "negative")) number = -number;
    return std::make_pair(number, j);
  }
  return std::nullopt;
}

std::optional<double> numberAfter(const Said& s, const Words& phrases) {
  for (std::string_view phrase : phrases) {
    if (auto at = s.find(phrase)) {
      if (auto found = numberFrom(s, *at + s.length(phrase))) return found->first;
    }
  }
  return std::nullopt;
}

const dawwords::FxKind* kindHeard(const Said& s) {
  for (const auto& kind : dawwords::fxKinds()) {
    if (s.any(kind.asks)) return &kind;
  }
  return nullptr;
}

bool isKind(const dawwords::FxKind& kind, const std::string& fxName) {
  const std::string name = lowerCase(fxName);
  return std::any_of(kind.inNames.begin(), kind.inNames.end(),
                     [&](std::string_view part) { return name.find(part) != std::string::npos; });
}

struct Ctx {
  Daw& daw;
  const Heard& heard;
  const Said& s;
  const DawState& state;

  std::string spokenFx(const std::string& name) const { return daw.adapter.spokenFx(name); }
  std::string listNames() const {
    std::vector<std::string> names;
    for (const DawTrack& t : state.tracks) names.push_back(trackName(t));
    return joined(names);
  }
  TrackPick pickTrack(bool allowDefault) const { return pick(daw, heard, state, allowDefault); }

  // The one track meant, or the question or answer that stands for it.
  std::optional<DawTrack> track(bool allowDefault, DawAsk& instead) const {
    TrackPick found = pickTrack(allowDefault);
    if (found.kind == TrackPick::Kind::one) return found.tracks.front();
    if (found.kind == TrackPick::Kind::many) {
      instead = DawAsk::question(which(found.tracks));
    } else if (state.tracks.empty()) {
      instead = DawAsk::say("There are no tracks yet. Say new track to make one.");
    } else if (!found.heardName.empty()) {
      instead = DawAsk::question("I could not find a track called " + found.heardName +
                                 ". The project has " + listNames() + ".");
    } else {
      instead = DawAsk::question("Which track? The project has " + listNames() + ".");
    }
    return std::nullopt;
  }

  // The plug-in meant on a track: by a kind heard, by a name heard, or the
  // last one spoken about.
  std::optional<int> fxOn(const DawTrack& t) const {
    if (const auto* kind = kindHeard(s)) {
      for (std::size_t i = 0; i < t.fx.size(); ++i) {
        if (isKind(*kind, t.fx[i])) return static_cast<int>(i);
      }
      return std::nullopt;
    }
    for (std::size_t i = 0; i < t.fx.size(); ++i) {
      std::string spoken = spokenFx(t.fx[i]);
      std::string base = spoken.substr(0, spoken.find(','));
      if (!base.empty() && s.has(base)) return static_cast<int>(i);
    }
    if (daw.lastFx && daw.lastFx->first == t.index &&
        daw.lastFx->second < static_cast<int>(t.fx.size())) {
      return daw.lastFx->second;
    }
    return std::nullopt;
  }
};

using Family = std::function<std::optional<DawAsk>(Ctx&)>;

std::string describeTrack(Ctx& c, const DawTrack& t) {
  return described(t, c.daw.adapter, true);
}

std::optional<DawAsk> changes(Ctx& c) {
  static const Words phrases = {
      "what did you change",   "what did you do", "what just happened", "recent changes",
      "what have you changed", "read my changes", "what changed"};
  if (!c.s.any(phrases)) return std::nullopt;
  if (c.daw.history.empty()) return DawAsk::say("I have not changed anything in this project yet.");
  std::vector<std::string> last;
  const std::size_t from = c.daw.history.size() > 5 ? c.daw.history.size() - 5 : 0;
  for (std::size_t i = from; i < c.daw.history.size(); ++i) last.push_back(c.daw.history[i].what);
  std::string text = "Most recent last: ";
  for (std::size_t i = 0; i < last.size(); ++i) text += (i ? ". " : "") + last[i];
  return DawAsk::say(text + ". Say undo to take back the last one.");
}

std::optional<DawAsk> undoRedo(Ctx& c) {
  if (c.s.has("undo")) return DawAsk::change(dawop::Undo{});
  if (c.s.has("redo")) return DawAsk::change(dawop::Redo{});
  return std::nullopt;
}

std::optional<DawAsk> howMany(Ctx& c) {
  if (!c.s.has("how many tracks") && !c.s.has("how many track")) return std::nullopt;
  std::vector<std::string> names;
  for (const DawTrack& t : c.state.tracks) names.push_back(trackName(t));
  std::string text = plural(static_cast<long>(names.size()), "track");
  if (!names.empty()) text += ": " + joined(names, ", ");
  return DawAsk::say(text + ".");
}

std::optional<DawAsk> trackLists(Ctx& c) {
  static const Words lists = {
      "list the tracks",        "list tracks",     "list all tracks", "what tracks",
      "which tracks are there", "read the tracks", "all the tracks"};
  static const Words questions = {"which", "what", "any", "are any", "list"};
  struct State {
    std::string_view word, spoken;
    bool DawTrack::*flag;
  };
  static const std::vector<State> states = {{"muted", "muted", &DawTrack::mute},
                                            {"soloed", "soloed", &DawTrack::solo},
                                            {"armed", "armed", &DawTrack::arm}};
  const bool asked = c.s.any(questions);
  for (const State& st : states) {
    if (!asked || !c.s.has(st.word)) continue;
    std::vector<std::string> names;
    for (const DawTrack& t : c.state.tracks) {
      if (t.*st.flag) names.push_back(trackName(t));
    }
    if (names.empty()) return DawAsk::say("No track is " + std::string(st.spoken) + ".");
    return DawAsk::say(capitalised(joined(names)) + (names.size() == 1 ? " is " : " are ") +
                       std::string(st.spoken) + ".");
  }
  if (asked && (c.s.has("have") || c.s.has("with"))) {
    if (const auto* kind = kindHeard(c.s)) {
      std::vector<std::string> names;
      for (const DawTrack& t : c.state.tracks) {
        if (std::any_of(t.fx.begin(), t.fx.end(),
                        [&](const std::string& fx) { return isKind(*kind, fx); })) {
          names.push_back(trackName(t));
        }
      }
      if (names.empty()) return DawAsk::say("No track has a " + std::string(kind->label) + ".");
      return DawAsk::say(capitalised(joined(names)) + (names.size() == 1 ? " has a " : " have a ") +
                         std::string(kind->label) + ".");
    }
  }
  if (!c.s.any(lists) || c.s.has("am i on")) return std::nullopt;
  if (c.state.tracks.empty())
    return DawAsk::say("There are no tracks yet. Say new track to make one.");
  std::vector<std::string> lines;
  for (const DawTrack& t : c.state.tracks)
    lines.push_back(std::to_string(t.index) + ", " + trackName(t));
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : ". ") + line;
  return DawAsk::say(text + ".");
}

std::optional<DawAsk> currentTrack(Ctx& c) {
  static const Words phrases = {"what is selected",   "whats selected",      "where am i",
                                "what track am i on", "which track am i on", "what am i on",
                                "current track"};
  if (!c.s.any(phrases)) return std::nullopt;
  for (const DawTrack& t : c.state.tracks) {
    if (t.selected) {
      c.daw.lastTrack = t.index;
      return DawAsk::say(described(t, c.daw.adapter, false));
    }
  }
  return DawAsk::say("No track is selected. ");
}

std::optional<DawAsk> capabilities(Ctx& c) {
  static const Words phrases = {"what can i do", "what can you do here", "what are my options",
                                "what can i say"};
  if (!c.s.any(phrases)) return std::nullopt;
  return DawAsk::say(
      " I can find and describe tracks, change volume, pan, mute, solo and record arm, rename, "
      "duplicate, move and delete tracks, add, remove and bypass plug-ins, read and change their "
      "settings and presets, make sends and buses, run the transport, and undo. Ask me what I "
      "changed at any time.");
}

std::optional<DawAsk> checks(Ctx& c) {
  static const Words phrases = {"before exporting",  "before i export",  "ready to export",
                                "check the project", "anything wrong",   "troubleshoot",
                                "why cant i hear",   "why is it silent", "no sound"};
  if (!c.s.any(phrases)) return std::nullopt;
  std::vector<std::string> findings;
  if (c.state.master.mute) findings.push_back("the master is muted");
  if (c.state.master.volDB < -40)
    findings.push_back("the master is turned almost all the way down");
  auto named = [&](bool DawTrack::*flag) {
    std::vector<std::string> names;
    for (const DawTrack& t : c.state.tracks) {
      if (t.*flag) names.push_back(trackName(t));
    }
    return names;
  };
  if (auto soloed = named(&DawTrack::solo); !soloed.empty()) {
    findings.push_back(joined(soloed, ", ") + (soloed.size() == 1 ? " is" : " are") +
                       " soloed, so nothing else will be heard");
  }
  if (auto armed = named(&DawTrack::arm); !armed.empty()) {
    findings.push_back(joined(armed, ", ") + (armed.size() == 1 ? " is" : " are") +
                       " still armed for recording");
  }
  auto bypassed = [&](const DawTrack& t) {
    for (std::size_t i = 0; i < t.fx.size(); ++i) {
      if (i >= t.fxOn.size() || !t.fxOn[i]) {
        findings.push_back(c.spokenFx(t.fx[i]) + " on " + trackName(t) + " is bypassed");
      }
    }
  };
  bypassed(c.state.master);
  for (const DawTrack& t : c.state.tracks) bypassed(t);
  std::vector<std::string> empty;
  for (const DawTrack& t : c.state.tracks) {
    if (t.items == 0) empty.push_back(trackName(t));
  }
  if (!empty.empty()) {
    findings.push_back(joined(empty, ", ") + (empty.size() == 1 ? " has" : " have") +
                       " nothing recorded");
  }
  if (findings.empty()) {
    return DawAsk::say(
        "I checked mutes, solos, record arms, bypassed plug-ins and the master. Nothing looks "
        "wrong. I have not measured the sound itself.");
  }
  return DawAsk::say("Here is what I can see: " + joined(findings, "; ", "; ") +
                     ". I have not measured the sound itself.");
}

std::optional<DawAsk> pluginLists(Ctx& c) {
  static const Words phrases = {"what plugins",   "which plugins",    "what plug ins",
                                "what effects",   "which effects",    "plugins are on",
                                "effects are on", "list the plugins", "list plugins",
                                "whats on",       "what is on"};
  if (!c.s.any(phrases)) return std::nullopt;
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  c.daw.lastTrack = t->index;
  if (t->fx.empty() && t->sends.empty())
    return DawAsk::say(capitalised(trackName(*t)) + " has no plug-ins.");
  std::vector<std::string> fx;
  for (std::size_t i = 0; i < t->fx.size(); ++i) {
    fx.push_back(c.spokenFx(t->fx[i]) + (i < t->fxOn.size() && t->fxOn[i] ? "" : ", bypassed"));
  }
  std::string text =
      capitalised(trackName(*t)) +
      (fx.empty() ? " has no plug-ins." : " has " + joined(fx, "; and ", "; ") + ".");
  if (!t->sends.empty()) {
    std::vector<std::string> sends;
    for (const DawSend& send : t->sends) sends.push_back(send.to + " at " + spokenDB(send.db));
    text += " It sends to " + joined(sends) + ".";
  }
  return DawAsk::say(text);
}

// A parameter by the words heard: "threshold" also finds "Thresh".
std::optional<DawParam> paramNamed(const std::vector<DawParam>& params, std::string_view word) {
  const std::string want = lowerCase(std::string(word));
  for (const DawParam& p : params) {
    for (const std::string& w : wordsOf(p.name)) {
      if (w == want || (w.size() >= 4 && want.rfind(w, 0) == 0)) return p;
    }
    if (lowerCase(p.name).find(want) != std::string::npos) return p;
  }
  return std::nullopt;
}

// The number of Hz a displayed frequency shows ("2.5 kHz" is 2500).
std::optional<double> hertz(const std::string& shown) {
  std::size_t at = shown.find_first_of("0123456789");
  if (at == std::string::npos) return std::nullopt;
  std::size_t end = at;
  while (end < shown.size() &&
         (std::isdigit(static_cast<unsigned char>(shown[end])) || shown[end] == '.'))
    ++end;
  double value = std::atof(shown.substr(at, end - at).c_str());
  if (lowerCase(shown).find("khz") != std::string::npos) value *= 1000;
  return value;
}

// The Gain of the EQ band heard, located by its Freq.
std::optional<DawParam> bandGain(const std::vector<DawParam>& params,
                                 const dawwords::EqBand& band) {
  for (const DawParam& freq : params) {
    const std::string name = lowerCase(freq.name);
    if (name.rfind("freq", 0) != 0) continue;
    auto hz = hertz(freq.shown);
    if (!hz || *hz < band.lowHz || *hz >= band.highHz) continue;
    const std::string suffix = name.substr(4);
    for (const DawParam& gain : params) {
      const std::string g = lowerCase(gain.name);
      if (g.rfind("gain", 0) == 0 && g.substr(4) == suffix) return gain;
    }
  }
  return std::nullopt;
}

struct Target {
  DawTrack track;
  int fx = -1;
};

// The plug-in a settings request is about, or what stands in for it.
std::optional<Target> pluginTarget(Ctx& c, DawAsk& instead) {
  auto t = c.track(true, instead);
  if (!t) return std::nullopt;
  auto fx = c.fxOn(*t);
  if (!fx) {
    if (const auto* kind = kindHeard(c.s)) {
      instead =
          DawAsk::say(capitalised(trackName(*t)) + " has no " + std::string(kind->label) + ".");
    } else if (t->fx.empty()) {
      instead = DawAsk::say(capitalised(trackName(*t)) + " has no plug-ins.");
    } else {
      instead = DawAsk::question("Which plug-in on " + trackName(*t) + "?");
    }
    return std::nullopt;
  }
  c.daw.lastTrack = t->index;
  c.daw.lastFx = {t->index, *fx};
  return Target{*t, *fx};
}

bool mentionsPlugin(Ctx& c) {
  if (kindHeard(c.s)) return true;
  for (const DawTrack& t : c.state.tracks) {
    for (const std::string& fx : t.fx) {
      std::string spoken = c.spokenFx(fx);
      std::string base = spoken.substr(0, spoken.find(','));
      if (!base.empty() && c.s.has(base)) return true;
    }
  }
  return c.s.has("plugin") || c.s.has("plug in") || c.s.has("effect");
}

std::optional<DawAsk> pluginSettings(Ctx& c) {
  static const Words asks = {"settings",     "parameters", "current settings", "what is the",
                             "what are the", "read the",   "tell me its",      "how is the"};
  if (!c.s.any(asks) || !mentionsPlugin(c)) return std::nullopt;
  DawAsk instead;
  auto target = pluginTarget(c, instead);
  if (!target) return instead;
  const std::string plugin = c.spokenFx(target->track.fx[static_cast<std::size_t>(target->fx)]);
  auto params = c.daw.params(target->track.index, target->fx);
  if (!params) return DawAsk::say(c.daw.adapter.name() + " did not answer.");
  if (params->empty())
    return DawAsk::say(plugin + " does not show its settings to " + c.daw.adapter.name() + ".");
  std::string text = plugin + ": ";
  for (std::size_t i = 0; i < params->size(); ++i) {
    text += (i ? ", " : "") + (*params)[i].name + " " + (*params)[i].shown;
  }
  return DawAsk::say(text + ".");
}

std::optional<DawAsk> describeFamily(Ctx& c) {
  static const Words asks = {"tell me about", "describe", "inspect",
                             "status of",     "how is",   "read me"};
  if (!c.s.any(asks)) return std::nullopt;
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  c.daw.lastTrack = t->index;
  return DawAsk::say(describeTrack(c, *t));
}

std::optional<DawAsk> modes(Ctx& c) {
  struct Mode {
    std::string_view words, mode, sentence;
  };
  static const std::vector<Mode> all = {
      {"guided mode", "guided",
       "Guided mode. I will explain every change and wait for a yes before I make it."},
      {"assisted mode", "assisted",
       "Assisted mode. I make ordinary changes straight away and tell you what happened. I still "
       "ask before "
       "deleting anything or running a plan of several steps."},
      {"autonomous mode", "autonomous",
       "Autonomous mode. I carry out plans of several steps without asking first, and report at "
       "the end. I "
       "still ask before deleting anything."},
  };
  for (const Mode& m : all) {
    if (c.s.has(m.words)) {
      DawAsk ask = DawAsk::say(std::string(m.sentence));
      ask.mode = std::string(m.mode);
      return ask;
    }
  }
  return std::nullopt;
}

PlanStep addStep(std::string what, int track, std::string fx) {
  return {std::move(what), [track, fx](const DawState& state) -> std::optional<DawOp> {
            if (!state.track(track)) return std::nullopt;
            return dawop::FxAdd{track, fx};
          }};
}

// The bus of that name, made with its plug-in when there is none, and a send to it.
std::vector<PlanStep> busSteps(const DawState& state, int from, const std::string& bus,
                               const std::string& fx, double db, const std::string& makeWhat,
                               const std::string& sendWhat) {
  std::vector<PlanStep> steps;
  if (!std::any_of(state.tracks.begin(), state.tracks.end(),
                   [&](const DawTrack& t) { return t.name == bus; })) {
    steps.push_back({makeWhat, [bus, fx](const DawState&) -> std::optional<DawOp> {
                       return dawop::NewTrack{false, bus, fx};
                     }});
  }
  steps.push_back({sendWhat, [from, bus, db](const DawState& now) -> std::optional<DawOp> {
                     for (const DawTrack& t : now.tracks) {
                       if (t.name == bus) return dawop::Send{from, t.index, db};
                     }
                     return std::nullopt;
                   }});
  return steps;
}

bool sendsTo(const DawTrack& t, const std::string& bus) {
  return std::any_of(t.sends.begin(), t.sends.end(), [&](const DawSend& s) { return s.to == bus; });
}

std::optional<DawAsk> vocalPrep(Ctx& c) {
  static const Words doing = {"prepare", "clean up", "mix",  "process",   "chain",
                              "set up",  "ready",    "help", "for mixing"};
  if (!c.s.any(dawwords::vocalWords()) || !c.s.any(doing)) return std::nullopt;
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  c.daw.lastTrack = t->index;
  const auto& kinds = dawwords::fxKinds();
  auto has = [&](std::string_view label) {
    const auto& kind =
        *std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.label == label; });
    return std::any_of(t->fx.begin(), t->fx.end(),
                       [&](const std::string& fx) { return isKind(kind, fx); });
  };
  std::vector<std::string> already;
  std::vector<PlanStep> steps;
  std::vector<std::string> named;
  if (has("EQ")) {
    already.push_back("an EQ");
  } else {
    steps.push_back(addStep("add an EQ, left flat for you to shape", t->index, "ReaEQ"));
  }
  if (has("compressor")) {
    already.push_back("a compressor");
  } else {
    steps.push_back(
        addStep("add a compressor after it, at its default setting", t->index, "ReaComp"));
  }
  if (sendsTo(*t, "Reverb Bus")) {
    already.push_back("a send to the reverb bus");
  } else {
    for (PlanStep& step :
         busSteps(c.state, t->index, "Reverb Bus", "ReaVerbate", -15, "make a reverb bus",
                  "send the vocal to the reverb bus, quietly, at minus 15 decibels")) {
      steps.push_back(std::move(step));
    }
  }
  const std::string has_ = already.empty() ? "" : ", which already has " + joined(already);
  if (steps.empty()) {
    return DawAsk::say(capitalised(trackName(*t)) + has_ +
                       ". I would not add more. Ask me for its settings if you "
                       "want to adjust them.");
  }
  std::vector<std::string> whats;
  for (const PlanStep& step : steps) whats.push_back(step.what);
  return DawAsk::plan("For " + trackName(*t) + has_ + ", I would " + joined(whats, ", then ") +
                          ". These are starting points, not a finished vocal sound.",
                      std::move(steps));
}

std::optional<DawAsk> mastering(Ctx& c) {
  static const Words asks = {"help",        "chain",          "master my", "master the",
                             "master this", "can you master", "starting"};
  if (!(c.s.has("master") || c.s.has("mastering")) || !c.s.any(asks)) return std::nullopt;
  if (c.s.has("track") && !c.s.has("mastering") && !c.s.has("master my") &&
      !c.s.has("can you master")) {
    return std::nullopt;
  }
  if (!c.state.master.fx.empty()) {
    std::vector<std::string> fx;
    for (const std::string& name : c.state.master.fx) fx.push_back(c.spokenFx(name));
    return DawAsk::say(
        "The master already has " + joined(fx) +
        ". I can read their settings or measure the level while it plays, but judging a "
        "master needs your ears.");
  }
  return DawAsk::plan(
      "I cannot master a song by myself, and nobody should claim to with one plug-in. What I can "
      "do is put a limiter last on the master so nothing clips, then read you the level while it "
      "plays. Everything else needs your ears.",
      {addStep("put a limiter last on the master", 0, "ReaLimit")});
}

std::optional<DawAsk> buses(Ctx& c) {
  static const Words asks = {"bus", "send", "a little", "some", "a bit of", "a touch of"};
  const bool reverb = c.s.has("reverb");
  const bool delay = c.s.has("delay");
  if (!(reverb || delay) || !c.s.any(asks)) return std::nullopt;
  if (c.s.has("add") && !c.s.has("bus") && !c.s.has("send") &&
      (c.s.has("plugin") || c.s.has("on"))) {
    return std::nullopt;  // "add a reverb on the vocal" is a plug-in
  }
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  const std::string bus = reverb ? "Reverb Bus" : "Delay Bus";
  const std::string fx = reverb ? "ReaVerbate" : "ReaDelay";
  const std::string kind = reverb ? "reverb" : "delay";
  if (t->name == bus) return DawAsk::say("A track cannot send to itself.");
  if (sendsTo(*t, bus))
    return DawAsk::say(capitalised(trackName(*t)) + " already sends to " + bus + ".");
  const bool exists = std::any_of(c.state.tracks.begin(), c.state.tracks.end(),
                                  [&](const DawTrack& each) { return each.name == bus; });
  std::string explain =
      exists ? "I would send " + trackName(*t) + " to the " + bus + " at minus 15 decibels."
             : "There is no " + kind + " bus yet. I would make a track called " + bus + " with " +
                   fx + " on it, and send " + trackName(*t) + " to it at minus 15 decibels.";
  return DawAsk::plan(explain, busSteps(c.state, t->index, bus, fx, -15, "make a " + kind + " bus",
                                        "send " + trackName(*t) + " to the " + kind + " bus"));
}

// A heard sentence made of some of this one's words, for picking a track from part of it.
Heard partOf(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return Heard(text);
}

// The tracks named before and after the word at `split`: the first may be
// the default track, the second must be named.
std::pair<TrackPick, TrackPick> pickAround(Ctx& c, std::size_t split) {
  const auto at = c.s.raw.begin() + static_cast<long>(split);
  return {pick(c.daw, partOf({c.s.raw.begin(), at}), c.state, true),
          pick(c.daw, partOf({at + 1, c.s.raw.end()}), c.state, false)};
}

std::optional<DawAsk> sends(Ctx& c) {
  auto at = c.s.find("send");
  if (!at) return std::nullopt;
  auto to = c.s.find("to", *at + 1);
  if (!to) return std::nullopt;
  auto [from, dest] = pickAround(c, *to);
  for (const TrackPick* p : {&from, &dest}) {
    if (p->kind == TrackPick::Kind::many) return DawAsk::question(which(p->tracks));
  }
  if (dest.kind != TrackPick::Kind::one) {
    return DawAsk::question("Which track should it send to? The project has " + c.listNames() +
                            ".");
  }
  if (from.kind != TrackPick::Kind::one) return DawAsk::question("Which track should send?");
  if (from.tracks[0].index == dest.tracks[0].index)
    return DawAsk::say("A track cannot send to itself.");
  double db = numberAfter(c.s, {"at"}).value_or(-12);
  return DawAsk::change(dawop::Send{from.tracks[0].index, dest.tracks[0].index, db});
}

std::string nameAfter(const Said& s, const Words& phrases) {
  return titleCase(s.after(phrases));
}

std::optional<DawAsk> newTrack(Ctx& c) {
  static const Words asks = {"new track",         "add a track",     "create a track",
                             "another track",     "make a track",    "new instrument track",
                             "new audio track",   "new piano track", "add an instrument track",
                             "add a piano track", "new synth track", "new midi track"};
  if (!c.s.any(asks)) return std::nullopt;
  static const Words instrumentWords = {"instrument", "piano", "synth", "keys", "midi", "keyboard"};
  const bool instrument = c.s.any(instrumentWords);
  std::string fx;
  if (instrument) {
    fx = "ReaSynth";
    if (c.s.has("piano")) {
      if (auto found = c.daw.adapter.send({"fx_search", "piano", "instrument"}, 3);
          found && !found->empty()) {
        fx = found->substr(0, found->find('\n'));
      }
    }
  }
  return DawAsk::change(dawop::NewTrack{instrument, nameAfter(c.s, {"called", "named"}), fx});
}

std::optional<DawAsk> duplicate(Ctx& c) {
  if (!c.s.any({"duplicate", "copy of", "make a copy"})) return std::nullopt;
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  if (t->index == 0) return DawAsk::say("The master track cannot be duplicated.");
  return DawAsk::change(
      dawop::Duplicate{t->index, nameAfter(c.s, {"call it", "name it", "as", "to"})});
}

std::optional<DawAsk> rename(Ctx& c) {
  static const Words asks = {"rename", "call this track", "name this track", "call that track",
                             "name that track"};
  if (!c.s.any(asks)) return std::nullopt;
  std::vector<std::string> name = c.s.after({"to", "as"});
  std::vector<std::string> before = c.s.raw;
  if (auto at = c.s.find("to")) before.resize(*at);
  TrackPick found = pick(c.daw, partOf(before), c.state, true);
  if (found.kind == TrackPick::Kind::many) return DawAsk::question(which(found.tracks));
  if (found.kind == TrackPick::Kind::none)
    return DawAsk::question("Which track? The project has " + c.listNames() + ".");
  if (name.empty()) {
    DawAsk ask = DawAsk::question("What should I call it?");
    ask.anyAnswer = true;
    return ask;
  }
  return DawAsk::change(dawop::Rename{found.tracks[0].index, titleCase(name)});
}

std::optional<DawAsk> deleting(Ctx& c) {
  if (!c.s.any({"delete", "remove", "get rid of"}) ||
      !(c.s.any({"track", "channel"}) || (c.s.has("master") && c.s.words.size() <= 4)) ||
      kindHeard(c.s) || c.s.has("plugin") || c.s.has("effect")) {
    return std::nullopt;
  }
  DawAsk instead;
  auto t = c.track(false, instead);
  if (!t) return instead;
  if (t->index == 0) return DawAsk::say("The master track cannot be deleted.");
  return DawAsk::change(
      dawop::Delete{t->index},
      "Delete " + trackName(*t) + ", which has " + plural(t->items, "recorded item") + " and " +
          plural(static_cast<long>(t->fx.size()), "plug-in") + "? Say yes or no.");
}

std::optional<DawAsk> moving(Ctx& c) {
  auto at = c.s.find("move");
  if (!at) return std::nullopt;
  std::optional<std::size_t> split;
  for (std::string_view word : {"below", "under", "after"}) {
    if (auto w = c.s.find(word, *at + 1)) split = w;
  }
  if (!split) return std::nullopt;
  auto [track, below] = pickAround(c, *split);
  for (const TrackPick* p : {&track, &below}) {
    if (p->kind == TrackPick::Kind::many) return DawAsk::question(which(p->tracks));
    if (p->kind == TrackPick::Kind::none)
      return DawAsk::question("Which track? The project has " + c.listNames() + ".");
  }
  if (track.tracks[0].index == below.tracks[0].index)
    return DawAsk::say("A track cannot move below itself.");
  return DawAsk::change(dawop::MoveBelow{track.tracks[0].index, below.tracks[0].index});
}

std::optional<DawAsk> presets(Ctx& c) {
  if (!c.s.has("preset")) return std::nullopt;
  DawAsk instead;
  auto target = pluginTarget(c, instead);
  if (!target) return instead;
  if (c.s.has("next"))
    return DawAsk::change(dawop::Preset{target->track.index, target->fx, "next"});
  if (c.s.has("previous") || c.s.has("last")) {
    return DawAsk::change(dawop::Preset{target->track.index, target->fx, "previous"});
  }
  std::vector<std::string> name =
      c.s.after({"preset called", "preset named", "the preset", "preset"});
  while (!name.empty() && (name.front() == "to" || name.front() == "called"))
    name.erase(name.begin());
  std::vector<std::string> trimmedName;
  for (const std::string& w : name) {
    if (w == "on" || w == "for" || w == "of") break;
    trimmedName.push_back(w);
  }
  if (!trimmedName.empty() &&
      (c.s.has("load") || c.s.has("use") || c.s.has("set") || c.s.has("switch") ||
       c.s.has("change") || c.s.has("choose") || c.s.has("pick"))) {
    return DawAsk::change(dawop::Preset{target->track.index, target->fx, titleCase(trimmedName)});
  }
  if (c.s.any({"what", "which", "current"}))
    return DawAsk::change(dawop::Preset{target->track.index, target->fx, ""});
  return DawAsk::question("Which preset? Say next preset to step through them.");
}

// The parameter words heard, or an EQ band's.
struct ParamHeard {
  const dawwords::ParamWord* word = nullptr;
  const dawwords::EqBand* band = nullptr;
};
ParamHeard paramHeard(const Said& s, const DawState& state) {
  ParamHeard out;
  // "bass" is a band, unless the project has a track of that name.
  auto namesTrack = [&](std::string_view phrase) {
    const std::string word = Said::form(phrase);
    return std::any_of(state.tracks.begin(), state.tracks.end(), [&](const DawTrack& t) {
      return Said::form(t.name).find(word) != std::string::npos;
    });
  };
  for (const auto& band : dawwords::eqBands()) {
    for (std::string_view phrase : band.words) {
      if (!out.band && s.has(phrase) && !namesTrack(phrase)) out.band = &band;
    }
    if (out.band) break;
  }
  for (const auto& word : dawwords::paramWords()) {
    if (s.any(word.words)) {
      out.word = &word;
      break;
    }
  }
  return out;
}

std::optional<DawParam> resolveParam(Ctx& c, const Target& target, const ParamHeard& heard,
                                     DawAsk& instead) {
  auto params = c.daw.params(target.track.index, target.fx);
  if (!params) {
    instead = DawAsk::say(c.daw.adapter.name() + " did not answer.");
    return std::nullopt;
  }
  std::optional<DawParam> found;
  if (heard.band) found = bandGain(*params, *heard.band);
  if (!found && heard.word) {
    // "low pass" is found as "lowpass" or "low pass" in a name.
    found = paramNamed(*params, heard.word->param);
    if (!found && heard.word->param.find(' ') != std::string_view::npos) {
      std::string joinedWord(heard.word->param);
      joinedWord.erase(std::remove(joinedWord.begin(), joinedWord.end(), ' '), joinedWord.end());
      found = paramNamed(*params, joinedWord);
    }
  }
  if (!found && !heard.word && !heard.band && c.daw.lastParam) {
    for (const DawParam& p : *params) {
      if (p.index == *c.daw.lastParam) found = p;
    }
  }
  if (!found) instead = DawAsk::say("That plug-in has no such setting.");
  return found;
}

double nudgeSize(const Said& s) {
  if (s.any(dawwords::smallSizes())) return 0.03;
  if (s.any(dawwords::largeSizes())) return 0.12;
  return 0.06;
}

// +1 up, -1 down, 0 neither.
int direction(const Said& s) {
  auto among = [](const std::string& word, const Words& list) {
    return std::any_of(list.begin(), list.end(),
                       [&](std::string_view w) { return word == trimmed(std::string(w)); });
  };
  for (const std::string& word : s.words) {
    if (among(word, dawwords::upWords())) return 1;
    if (among(word, dawwords::downWords())) return -1;
  }
  return 0;
}

// The plug-in for a parameter request: the one named, else the last one
// spoken about, else the first on the track that has such a setting.
std::optional<Target> paramTarget(Ctx& c, const ParamHeard& heard, DawAsk& instead) {
  if (!mentionsPlugin(c)) {
    if (c.daw.lastFx) {
      if (const DawTrack* t = c.state.track(c.daw.lastFx->first);
          t && c.daw.lastFx->second < static_cast<int>(t->fx.size())) {
        return Target{*t, c.daw.lastFx->second};
      }
    }
    auto t = c.track(true, instead);
    if (!t) return std::nullopt;
    for (std::size_t i = 0; i < t->fx.size(); ++i) {
      DawAsk ignored;
      if (resolveParam(c, Target{*t, static_cast<int>(i)}, heard, ignored)) {
        c.daw.lastFx = {t->index, static_cast<int>(i)};
        return Target{*t, static_cast<int>(i)};
      }
    }
  }
  return pluginTarget(c, instead);
}

std::optional<DawAsk> setValues(Ctx& c) {
  if (!c.s.any({"set", "make", "change", "turn"})) return std::nullopt;
  ParamHeard heard = paramHeard(c.s, c.state);
  if (!heard.word && !heard.band) return std::nullopt;
  auto to = numberAfter(c.s, {"to"});
  auto by = numberAfter(c.s, {"by"});
  if (!to && !by) return std::nullopt;
  DawAsk instead;
  auto target = paramTarget(c, heard, instead);
  if (!target) return instead;
  auto param = resolveParam(c, *target, heard, instead);
  if (!param) return instead;
  c.daw.lastParam = param->index;
  double value = to ? *to : 0;
  if (!to) {
    auto shown = hertz(param->shown);
    double now = shown ? *shown : 0;
    if (param->shown.find('-') != std::string::npos && now > 0) now = -now;
    value = now + (direction(c.s) < 0 ? -std::fabs(*by) : *by);
  }
  return DawAsk::change(dawop::ParamTo{target->track.index, target->fx, param->index, value});
}

// "a bit more", "again", "do that again please": a sentence made only of
// the words that repeat the last nudge, its direction and its size. A
// question that merely contains "it" or "that" ("is it playing") never is.
bool bareNudge(const Said& s) {
  static const Words again = {"that", "it", "more", "less", "again", "bit", "little"};
  static const Words fillers = {"a",    "an",   "bit",  "please", "just",  "do",
                                "the",  "same", "one",  "once",   "touch", "tad",
                                "tiny", "lot",  "much", "now",    "and"};
  auto among = [](const std::string& word, const Words& list) {
    return std::any_of(list.begin(), list.end(),
                       [&](std::string_view w) { return word == trimmed(std::string(w)); });
  };
  if (s.words.empty() || !s.any(again)) return false;
  return std::all_of(s.words.begin(), s.words.end(), [&](const std::string& word) {
    return among(word, again) || among(word, fillers) || among(word, dawwords::upWords()) ||
           among(word, dawwords::downWords()) || among(word, dawwords::smallSizes()) ||
           among(word, dawwords::largeSizes());
  });
}

std::optional<DawAsk> nudge(Ctx& c) {
  ParamHeard heard = paramHeard(c.s, c.state);
  const int dir = direction(c.s);
  const bool repeat =
      !heard.word && !heard.band && c.daw.lastParam && c.daw.lastNudge != 0 && bareNudge(c.s);
  if (!repeat && (dir == 0 || (!heard.word && !heard.band))) return std::nullopt;
  DawAsk instead;
  auto target = paramTarget(c, heard, instead);
  if (!target) return instead;
  double by = 0;
  if (repeat) {
    // Repeating, "more" keeps the last direction and "less" turns it round;
    // "up" or "lower" say it outright.
    by = c.daw.lastNudge;
    Said plain = c.s;
    std::erase_if(plain.words, [](const std::string& w) {
      return w == trimmed("more") || w == trimmed("less");
    });
    if (const int said = direction(plain); said != 0) {
      if ((said > 0) != (by > 0)) by = -by;
    } else if (c.s.has("less")) {
      by = -by;
    }
    if (c.s.any(dawwords::smallSizes()) || c.s.any(dawwords::largeSizes()))
      by = (by > 0 ? 1 : -1) * nudgeSize(c.s);
  } else {
    by = dir * nudgeSize(c.s);
  }
  auto param = resolveParam(c, *target, heard, instead);
  if (!param) return instead;
  c.daw.lastParam = param->index;
  return DawAsk::change(dawop::ParamNudge{target->track.index, target->fx, param->index, by});
}

std::optional<DawAsk> clearSwitches(Ctx& c) {
  if (c.s.any({"all the solo", "all solo", "unsolo everything", "unsolo all", "clear the solos",
               "every solo", "all the solos"})) {
    return DawAsk::change(dawop::AllOff{"solo"});
  }
  if (c.s.any({"unmute everything", "unmute all", "all the mute", "clear the mutes",
               "all the mutes"})) {
    return DawAsk::change(dawop::AllOff{"mute"});
  }
  if (c.s.any({"disarm everything", "disarm all", "unarm all"}))
    return DawAsk::change(dawop::AllOff{"arm"});
  return std::nullopt;
}

std::optional<DawAsk> switches(Ctx& c) {
  struct Switch {
    std::string_view on, off, key;
  };
  static const std::vector<Switch> all = {
      {"mute", "unmute", "mute"}, {"solo", "unsolo", "solo"}, {"arm", "disarm", "arm"}};
  for (const Switch& sw : all) {
    std::optional<bool> on;
    if (c.s.has(sw.off) || (sw.key == "arm" && c.s.has("unarm"))) {
      on = false;
    } else if (c.s.has(sw.on) || (sw.key == "arm" && c.s.has("record enable"))) {
      on = true;
    }
    if (!on) continue;
    DawAsk instead;
    auto t = c.track(true, instead);
    if (!t) return instead;
    return DawAsk::change(dawop::Flag{t->index, std::string(sw.key), *on});
  }
  return std::nullopt;
}

std::optional<DawAsk> volume(Ctx& c) {
  const bool named = c.s.any({"volume", "fader"});
  const bool moved =
      c.s.any({"turn", "bring", "pull", "push"}) && c.s.any({"up", "down", "louder", "quieter"});
  if (!named && !moved) return std::nullopt;
  if (c.s.any({"band", "voice", "metronome"})) return std::nullopt;  // the engine's own sound
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  if (auto to = numberAfter(c.s, {"to", "at"}))
    return DawAsk::change(dawop::VolumeTo{t->index, *to});
  if (auto n = numberAfter(c.s, {"volume", "by"}); n && c.s.any({"decibel", "db"})) {
    const int dir = direction(c.s);
    if (dir != 0) return DawAsk::change(dawop::VolumeTo{t->index, t->volDB + dir * std::fabs(*n)});
    return DawAsk::change(dawop::VolumeTo{t->index, *n});
  }
  const int dir = direction(c.s);
  if (dir == 0)
    return DawAsk::say(capitalised(trackName(*t)) + " is at " + spokenDB(t->volDB) + ".");
  // A nudge in decibels: 0.06 of the travel is 3 dB.
  const double step = nudgeSize(c.s) * 50;
  return DawAsk::change(dawop::VolumeTo{t->index, std::round((t->volDB + dir * step) * 10) / 10});
}

std::optional<DawAsk> panning(Ctx& c) {
  const bool named = c.s.any({"pan", "panned", "panning"});
  const bool side = c.s.any({"to the left", "to the right", "centre it", "center it"});
  if (!named && !side) return std::nullopt;
  DawAsk instead;
  auto t = c.track(true, instead);
  if (!t) return instead;
  if (c.s.any({"centre", "center", "middle"})) return DawAsk::change(dawop::PanTo{t->index, 0});
  const int sign = c.s.has("left") ? -1 : c.s.has("right") ? 1 : 0;
  auto amount = numberFrom(c.s, 0);
  int pan = amount ? static_cast<int>(std::lround(std::fabs(amount->first))) : 50;
  if (sign == 0) {
    if (!amount)
      return DawAsk::say(capitalised(trackName(*t)) + " is panned " + spokenPan(t->pan) + ".");
    return DawAsk::change(dawop::PanTo{t->index, static_cast<int>(std::lround(amount->first))});
  }
  return DawAsk::change(dawop::PanTo{t->index, sign * std::min(pan, 100)});
}

std::optional<DawAsk> selection(Ctx& c) {
  int step = 0;
  if (c.s.any({"next track", "track down", "down a track"})) step = 1;
  if (c.s.any({"previous track", "track up", "up a track"})) step = -1;
  if (step == 0) return std::nullopt;
  if (c.state.tracks.empty())
    return DawAsk::say("There are no tracks yet. Say new track to make one.");
  std::size_t at = 0;
  bool found = false;
  for (std::size_t i = 0; i < c.state.tracks.size(); ++i) {
    if (c.state.tracks[i].selected) {
      at = i;
      found = true;
      break;
    }
  }
  if (!found) return DawAsk::change(dawop::Select{c.state.tracks.front().index});
  if (step > 0 && at + 1 >= c.state.tracks.size()) return DawAsk::say("That is the last track.");
  if (step < 0 && at == 0) return DawAsk::say("That is the first track.");
  return DawAsk::change(dawop::Select{c.state.tracks[step > 0 ? at + 1 : at - 1].index});
}

std::optional<DawAsk> tempo(Ctx& c) {
  if (!c.s.any({"tempo", "bpm", "beats per minute"})) return std::nullopt;
  if (auto n = numberFrom(c.s, 0)) return DawAsk::change(dawop::Tempo{n->first});
  return DawAsk::say("The tempo is " + dawspeech::spokenNumber(c.state.tempo) + ".");
}

std::optional<DawAsk> transport(Ctx& c) {
  if (c.s.has("stop recording")) return DawAsk::change(dawop::Transport{"stop"});
  if (c.s.any({"record", "recording"})) return DawAsk::change(dawop::Transport{"record"});
  if (c.s.any({"go to the start", "back to the start", "to the beginning", "rewind"})) {
    return DawAsk::change(dawop::Transport{"start"});
  }
  if (c.s.any({"stop", "pause"})) return DawAsk::change(dawop::Transport{"stop"});
  // A play word counts only when nothing else is named to play.
  if (c.s.raw.size() <= 3 && c.s.any({"play", "start", "play it", "start playing"})) {
    return DawAsk::change(dawop::Transport{"play"});
  }
  return std::nullopt;
}

std::optional<DawAsk> level(Ctx& c) {
  if (!c.s.any({"peak", "level", "how loud"})) return std::nullopt;
  if (c.state.transport != "playing" && c.state.transport != "recording") {
    return DawAsk::say(
        "Nothing is playing, so there is no level to read. Say play, then ask again.");
  }
  auto answer = c.daw.adapter.send({"peak"}, 4);
  if (!answer) return DawAsk::say(c.daw.adapter.name() + " did not answer.");
  double peak = std::atof(answer->c_str());
  std::string text = "The master is peaking at " + spokenDB(peak) + " right now.";
  if (peak > -0.1) {
    text += " That is at or over full scale, so it is clipping.";
  } else if (peak > -3) {
    text += " That is close to the top.";
  }
  return DawAsk::say(text);
}

std::optional<DawAsk> removePlugin(Ctx& c) {
  if (!c.s.any({"remove", "delete", "take off", "get rid of"}) || !mentionsPlugin(c))
    return std::nullopt;
  DawAsk instead;
  auto target = pluginTarget(c, instead);
  if (!target) return instead;
  return DawAsk::change(dawop::FxRemove{target->track.index, target->fx});
}

std::optional<DawAsk> bypass(Ctx& c) {
  std::optional<bool> on;
  if (c.s.any({"unbypass", "enable", "turn on", "switch on"})) on = true;
  if (c.s.any({"bypass", "disable", "turn off", "switch off"}) && !c.s.has("unbypass")) on = false;
  if (!on || !mentionsPlugin(c)) return std::nullopt;
  DawAsk instead;
  auto target = pluginTarget(c, instead);
  if (!target) return instead;
  const auto at = static_cast<std::size_t>(target->fx);
  const bool isOn = at < target->track.fxOn.size() && target->track.fxOn[at];
  const std::string plugin = c.spokenFx(target->track.fx[at]);
  if (isOn == *on) {
    return DawAsk::say(plugin + " on " + trackName(target->track) + " is already " +
                       (isOn ? "switched on." : "bypassed."));
  }
  return DawAsk::change(dawop::FxBypass{target->track.index, target->fx});
}

std::optional<DawAsk> addPlugin(Ctx& c) {
  if (!c.s.any({"add", "put", "insert", "give", "use", "needs", "open a", "new"}))
    return std::nullopt;
  const auto* kind = kindHeard(c.s);
  std::string name = nameAfter(c.s, {"call it", "name it", "called", "named"});
  // The track is named after "to", "on", "onto" or "for".
  std::optional<std::size_t> prep;
  for (std::string_view word : {"onto", "to", "on", "for"}) {
    if (auto at = c.s.find(word); at && (!prep || *at < *prep)) prep = at;
  }
  std::vector<std::string> rest;
  if (prep) rest.assign(c.s.raw.begin() + static_cast<long>(*prep) + 1, c.s.raw.end());
  if (!kind && name.empty() && prep) {
    // "add a flanger made of cheese to the bass": the words asked for, whatever they are.
    static const Words verbs = {"add", "put", "insert", "give", "use", "needs", "open", "new"};
    std::size_t from = 0;
    for (std::size_t i = 0; i < *prep; ++i) {
      if (std::find(verbs.begin(), verbs.end(), c.s.raw[i]) != verbs.end()) from = i + 1;
    }
    std::vector<std::string> asked;
    for (std::size_t i = from; i < *prep; ++i) {
      if (asked.empty() && (c.s.raw[i] == "a" || c.s.raw[i] == "an" || c.s.raw[i] == "the" ||
                            c.s.raw[i] == "some")) {
        continue;
      }
      asked.push_back(c.s.raw[i]);
    }
    for (const std::string& w : asked) name += (name.empty() ? "" : " ") + w;
  }
  if (!kind && name.empty()) return std::nullopt;
  TrackPick found =
      rest.empty() ? pick(c.daw, c.heard, c.state, true) : pick(c.daw, partOf(rest), c.state, true);
  if (found.kind == TrackPick::Kind::many) return DawAsk::question(which(found.tracks));
  if (found.kind == TrackPick::Kind::none) {
    if (!found.heardName.empty()) {
      return DawAsk::question("I could not find a track called " + found.heardName +
                              ". The project has " + c.listNames() + ".");
    }
    return DawAsk::question("Which track? The project has " + c.listNames() + ".");
  }
  if (name.empty()) name = std::string(kind->stock);
  return DawAsk::change(dawop::FxAdd{found.tracks[0].index, name});
}

std::optional<DawAsk> anyTrack(Ctx& c) {
  if (!c.s.any({"track", "channel", "selected"})) return std::nullopt;
  TrackPick found = pick(c.daw, c.heard, c.state, false);
  if (found.kind == TrackPick::Kind::many) return DawAsk::question(which(found.tracks));
  if (found.kind == TrackPick::Kind::none) return std::nullopt;
  c.daw.lastTrack = found.tracks[0].index;
  return DawAsk::say(describeTrack(c, found.tracks[0]));
}

}  // namespace

DawAsk DawAsk::say(std::string text) {
  DawAsk ask;
  ask.kind = Kind::say;
  ask.text = std::move(text);
  return ask;
}
DawAsk DawAsk::question(std::string text) {
  DawAsk ask;
  ask.kind = Kind::question;
  ask.text = std::move(text);
  return ask;
}
DawAsk DawAsk::change(DawOp op, std::optional<std::string> confirm) {
  DawAsk ask;
  ask.kind = Kind::op;
  ask.op = std::move(op);
  ask.confirm = std::move(confirm);
  return ask;
}
DawAsk DawAsk::plan(std::string explain, std::vector<PlanStep> steps) {
  DawAsk ask;
  ask.kind = Kind::plan;
  ask.text = std::move(explain);
  ask.steps = std::move(steps);
  return ask;
}

std::vector<std::string> studioWords(const Heard& heard) {
  return Said(heard).words;
}

namespace {

// Whether words after "the" name a track rather than a setting: "the guitar"
// does, "the volume up a little" does not.
// `bandsAsked`: the sentence moves something up or down, so "bass" or "air"
// may be an EQ band; otherwise ("mute the bass") such a word is a track's name.
bool namesSomething(const std::vector<std::string>& words, bool bandsAsked) {
  static const Words known = {
      "volume",     "fader",    "level",  "pan",     "tempo",   "plugin",   "plugins",  "plug",
      "in",         "ins",      "effect", "effects", "preset",  "presets",  "settings", "setting",
      "parameters", "master",   "track",  "tracks",  "channel", "selected", "up",       "down",
      "left",       "right",    "centre", "center",  "a",       "an",       "little",   "lot",
      "bit",        "touch",    "tad",    "more",    "less",    "louder",   "quieter",  "to",
      "by",         "at",       "on",     "of",      "it",      "this",     "that",     "one",
      "decibels",   "decibel",  "db",     "percent", "minus",   "negative", "point",    "way",
      "much",       "slightly", "please", "again",   "now",     "start",    "end",      "beginning",
      "project",    "song",     "mix",    "bus"};
  auto isKnown = [&](const std::string& w) {
    if (std::find(known.begin(), known.end(), w) != known.end()) return true;
    if (numberWords().count(w) ||
        std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return true;
    }
    for (const auto& kind : dawwords::fxKinds()) {
      for (std::string_view a : kind.asks) {
        if (a == w) return true;
      }
    }
    for (const auto& p : dawwords::paramWords()) {
      for (std::string_view a : p.words) {
        if (a == w) return true;
      }
    }
    for (const auto& b : dawwords::eqBands()) {
      for (std::string_view a : b.words) {
        if (bandsAsked && a == w) return true;
      }
    }
    return false;
  };
  return std::any_of(words.begin(), words.end(), [&](const std::string& w) { return !isKnown(w); });
}

// The tracks a sentence names: those with the most of their name's words heard.
std::vector<DawTrack> tracksNamedIn(const Said& s, const DawState& state) {
  const Words& noise = dawwords::trackNoise();
  auto isNoise = [&](const std::string& w) {
    return std::find(noise.begin(), noise.end(), w) != noise.end();
  };
  std::size_t best = 0;
  std::vector<DawTrack> matches;
  for (const DawTrack& t : state.tracks) {
    std::size_t heardWords = 0;
    for (const std::string& w : wordsOf(t.name)) {
      const std::string word = trimmed(w);
      if (!isNoise(word) && std::find(s.words.begin(), s.words.end(), word) != s.words.end())
        ++heardWords;
    }
    if (heardWords == 0) continue;
    if (heardWords > best) {
      best = heardWords;
      matches.clear();
    }
    if (heardWords == best) matches.push_back(t);
  }
  return matches;
}

// The name heard: what follows "called", else "the" or "my", without a trailing "track".
std::vector<std::string> trackNameHeard(const Said& s) {
  std::vector<std::string> name = s.after({"called", "named"});
  if (name.empty()) {
    for (std::size_t i = s.raw.size(); i-- > 0;) {
      if (s.raw[i] == "the" || s.raw[i] == "my") {
        name.assign(s.raw.begin() + static_cast<long>(i) + 1, s.raw.end());
        break;
      }
    }
  }
  while (!name.empty() && (name.back() == "track" || name.back() == "channel")) name.pop_back();
  return name;
}

}  // namespace

TrackPick pick(Daw& daw, const Heard& heard, const DawState& state, bool allowDefault) {
  const Said s(heard);
  TrackPick out;
  auto one = [&](const DawTrack& t) {
    out.kind = TrackPick::Kind::one;
    out.tracks = {t};
    return out;
  };
  if (s.has("master") || (s.has("main") && s.has("output"))) return one(state.master);
  if (auto at = s.find("track")) {
    if (auto n = numberFrom(s, *at + 1); n && n->second == *at + 2) {
      if (const DawTrack* t = state.track(static_cast<int>(n->first)); t && t->index != 0)
        return one(*t);
      out.heardName = "track " + std::to_string(static_cast<long>(n->first));
      return out;
    }
  }
  const std::vector<DawTrack> matches = tracksNamedIn(s, state);
  if (matches.size() == 1) {
    daw.lastTrack = matches.front().index;
    return one(matches.front());
  }
  if (matches.size() > 1) {
    out.kind = TrackPick::Kind::many;
    out.tracks = matches;
    return out;
  }
  auto selected = [&]() -> const DawTrack* {
    for (const DawTrack& t : state.tracks) {
      if (t.selected) return &t;
    }
    return nullptr;
  };
  if (s.has("this") || s.has("that") || s.has("it") || s.has("selected")) {
    if (const DawTrack* t = selected()) return one(*t);
  }
  const std::vector<std::string> name = trackNameHeard(s);
  out.heardName = titleCase(name);
  if (allowDefault && !namesSomething(name, direction(s) != 0)) {
    if (daw.lastTrack) {
      if (const DawTrack* t = state.track(*daw.lastTrack)) return one(*t);
    }
    if (const DawTrack* t = selected()) return one(*t);
  }
  return out;
}

std::string which(const std::vector<DawTrack>& tracks) {
  std::vector<std::string> names;
  for (const DawTrack& t : tracks) names.push_back(trackName(t));
  return "I found " + joined(names) + ". Which one?";
}

bool namesTrackOrPlugin(Daw& daw, const Heard& answer, const DawState& state) {
  static const Words noise = {"the",    "a",       "an",   "one",   "ones", "track", "channel",
                              "bus",    "i",       "mean", "meant", "that", "this",  "on",
                              "plugin", "plugins", "just", "oh",    "um",   "uh",    "sorry",
                              "its",    "it",      "is",   "please"};
  std::vector<std::string> named;
  auto addWords = [&](const std::string& name) {
    for (const std::string& w : wordsOf(lowerCase(name))) named.push_back(trimmed(w));
  };
  named.push_back("master");
  for (const DawTrack& t : state.tracks) {
    addWords(t.name);
    for (const std::string& fx : t.fx) {
      const std::string spoken = daw.adapter.spokenFx(fx);
      addWords(spoken.substr(0, spoken.find(',')));
    }
  }
  // Every word is part of a name offered or says nothing of its own.
  const Said s(answer);
  bool any = false;
  for (const std::string& word : s.words) {
    if (std::find(named.begin(), named.end(), word) != named.end()) {
      any = true;
    } else if (std::none_of(noise.begin(), noise.end(),
                            [&](std::string_view n) { return word == trimmed(std::string(n)); })) {
      return false;
    }
  }
  return any;
}

std::optional<DawAsk> understand(Daw& daw, const Heard& heard, const DawState& state) {
  // In this order: the first family that applies decides.
  static const std::vector<Family> families = {
      changes,   undoRedo,     howMany,        trackLists,     currentTrack, capabilities,
      checks,    pluginLists,  pluginSettings, describeFamily, modes,        vocalPrep,
      mastering, buses,        sends,          newTrack,       duplicate,    rename,
      deleting,  moving,       presets,        setValues,      nudge,        clearSwitches,
      switches,  volume,       panning,        selection,      tempo,        transport,
      level,     removePlugin, bypass,         addPlugin,      anyTrack};
  const Said s(heard);
  Ctx context{daw, heard, s, state};
  for (const Family& family : families) {
    if (auto ask = family(context)) return ask;
  }
  return std::nullopt;
}

}  // namespace orvo
