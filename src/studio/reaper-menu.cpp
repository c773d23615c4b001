#include "studio/reaper-menu.h"

#include <cctype>

#include "studio/reaper-link.h"
#include "studio/reaper-wire.h"

namespace orvo {

namespace {

const char* kNoAnswer = "REAPER did not answer.";

// The bridge's "ok" is done; its reasons ("nothing to undo") become sentences.
std::string sentenceOf(const std::string& answer) {
  if (answer == "ok" || answer.empty()) return "Done.";
  std::string text = answer;
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (text.back() != '.' && text.back() != '?' && text.back() != '!') text += '.';
  return text;
}

// Items that each send one command and say its answer.
RItem command(const ReaperSend& send, std::string label, std::vector<std::string> args,
              double timeout = 3.0) {
  return {std::move(label), [send, args = std::move(args), timeout] {
            auto answer = send(args, timeout);
            return ROut::say(answer ? sentenceOf(*answer) : kNoAnswer);
          }};
}

// A screen whose items come from one listing; "No answer" when it cannot be read.
RScreen listed(std::string title, std::function<std::optional<std::vector<RItem>>()> read) {
  RScreen screen;
  screen.title = std::move(title);
  screen.build = [read = std::move(read)] {
    auto items = read();
    if (!items) return std::vector<RItem>{{"No answer", [] { return ROut::say(kNoAnswer); }}};
    return *items;
  };
  return screen;
}

RScreen fixed(std::string title, std::vector<RItem> items) {
  RScreen screen;
  screen.title = std::move(title);
  screen.items = std::move(items);
  return screen;
}

// A typed line sent as the last argument of a command.
ROut typedCommand(const ReaperSend& send, std::string prompt, std::vector<std::string> args,
                  double timeout = 4.0) {
  return ROut::type(std::move(prompt),
                    [send, args = std::move(args), timeout](const std::string& typed) {
                      auto full = args;
                      full.push_back(typed);
                      auto answer = send(full, timeout);
                      return ROut::say(answer ? sentenceOf(*answer) : kNoAnswer);
                    });
}

std::vector<RItem> fxAddItems(const ReaperSend& send, const std::string& track,
                              const std::vector<std::string>& names) {
  std::vector<RItem> items;
  for (const auto& name : names) {
    items.push_back({Reaper::spoken(name), [send, track, name] {
                       auto answer = send({"fx_add", track, name}, 15.0);
                       return ROut::say(answer ? sentenceOf(*answer) : kNoAnswer);
                     }});
  }
  return items;
}

RScreen effectScreen(const ReaperSend& send, const std::string& track, int fx,
                     const std::string& name) {
  const std::string number = std::to_string(fx);
  return fixed(Reaper::spoken(name),
               {command(send, "Bypass, or switch back on", {"fx_bypass", track, number}, 4.0),
                {"Remove", [send, track, number] {
                   auto answer = send({"fx_remove", track, number}, 4.0);
                   return answer ? ROut::back(sentenceOf(*answer)) : ROut::say(kNoAnswer);
                 }}});
}

RScreen effectsOn(const ReaperSend& send, const std::string& track, const std::string& label) {
  return listed("Effects on track " + label, [send, track]() -> std::optional<std::vector<RItem>> {
    auto answer = send({"fx_list", track}, 3.0);
    if (!answer) return std::nullopt;
    const auto names = wire::lines(*answer);
    if (names.empty()) {
      const std::string none = "None yet. Go back and choose Add an effect.";
      return std::vector<RItem>{{none, [none] { return ROut::say(none); }}};
    }
    std::vector<RItem> items;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string name = names[i];
      const int fx = static_cast<int>(i);
      items.push_back({Reaper::spoken(name), [send, track, fx, name] {
                         return ROut::push(effectScreen(send, track, fx, name));
                       }});
    }
    return items;
  });
}

RScreen addEffect(const ReaperSend& send, const std::string& track) {
  std::vector<RItem> items = {
      {"Search all your plug-ins by typing", [send, track] {
         return ROut::type("Type part of the plug-in's name", [send,
                                                               track](const std::string& words) {
           auto answer = send({"fx_search", words}, 3.0);
           if (!answer) return ROut::say(kNoAnswer);
           const auto names = wire::lines(*answer);
           if (names.empty()) return ROut::say("No plug-in matches that.");
           return ROut::push(fixed("Plug-ins matching " + words, fxAddItems(send, track, names)));
         });
       }}};
  for (auto& item : fxAddItems(send, track,
                               {"ReaEQ", "ReaComp", "ReaVerbate", "ReaDelay", "ReaLimit", "ReaGate",
                                "ReaTune", "ReaPitch"})) {
    items.push_back(std::move(item));
  }
  return fixed("Add an effect", std::move(items));
}

RScreen trackScreen(const ReaperSend& send, const std::string& track, const std::string& label) {
  return fixed(label,
               {command(send, "Arm or disarm for recording", {"track_arm", track}),
                command(send, "Mute or unmute", {"track_mute", track}),
                command(send, "Solo or unsolo", {"track_solo", track}),
                command(send, "Louder", {"track_vol", track, "2"}),
                command(send, "Quieter", {"track_vol", track, "-2"}),
                command(send, "Pan left", {"track_pan", track, "-0.1"}),
                command(send, "Pan right", {"track_pan", track, "0.1"}),
                {"Effects on this track",
                 [send, track, label] { return ROut::push(effectsOn(send, track, label)); }},
                {"Add an effect", [send, track] { return ROut::push(addEffect(send, track)); }},
                {"Rename by typing",
                 [send, track] {
                   return typedCommand(send, "Type the new name", {"track_rename", track});
                 }},
                {"Delete this track", [send, track] {
                   auto answer = send({"track_delete", track}, 4.0);
                   return answer ? ROut::back(sentenceOf(*answer)) : ROut::say(kNoAnswer);
                 }}});
}

RScreen tracks(const ReaperSend& send) {
  return listed("Tracks", [send]() -> std::optional<std::vector<RItem>> {
    auto answer = send({"tracks"}, 3.0);
    if (!answer) return std::nullopt;
    std::vector<RItem> items;
    for (const auto& line : wire::lines(*answer)) {
      const auto bar = line.find('|');
      if (bar == std::string::npos || bar == 0) continue;  // no track number to act on
      const std::string track = line.substr(0, bar);
      const std::string label =
          line.substr(bar + 1).empty() ? "Track " + track : line.substr(bar + 1);
      items.push_back({label, [send, track, label] {
                         if (!send({"track_select", track}, 3.0)) return ROut::say(kNoAnswer);
                         return ROut::push(trackScreen(send, track, label));
                       }});
    }
    if (items.empty()) {
      items.push_back(
          {"There are no tracks yet.", [] { return ROut::say("There are no tracks yet."); }});
    }
    return items;
  });
}

RItem newTrackItem(const ReaperSend& send, std::string label, std::vector<std::string> args) {
  return {std::move(label), [send, args = std::move(args)] {
            auto answer = send(args, 15.0);
            return ROut::say(answer ? sentenceOf(*answer) : "REAPER is still loading it.");
          }};
}

RScreen newTrack(const ReaperSend& send) {
  RScreen screen;
  screen.title = "New track";
  screen.build = [send] {
    std::vector<RItem> items = {newTrackItem(send, "Audio track", {"track_new", "audio", "", ""})};
    auto found = send({"fx_search", "", "instrument"}, 3.0);
    auto names = found ? wire::lines(*found) : std::vector<std::string>{};
    if (names.empty()) names.push_back("ReaSynth");
    for (const auto& name : names) {
      items.push_back(newTrackItem(send, "Instrument track with " + Reaper::spoken(name),
                                   {"track_new", "instrument", "", name}));
    }
    return items;
  };
  return screen;
}

RScreen transport(const ReaperSend& send) {
  return fixed(
      "Transport",
      {command(send, "Play or stop", {"play"}, 4.0),
       command(send, "Record, or stop recording", {"record"}, 4.0),
       command(send, "Stop", {"stop"}, 4.0),
       command(send, "Go to the start", {"start"}, 4.0),
       command(send, "Where am I", {"position"}),
       command(send, "Metronome on or off", {"metronome"}),
       command(send, "Repeat on or off", {"repeat"}),
       command(send, "Tempo up five", {"tempo", "5"}),
       command(send, "Tempo down five", {"tempo", "-5"}),
       {"Set the tempo by typing",
        [send] {
          return typedCommand(send, "Type the tempo in beats per minute", {"tempo", "set"});
        }},
       command(send, "Undo", {"undo"}, 4.0),
       command(send, "Redo", {"redo"}, 4.0)});
}

ROut findAction(const ReaperSend& send) {
  return ROut::type(
      "Type a few words of what you want, such as normalize items",
      [send](const std::string& words) {
        auto answer = send({"action_search", words}, 3.0);
        if (!answer) return ROut::say(kNoAnswer);
        std::vector<RItem> items;
        for (const auto& line : wire::lines(*answer)) {
          const auto bar = line.find('|');
          if (bar == std::string::npos) continue;
          items.push_back(command(send, line.substr(bar + 1), {"action", line.substr(0, bar)}));
        }
        if (items.empty()) return ROut::say("Nothing in REAPER matches " + words + ".");
        return ROut::push(fixed("actions for " + words, std::move(items)));
      });
}

}  // namespace

