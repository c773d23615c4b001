#include "window/window-state.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>

namespace orvo::window {
namespace {

std::string cut(std::string_view text) {
  return std::string(text.substr(0, WindowState::kLongestText));
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

bool whole(std::string_view text, int& out) {
  text = trimmed(text);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

// "60 90": a key and its velocity.
bool keyAndVelocity(std::string_view rest, int& key, int& velocity) {
  const auto space = rest.find(' ');
  if (space == std::string_view::npos) return false;
  return whole(rest.substr(0, space), key) && whole(rest.substr(space + 1), velocity) && key >= 0 &&
         key < 128 && velocity >= 0 && velocity < 128;
}

// "%.3f,%.3f,%d,%d,%d;" records, as the engine writes a file's notes.
void readRoll(WindowState& state, std::string_view records) {
  while (!records.empty() && state.roll.size() < WindowState::kMostRollNotes) {
    const auto end = records.find(';');
    std::string record(records.substr(0, end));
    records = end == std::string_view::npos ? std::string_view() : records.substr(end + 1);
    RollNote note;
    char* at = record.data();
    char* next = nullptr;
    note.t = std::strtod(at, &next);
    if (next == at || *next != ',') continue;
    note.dur = std::strtod(next + 1, &at);
    if (at == next + 1 || *at != ',') continue;
    note.pitch = static_cast<int>(std::strtol(at + 1, &next, 10));
    if (*next != ',') continue;
    note.vel = static_cast<int>(std::strtol(next + 1, &at, 10));
    if (*at != ',') continue;
    note.track = static_cast<int>(std::strtol(at + 1, &next, 10));
    if (note.pitch < 0 || note.pitch > 127 || !(note.dur >= 0) || !(note.t >= 0)) continue;
    state.roll.push_back(note);
  }
}

using Action = std::function<bool(WindowState&, std::string_view rest)>;
struct Verb {
  std::string_view verb;
  Action act;
};

// In this order: a longer verb before the shorter one it begins with.
const std::vector<Verb>& verbs() {
  static const std::vector<Verb> table = {
      {"say",
       [](WindowState& s, std::string_view rest) {
         s.caption = cut(rest);
         s.speaking = false;
         s.word.clear();
         return true;
       }},
      {"start", [](WindowState& s, std::string_view) { return s.speaking = true; }},
      {"word",
       [](WindowState& s, std::string_view rest) {
         s.word = cut(rest);
         return true;
       }},
      {"heard",
       [](WindowState& s, std::string_view rest) {
         s.heard = cut(rest);
         return true;
       }},
      {"ears off", [](WindowState& s, std::string_view) { return s.earsOff = true; }},
      {"earreset",
       [](WindowState& s, std::string_view) {
         s.earsOff = false;
         return true;
       }},
      {"mode",
       [](WindowState& s, std::string_view rest) {
         if (rest.empty()) return false;
         s.mode = cut(rest);
         return true;
       }},
      {"now",
       [](WindowState& s, std::string_view rest) {
         s.now = cut(rest);
         return true;
       }},
      {"paused",
       [](WindowState& s, std::string_view rest) {
         if (rest != "0" && rest != "1") return false;
         s.paused = rest == "1";
         return true;
       }},
      {"typing",
       [](WindowState& s, std::string_view rest) {
         // "typing 0" ends typing; "typing 1" (or nothing) begins it.
         s.typingNow = rest != "0";
         s.typing = rest == "0" || rest == "1" ? "" : cut(rest);
         return true;
       }},
      {"kbd",
       [](WindowState& s, std::string_view rest) {
         s.keyboards = cut(rest);
         return true;
       }},
      {"outputs",
       [](WindowState& s, std::string_view rest) {
         std::vector<std::string> fields;
         for (std::size_t from = 0; fields.size() < 2 + WindowState::kMostOutputs;) {
           const auto bar = rest.find('|', from);
           fields.push_back(cut(rest.substr(from, bar - from)));
           if (bar == std::string_view::npos) break;
           from = bar + 1;
         }
         if (fields.size() < 2) return false;
         s.voiceOutput = fields[0];
         s.musicOutput = fields[1];
         s.outputs.clear();
         for (auto each = fields.begin() + 2; each != fields.end(); ++each) {
           if (!each->empty()) s.outputs.push_back(*each);  // never a button without a name
         }
         return true;
       }},
      {"voice",
       [](WindowState& s, std::string_view rest) {
         s.voice = cut(rest);
         return true;
       }},
      {"bandstyle",
       [](WindowState& s, std::string_view rest) {
         s.bandStyle = cut(rest);
         return true;
       }},
      {"bandlevel",
       [](WindowState& s, std::string_view rest) {
         s.bandLevel = cut(rest);
         return true;
       }},
      {"live",
       [](WindowState& s, std::string_view rest) {
         if (rest != "0" && rest != "1") return false;
         s.liveBand = rest == "1";
         return true;
       }},
      {"hands",
       [](WindowState& s, std::string_view rest) {
         s.hands = cut(rest);
         return true;
       }},
      {"name",
       [](WindowState& s, std::string_view rest) {
         const auto bar = rest.find('|');
         if (bar == std::string_view::npos) return false;
         s.userName = cut(rest.substr(0, bar));
         s.assistantName = cut(rest.substr(bar + 1));
         return true;
       }},
      {"welcome",
       [](WindowState& s, std::string_view rest) {
         s.welcome = cut(rest);
         return true;
       }},
      {"vocab",
       [](WindowState& s, std::string_view rest) {
         // The recogniser's words may be many: kept whole, up to a generous bound.
         s.vocabulary = std::string(rest.substr(0, 200'000));
         return true;
       }},
      {"daw",
       [](WindowState& s, std::string_view rest) {
         if (rest != "0" && rest != "1") return false;
         s.studioOpen = rest == "1";
         return true;
       }},
      {"flash good",
       [](WindowState& s, std::string_view) {
         s.flash = WindowState::Flash::good;
         ++s.flashes;
         return true;
       }},
      {"flash wrong",
       [](WindowState& s, std::string_view) {
         s.flash = WindowState::Flash::wrong;
         ++s.flashes;
         return true;
       }},
      {"beat",
       [](WindowState& s, std::string_view rest) {
         int beat = 0;
         if (!whole(rest, beat) || beat < 0) return false;
         s.beat = beat;
         ++s.beats;
         return true;
       }},
      {"on",
       [](WindowState& s, std::string_view rest) {
         int key = 0, velocity = 0;
         if (!keyAndVelocity(rest, key, velocity)) return false;
         s.played.set(static_cast<std::size_t>(key), velocity > 0);
         return true;
       }},
      {"out",
       [](WindowState& s, std::string_view rest) {
         int key = 0, velocity = 0;
         if (!keyAndVelocity(rest, key, velocity)) return false;
         s.sounded.set(static_cast<std::size_t>(key), velocity > 0);
         return true;
       }},
      {"buttons",
       [](WindowState& s, std::string_view rest) {
         std::vector<int> keys;
         while (!rest.empty()) {
           const auto space = rest.find(' ');
           int key = 0;
           if (whole(rest.substr(0, space), key) && key >= 0 && key < 128) keys.push_back(key);
           rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
         }
         s.buttons = std::move(keys);
         return true;
       }},
      {"rollnew",
       [](WindowState& s, std::string_view rest) {
         s.roll.clear();
         s.rollPlaying = true;
         readRoll(s, rest);
         return true;
       }},
      {"rolln",
       [](WindowState& s, std::string_view rest) {
         readRoll(s, rest);
         return true;
       }},
      {"rollstop",
       [](WindowState& s, std::string_view) {
         s.rollPlaying = false;
         return true;
       }},
      {"access large",
       [](WindowState& s, std::string_view rest) {
         if (rest != "0" && rest != "1") return false;
         s.largeText = rest == "1";
         return true;
       }},
      {"access contrast",
       [](WindowState& s, std::string_view rest) {
         if (rest != "0" && rest != "1") return false;
         s.highContrast = rest == "1";
         return true;
       }},
      {"window",
       [](WindowState& s, std::string_view rest) {
         if (rest.empty()) return false;
         s.windowRequest = cut(rest);
         ++s.windowRequests;
         return true;
       }},
  };
  return table;
}

}  // namespace

void applyLine(WindowState& state, std::string_view line) {
  line = trimmed(line);
  if (line.empty()) {
    ++state.ignored;
    return;
  }
  // A line without "@" is a sentence printed rather than spoken (text mode,
  // no sound output yet): it is the caption, never a verb, even when it
  // begins like one ("Now you.").
  if (line.front() != '@') {
    state.caption = cut(line);
    state.speaking = false;
    ++state.applied;
    return;
  }
  line.remove_prefix(1);
  for (const Verb& verb : verbs()) {
    if (line.size() < verb.verb.size() || line.compare(0, verb.verb.size(), verb.verb) != 0)
      continue;
    if (line.size() > verb.verb.size() && line[verb.verb.size()] != ' ') continue;
    std::string_view rest =
        line.size() > verb.verb.size() ? line.substr(verb.verb.size() + 1) : std::string_view();
    if (verb.act(state, rest)) {
      ++state.applied;
    } else {
      ++state.ignored;
    }
    return;
  }
  ++state.ignored;
}

std::string modeWords(const std::string& mode) {
  if (mode == "idle") return "home";
  if (mode == "teach") return "lesson";
  if (mode == "compose") return "composition";
  if (mode == "menu") return "song menu";
  if (mode == "logic") return "Logic control";
  if (mode == "reaper") return "REAPER control";
  return mode;
}

std::string describeKeyboards(const WindowState& state) {
  return state.keyboards.empty() ? "No piano connected" : "Piano: " + state.keyboards;
}

}  // namespace orvo::window
