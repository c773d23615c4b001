// REAPER's menu of screens over a scripted bridge.
#include "studio/reaper-menu.h"
#include "matchers.h"

#include <map>

namespace orvo {
namespace {

// Answers by command name; a command with no answer set gets none.
struct ScriptedBridge {
  std::map<std::string, std::string> answers;
  std::vector<std::vector<std::string>> sent;
  ReaperSend send() {
    return [this](const std::vector<std::string>& args, double) -> std::optional<std::string> {
      sent.push_back(args);
      auto found = answers.find(args.front());
      if (found == answers.end()) return std::nullopt;
      return found->second;
    };
  }
};

std::vector<std::string> labels(const RScreen& screen) {
  std::vector<std::string> result;
  for (const auto& item : screen.items) result.push_back(item.label);
  return result;
}

// Chooses the item labelled `label`; fails the test when there is none.
ROut choose(const RScreen& screen, const std::string& label) {
  for (const auto& item : screen.items)
    if (item.label == label) return item.go();
  ADD_FAILURE() << "no item " << label;
  return ROut::say("");
}

TEST(ReaperMenu, TheRootAndTheTracksListedFromTheBridge) {
  ScriptedBridge bridge;
  RScreen root = reaperRoot(bridge.send());
  EXPECT_EQ(root.title, "REAPER control");
  EXPECT_THAT(labels(root), ElementsAre("Transport", "Tracks", "New track", "Markers", "Project",
                                        "Find any action by typing"));
  EXPECT_TRUE(bridge.sent.empty()) << "the root asks the bridge nothing";

  // No answer, none, one, two with a line that names no track, and 500.
  ROut unread = choose(root, "Tracks");
  ASSERT_EQ(unread.kind, ROut::Kind::push);
  EXPECT_EQ(enteredText(*unread.screen), "Tracks. No answer.");
  EXPECT_EQ(choose(*unread.screen, "No answer").text, "REAPER did not answer.");
  bridge.answers["tracks"] = "";
  EXPECT_EQ(enteredText(*choose(root, "Tracks").screen), "Tracks. There are no tracks yet.");
  bridge.answers["tracks"] = "1|Kick\n";
  EXPECT_THAT(labels(*choose(root, "Tracks").screen), ElementsAre("Kick"));
  bridge.answers["tracks"] = "1|Kick\r\nno bar here\n|\n2|\n";
  EXPECT_THAT(labels(*choose(root, "Tracks").screen), ElementsAre("Kick", "Track 2"));
  std::string many;
  for (int i = 1; i <= 500; ++i) many += std::to_string(i) + "|Take " + std::to_string(i) + "\n";
  bridge.answers["tracks"] = many;
  ROut tracks = choose(root, "Tracks");
  EXPECT_THAT(tracks.screen->items, SizeIs(500));

  // A track: selected, then its own screen; its commands name it.
  EXPECT_EQ(choose(*tracks.screen, "Take 7").text, "REAPER did not answer.");
  bridge.answers["track_select"] = "ok";
  bridge.answers["track_mute"] = "Muted.";
  ROut track = choose(*tracks.screen, "Take 7");
  ASSERT_EQ(track.kind, ROut::Kind::push);
  EXPECT_EQ(enteredText(*track.screen), "Take 7. Arm or disarm for recording.");
  EXPECT_EQ(choose(*track.screen, "Mute or unmute").text, "Muted.");
  EXPECT_THAT(bridge.sent.back(), ElementsAre("track_mute", "7"));
  bridge.answers["track_delete"] = "ok";
  ROut deleted = choose(*track.screen, "Delete this track");
  EXPECT_EQ(deleted.kind, ROut::Kind::back);
  EXPECT_EQ(deleted.text, "Done.");
}

TEST(ReaperMenu, EffectsNewTracksTypedLinesAndActions) {
  ScriptedBridge bridge;
  RScreen root = reaperRoot(bridge.send());
  bridge.answers["tracks"] = "1|Vocal";
  bridge.answers["track_select"] = "ok";
  RScreen vocal = *choose(*choose(root, "Tracks").screen, "Vocal").screen;

  bridge.answers["fx_list"] = "";
  EXPECT_EQ(enteredText(*choose(vocal, "Effects on this track").screen),
            "Effects on track Vocal. None yet. Go back and choose Add an effect.");
  bridge.answers["fx_list"] =
      "VST: ReaEQ (Cockos)\nVST3i: Kontakt 8 (Native Instruments) (64 out)\n";
  RScreen effects = *choose(vocal, "Effects on this track").screen;
  EXPECT_THAT(labels(effects), ElementsAre("ReaEQ, VST", "Kontakt 8, VST3"));
  bridge.answers["fx_bypass"] = "ok";
  EXPECT_EQ(choose(*choose(effects, "Kontakt 8, VST3").screen, "Bypass, or switch back on").text,
            "Done.");
  EXPECT_THAT(bridge.sent.back(), ElementsAre("fx_bypass", "1", "1"));

  RScreen add = *choose(vocal, "Add an effect").screen;
  EXPECT_EQ(labels(add).size(), 9u);
  bridge.answers["fx_add"] = "could not find a plug-in called ReaTune";
  EXPECT_EQ(choose(add, "ReaTune").text, "Could not find a plug-in called ReaTune.");
  ROut search = choose(add, "Search all your plug-ins by typing");
  ASSERT_EQ(search.kind, ROut::Kind::type);
  EXPECT_EQ(search.text, "Type part of the plug-in's name");
  bridge.answers["fx_search"] = "";
  EXPECT_EQ(search.then("zzz").text, "No plug-in matches that.");
  bridge.answers["fx_search"] = "VST: ReaComp (Cockos)\n";
  EXPECT_EQ(enteredText(*search.then("comp").screen), "Plug-ins matching comp. ReaComp, VST.");

  // New tracks: the instruments found, else ReaSynth; one that does not come is loading.
  RScreen fresh = *choose(root, "New track").screen;
  EXPECT_THAT(labels(fresh), ElementsAre("Audio track", "Instrument track with ReaComp, VST"));
  bridge.answers.erase("fx_search");
  fresh = *choose(root, "New track").screen;
  EXPECT_THAT(labels(fresh), ElementsAre("Audio track", "Instrument track with ReaSynth"));
  EXPECT_EQ(choose(fresh, "Instrument track with ReaSynth").text, "REAPER is still loading it.");
  EXPECT_THAT(bridge.sent.back(), ElementsAre("track_new", "instrument", "", "ReaSynth"));

  // A typed tempo: the bridge's reason is said.
  RScreen transport = *choose(root, "Transport").screen;
  ROut tempo = choose(transport, "Set the tempo by typing");
  EXPECT_EQ(tempo.text, "Type the tempo in beats per minute");
  bridge.answers["tempo"] = "a tempo of 400000 is not possible";
  EXPECT_EQ(tempo.then("400000").text, "A tempo of 400000 is not possible.");
  EXPECT_THAT(bridge.sent.back(), ElementsAre("tempo", "set", "400000"));

  // Actions found by typing.
  ROut find = choose(root, "Find any action by typing");
  bridge.answers["action_search"] = "";
  EXPECT_EQ(find.then("normalize").text, "Nothing in REAPER matches normalize.");
  bridge.answers["action_search"] = "40108|Item properties: Normalize items\nbroken line\n";
  RScreen actions = *find.then("normalize").screen;
  EXPECT_EQ(enteredText(actions), "actions for normalize. Item properties: Normalize items.");
  bridge.answers["action"] = "Done.";
  EXPECT_EQ(actions.items.front().go().text, "Done.");
  EXPECT_THAT(bridge.sent.back(), ElementsAre("action", "40108"));
}

}  // namespace
}  // namespace orvo