ROut ROut::push(RScreen screen) {
  auto built = std::make_shared<RScreen>(std::move(screen));
  buildScreen(*built);
  return {Kind::push, "", std::move(built), nullptr};
}

void buildScreen(RScreen& screen) {
  if (screen.build) screen.items = screen.build();
  if (screen.items.empty())
    screen.items.push_back({"No answer", [] { return ROut::say(kNoAnswer); }});
  screen.idx = 0;
}

std::string enteredText(const RScreen& screen) {
  return screen.title + ". " + screen.items.front().label +
         (screen.items.front().label.back() == '.' ? "" : ".");
}

RScreen reaperRoot(const ReaperSend& send) {
  RScreen root = fixed(
      "REAPER control",
      {{"Transport", [send] { return ROut::push(transport(send)); }},
       {"Tracks", [send] { return ROut::push(tracks(send)); }},
       {"New track", [send] { return ROut::push(newTrack(send)); }},
       {"Markers",
        [send] {
          return ROut::push(fixed("Markers", {command(send, "Add a marker here", {"marker_add"}),
                                              command(send, "Next marker", {"marker_next"}),
                                              command(send, "Previous marker", {"marker_prev"})}));
        }},
       {"Project",
        [send] {
          return ROut::push(
              fixed("Project",
                    {command(send, "About this project", {"info"}), command(send, "Save", {"save"}),
                     command(send, "Undo", {"undo"}, 4.0), command(send, "Redo", {"redo"}, 4.0)}));
        }},
       {"Find any action by typing", [send] { return findAction(send); }}});
  buildScreen(root);
  return root;
}

}  // namespace orvo
