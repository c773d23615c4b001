// Logic control through the engine, with a recording runner in place of osascript.

#include "rooms/logic/logic-room.h"
#include "desks/studio-desk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

class LogicTest : public EngineTest {
 protected:
  // The scripts run, and the answer each kind gets: by the longest text of
  // `answers` the script holds.
  std::vector<std::string> scripts;
  std::map<std::string, ToolRun> answers;
  ToolRun fallback{true, ""};

  LogicTest() {
    osa = [this](const std::string& script) {
      scripts.push_back(script);
      const ToolRun* best = &fallback;
      std::size_t longest = 0;
      for (const auto& [text, run] : answers) {
        if (text.size() > longest && script.find(text) != std::string::npos) {
          best = &run;
          longest = text.size();
        }
      }
      return *best;
    };
    restartEngine();
    studio.runs = true;
    engine->studioDesk().checkStudios();
    spoken();
  }
};

TEST_F(LogicTest, TheQuickListStepsWrapsAndSendsItsKeys) {
  engine->computerKey('g');
  EXPECT_EQ(engine->currentMode(), Mode::logic);
  EXPECT_EQ(spokenOne(),
            "Logic control.  The third and fourth keys step through commands. The top key does "
            "the one you heard. The second key goes back a level. The last item opens every menu "
            "in Logic. Start with: Play or stop.");
  EXPECT_EQ(afterPress(keys.back), "All of Logic's menus.");
  EXPECT_EQ(afterPress(keys.next), "Play or stop.");
  EXPECT_EQ(afterPress(keys.next), "Record.");
  EXPECT_EQ(afterPress(keys.hear), "Done: Record.");
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_THAT(scripts[0], HasSubstr("keystroke \"r\"\n"));

  fallback = {false, "execution error: Not authorised to send Apple events (-1743)"};
  EXPECT_EQ(afterPress(keys.hear), LogicControl::needPermission);
  fallback = {false, "could not start"};
  EXPECT_EQ(afterPress(keys.hear), "That did not work. Is Logic open?");

  // Home always leaves.
  press(keys.home);
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_TRUE(engine->logic().items().empty());
}

TEST_F(LogicTest, MenusAreATreeWithoutAppleAndBackGoesUpALevel) {
  answers["menu bar items of menu bar 1"] = {true, "Apple\nLogic Pro\nFile\nEdit\n"};
  answers["return exists menu 1 of menu item \"New from Template\""] = {true, "true\n"};
  answers["return exists"] = {true, "false\n"};
  answers["menu items of menu 1 of menu item \"New from Template\""] = {true, "Empty Project\n"};
  answers["menu items of menu 1 of menu bar item \"File\""] = {
      true, "New from Template\nSave \"As\" \\ copy\n"};
  answers["click menu item"] = {false, "greyed"};
  engine->computerKey('g');
  spoken();
  pressUnchecked(keys.back);
  EXPECT_EQ(afterPress(keys.hear), "All menus. 3 items. Logic Pro.");
  EXPECT_THAT(engine->logic().items(), ElementsAre("Logic Pro", "File", "Edit"));
  pressUnchecked(keys.next);
  // File has a submenu.
  EXPECT_EQ(afterPress(keys.hear), "File. 2 items. New from Template.");
  EXPECT_EQ(afterPress(keys.hear), "New from Template. 1 items. Empty Project.");
  EXPECT_EQ(afterPress(keys.notes), "Back. File. 2 items. New from Template.");
  pressUnchecked(keys.next);
  // A greyed-out item: the list stays.
  EXPECT_EQ(afterPress(keys.hear), "Logic would not do that right now. It may be greyed out.");
  EXPECT_THAT(scripts.back(), HasSubstr("click menu item \"Save \\\"As\\\" \\\\ copy\""));
  answers["click menu item"] = {true, ""};
  EXPECT_EQ(afterPress(keys.hear), "Done: Save \"As\" \\ copy.");
  EXPECT_EQ(afterPress(keys.notes), "Back. All menus. 3 items. Logic Pro.");
  EXPECT_EQ(afterPress(keys.notes), "Back. Logic control. Play or stop.");

  // Menus that cannot be read leave the list as it was.
  answers["menu bar items of menu bar 1"] = {false, "could not start"};
  pressUnchecked(keys.back);
  EXPECT_EQ(afterPress(keys.hear), "I could not read Logic's menus. Is Logic open?");
  EXPECT_EQ(engine->logic().items().back(), "All of Logic's menus");
}

TEST_F(LogicTest, SpokenCommandsWhileLogicRunsAndTheNewProject) {
  studio.runs = true;
  engine->studioDesk().checkStudios();
  windowLines();
  EXPECT_EQ(afterHearing("start recording"), "Recording in Logic.");
  EXPECT_EQ(afterHearing("hit play"), "Play, or stop, in Logic.");
  EXPECT_EQ(afterHearing("add an audio track"), "New audio track in Logic.");
  EXPECT_EQ(afterHearing("new track please"), "New software instrument track in Logic.");
  EXPECT_EQ(afterHearing("mute this track"), "Mute toggled on the selected track.");
  EXPECT_THAT(scripts.back(), HasSubstr("keystroke \"m\"\n"));
  fallback = {false, "timed out"};
  EXPECT_EQ(afterHearing("undo that"), "Logic did not respond.");
  // Not a quick command: the other families hear it.
  EXPECT_THAT(afterHearing("what time is it"), StartsWith("It is "));

  answers["set countAtFirst"] = {true, "ok|1|2|1|Untitled - Tracks|\n"};
  EXPECT_EQ(afterHearing("start a new project"),
            "A new project is open in Logic, called Untitled, with a track ready to play.");
  answers["set countAtFirst"] = {false, "could not start"};
  EXPECT_EQ(afterHearing("new project"),
            "I couldn't reach Logic's File menu, so no new project was started.");
  EXPECT_THAT(files::readFile(home / "mistakes.txt").value_or(""),
              HasSubstr("a studio action failed"));

  // Neither studio.
  studio.runs = false;
  engine->studioDesk().checkStudios();
  EXPECT_EQ(afterHearing("new project"), "Open REAPER first, and I'll start a project.");
  EXPECT_EQ(afterHearing("start recording"), "Open REAPER first, then ask me again.");
}

}  // namespace
}  // namespace orvo
