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
  press(keys.back);
  EXPECT_EQ(spokenOne(), "All of Logic's menus.");
  press(keys.next);
  EXPECT_EQ(spokenOne(), "Play or stop.");
  press(keys.next);
  EXPECT_EQ(spokenOne(), "Record.");
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "Done: Record.");
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_THAT(scripts[0], HasSubstr("keystroke \"r\"\n"));

  fallback = {false, "execution error: Not authorised to send Apple events (-1743)"};
  press(keys.hear);
  EXPECT_EQ(spokenOne(), LogicControl::needPermission);
  fallback = {false, "could not start"};
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "That did not work. Is Logic open?");

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
  press(keys.back);
  spoken();
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "All menus. 3 items. Logic Pro.");
  EXPECT_THAT(engine->logic().items(), ElementsAre("Logic Pro", "File", "Edit"));
  press(keys.next);
  spoken();
  press(keys.hear);  // File has a submenu
  EXPECT_EQ(spokenOne(), "File. 2 items. New from Template.");
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "New from Template. 1 items. Empty Project.");
  press(keys.notes);
  EXPECT_EQ(spokenOne(), "Back. File. 2 items. New from Template.");
  press(keys.next);
  spoken();
  press(keys.hear);  // a greyed-out item: the list stays
  EXPECT_EQ(spokenOne(), "Logic would not do that right now. It may be greyed out.");
  EXPECT_THAT(scripts.back(), HasSubstr("click menu item \"Save \\\"As\\\" \\\\ copy\""));
  answers["click menu item"] = {true, ""};
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "Done: Save \"As\" \\ copy.");
  press(keys.notes);
  EXPECT_EQ(spokenOne(), "Back. All menus. 3 items. Logic Pro.");
  press(keys.notes);
  EXPECT_EQ(spokenOne(), "Back. Logic control. Play or stop.");

  // Menus that cannot be read leave the list as it was.
  answers["menu bar items of menu bar 1"] = {false, "could not start"};
  press(keys.back);
  spoken();
  press(keys.hear);
  EXPECT_EQ(spokenOne(), "I could not read Logic's menus. Is Logic open?");
  EXPECT_EQ(engine->logic().items().back(), "All of Logic's menus");
}

TEST_F(LogicTest, SpokenCommandsWhileLogicRunsAndTheNewProject) {
  studio.runs = true;
  engine->studioDesk().checkStudios();
  windowLines();
  engine->hear("start recording");
  EXPECT_EQ(spokenOne(), "Recording in Logic.");
  engine->hear("hit play");
  EXPECT_EQ(spokenOne(), "Play, or stop, in Logic.");
  engine->hear("add an audio track");
  EXPECT_EQ(spokenOne(), "New audio track in Logic.");
  engine->hear("new track please");
  EXPECT_EQ(spokenOne(), "New software instrument track in Logic.");
  engine->hear("mute this track");
  EXPECT_EQ(spokenOne(), "Mute toggled on the selected track.");
  EXPECT_THAT(scripts.back(), HasSubstr("keystroke \"m\"\n"));
  fallback = {false, "timed out"};
  engine->hear("undo that");
  EXPECT_EQ(spokenOne(), "Logic did not respond.");
  // Not a quick command: the other families hear it.
  engine->hear("what time is it");
  EXPECT_THAT(spokenOne(), StartsWith("It is "));

  answers["set countAtFirst"] = {true, "ok|1|2|1|Untitled - Tracks|\n"};
  engine->hear("start a new project");
  EXPECT_EQ(spokenOne(),
            "A new project is open in Logic, called Untitled, with a track ready to play.");
  answers["set countAtFirst"] = {false, "could not start"};
  engine->hear("new project");
  EXPECT_EQ(spokenOne(), "I couldn't reach Logic's File menu, so no new project was started.");
  EXPECT_THAT(files::readFile(home / "mistakes.txt").value_or(""),
              HasSubstr("a studio action failed"));

  // Neither studio.
  studio.runs = false;
  engine->studioDesk().checkStudios();
  engine->hear("new project");
  EXPECT_EQ(spokenOne(), "Open REAPER first, and I'll start a project.");
  engine->hear("start recording");
  EXPECT_EQ(spokenOne(), "Open REAPER first, then ask me again.");
}

}  // namespace
}  // namespace orvo
