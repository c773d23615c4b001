// Logic Pro's scripts as text, and what their answers come to.
#include "studio/logic-control.h"
#include "matchers.h"

namespace orvo {
namespace {

const std::string kFront =
    "tell application \"Logic Pro\" to activate\n"
    "tell application \"System Events\"\n"
    "  repeat 40 times\n"
    "    if frontmost of process \"Logic Pro\" then exit repeat\n"
    "    delay 0.05\n"
    "  end repeat\n"
    "end tell\n"
    "delay 0.15\n";

TEST(LogicScripts, QuotingMenuPathsAndKeys) {
  EXPECT_EQ(LogicControl::quote("Say \"hi\" \\ now"), "\"Say \\\"hi\\\" \\\\ now\"");
  EXPECT_EQ(LogicControl::quote("Cr\u00e9er\nnouveau"), "\"Cr\u00e9er\nnouveau\"");
  EXPECT_EQ(LogicControl::menuRef({"Track", "Other", "New \"Track\""}),
            "menu 1 of menu item \"New \\\"Track\\\"\" of menu 1 of menu item \"Other\" of menu 1 "
            "of menu bar item \"Track\" of menu bar 1");

  EXPECT_EQ(LogicControl::front("Logic Pro"), kFront);
  EXPECT_EQ(LogicControl::keyScript(" ", 49, {}),
            kFront + "tell application \"System Events\" to key code 49\n");
  EXPECT_EQ(LogicControl::keyScript("r", std::nullopt, {}),
            kFront + "tell application \"System Events\" to keystroke \"r\"\n");
  EXPECT_EQ(LogicControl::keyScript("s", std::nullopt, {"command", "option"}),
            kFront +
                "tell application \"System Events\" to keystroke \"s\" using {command down, "
                "option down}\n");
  // The quick commands type what their table says.
  const LogicQuick* save = logicQuickNamed("Save");
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(
      LogicControl::keyScript(save->key, save->code, save->mods),
      kFront + "tell application \"System Events\" to keystroke \"s\" using {command down}\n");
  EXPECT_EQ(logicQuick().front().name, "Play or stop");
  EXPECT_EQ(logicQuick().back().name, "Save");
}

TEST(LogicScripts, ListingSubmenusClicksAndTheNewProject) {
  EXPECT_EQ(LogicControl::listScript({}),
            "tell application \"System Events\"\n"
            "  tell process \"Logic Pro\"\n"
            "    set names to \"\"\n"
            "    repeat with anItem in (menu bar items of menu bar 1)\n"
            "      set itemName to name of anItem\n"
            "      if itemName is not missing value then set names to names & itemName & "
            "linefeed\n"
            "    end repeat\n"
            "    return names\n"
            "  end tell\n"
            "end tell\n");
  EXPECT_THAT(LogicControl::listScript({"File"}),
              HasSubstr("repeat with anItem in (menu items of menu 1 of menu bar item \"File\" of "
                        "menu bar 1)\n"));
  EXPECT_EQ(LogicControl::hasSubmenuScript({"File"}, "New from Template"),
            "tell application \"System Events\" to tell process \"Logic Pro\" to return exists "
            "menu 1 of menu item \"New from Template\" of menu 1 of menu bar item \"File\" of "
            "menu bar 1\n");
  EXPECT_EQ(LogicControl::clickScript({"Edit"}, "Undo \"Cut\" \\"),
            "tell application \"Logic Pro\" to activate\n"
            "tell application \"System Events\" to tell process \"Logic Pro\" to click menu item "
            "\"Undo \\\"Cut\\\" \\\\\" of menu 1 of menu bar item \"Edit\" of menu bar 1\n");

  const std::string project = LogicControl::newProjectScript();
  EXPECT_THAT(project, StartsWith(kFront));
  for (const char* step :
       {"set countAtFirst to count of windows",
        "first menu item of menu 1 of menu bar item \"File\" of menu bar 1 whose name starts with "
        "\"New\"",
        "repeat 30 times", "button \"Create\" of group 1 of sheet 1", "delay 0.2", "delay 1.2",
        "set countNow to count of windows", "name of window 1", "static texts of sheet 1",
        "\"a dialog\"",
        "\"ok|\" & countAtFirst & \"|\" & countNow & \"|\" & pressedCreate & \"|\" & frontName & "
        "\"|\" & stillAsking"}) {
    EXPECT_THAT(project, HasSubstr(step));
  }
}

TEST(LogicScripts, PermissionMarkersAndTheNewProjectOutcomes) {
  for (const char* out : {"System Events got an error: osascript is not allowed assistive access.",
                          "execution error: (-1719)", "error -25211", "Not authorised (-1743)",
                          "osascript is not allowed to send keystrokes"}) {
    EXPECT_TRUE(LogicControl::denied(out)) << out;
  }
  EXPECT_FALSE(LogicControl::denied("could not start"));
  EXPECT_FALSE(LogicControl::denied(""));

  auto answer = [](bool ok, const std::string& out) {
    return LogicControl::newProjectAnswer(ToolRun{ok, out});
  };
  // A failed script, output that is not "ok", and an empty answer.
  for (auto failed :
       {answer(false, "could not start"), answer(true, "garbage|1|2"), answer(true, "")}) {
    EXPECT_EQ(failed.sentence,
              "I couldn't reach Logic's File menu, so no new project was started.");
    EXPECT_EQ(failed.mistake, "a studio action failed");
  }
  auto made = answer(true, "ok|1|1|1|Untitled 3 - Tracks|\n");
  EXPECT_EQ(made.sentence,
            "A new project is open in Logic, called Untitled 3, with a track ready to play.");
  EXPECT_TRUE(made.created);
  EXPECT_TRUE(made.mistake.empty());
  EXPECT_EQ(answer(true, "ok|1|2|0||").sentence, "A new project is open in Logic.");
  EXPECT_EQ(answer(true, "ok|1|1|0|Old - Tracks|a dialog").sentence,
            "Logic is asking something before it carries on, probably about the project that's "
            "already open. I've left that for you to answer.");
  EXPECT_EQ(answer(true, "ok|1|1|0|Old|Save changes? | Yes or no. ").sentence,
            "Logic is asking something before it carries on. It says: Save changes? | Yes or no.  "
            "I've left that for you to answer.");
  auto unchanged = answer(true, "ok|2|2|0|Old - Tracks|\r\n");
  EXPECT_EQ(unchanged.sentence,
            "I chose New in Logic's File menu, but I can't see a new project. Logic may be "
            "waiting on another window.");
  EXPECT_EQ(unchanged.log,
            "new project in Logic: menu clicked, nothing changed (ok|2|2|0|Old - Tracks|)");
  // Missing fields count as empty; counts that are not numbers show nothing new.
  auto fields = LogicControl::readNewProject("ok|3");
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->countAtFirst, "3");
  EXPECT_EQ(fields->stillAsking, "");
  EXPECT_FALSE(fields->created());
  EXPECT_FALSE(LogicControl::readNewProject("ok|x|y|0||")->created());
}

TEST(LogicScripts, SpokenCommandsInTheirOrder) {
  auto quick = [](const char* sentence) {
    auto spoken = logicSpokenCommand(Heard(sentence));
    return spoken ? spoken->quick + " / " + spoken->sentence : std::string("none");
  };
  EXPECT_EQ(quick("start recording"), "Record / Recording in Logic.");
  EXPECT_EQ(quick("record and play it back"), "Record / Recording in Logic.");  // record first
  EXPECT_EQ(quick("hit play"), "Play or stop / Play, or stop, in Logic.");
  EXPECT_EQ(quick("play"), "Play or stop / Play, or stop, in Logic.");
  EXPECT_EQ(quick("undo that"), "Undo / Undone in Logic.");
  EXPECT_EQ(quick("add a track"),
            "New software instrument track / New software instrument track in Logic.");
  EXPECT_EQ(quick("new audio track"), "New audio track / New audio track in Logic.");
  EXPECT_EQ(quick("go to the beginning"), "Go to the beginning / At the beginning.");
  EXPECT_EQ(quick("save the project"), "Save / Saved in Logic.");
  EXPECT_EQ(quick("mute this track"), "Mute this track / Mute toggled on the selected track.");
  EXPECT_EQ(quick("solo the track"), "Solo this track / Solo toggled on the selected track.");
  EXPECT_EQ(quick("turn the loop on"), "Cycle on or off / Cycle toggled.");
  EXPECT_EQ(quick("show the mixer"), "Open or close the mixer / Mixer.");
  // Sentences for the other families.
  for (const char* other :
       {"play me something happy", "mute", "what time is it", "loop", "save that as morning", ""}) {
    EXPECT_EQ(quick(other), "none") << other;
  }
}

TEST(LogicScripts, TheRunnerIsUsedAndItsOutputTrimmed) {
  std::vector<std::string> scripts;
  std::vector<ToolRun> answers = {
      {true, "File\nEdit\r\n\nTrack\n"}, {true, "true\n"}, {false, "timed out"}, {true, ""}};
  LogicControl logic([&](const std::string& script) {
    scripts.push_back(script);
    ToolRun next = answers.front();
    answers.erase(answers.begin());
    return next;
  });
  EXPECT_THAT(*logic.list({}), ElementsAre("File", "Edit", "Track"));
  EXPECT_TRUE(logic.hasSubmenu({"File"}, "New"));
  std::string why;
  EXPECT_FALSE(logic.list({"File"}, &why));
  EXPECT_EQ(why, "timed out");
  EXPECT_TRUE(logic.list({"Edit"})->empty());
  EXPECT_EQ(scripts.size(), 4u);

  LogicControl none(nullptr);
  EXPECT_FALSE(none.key(logicQuick().front()).ok);
}

}  // namespace
}  // namespace orvo
