// Working in other apps by voice, on an in-memory Logic-like app.

#include "desks/app-desk.h"
#include "apps/menu-fixtures.h"
#include "apps/tree-access.h"
#include "diagnostics/pretend-app.h"
#include "doubles/memory-tree.h"
#include "engine/engine-fixture.h"
#include "engine/requests.h"
#include "matchers.h"

namespace orvo {
namespace {

class AppControlTest : public EngineTest {
 protected:
  MemoryTree tree;
  TreeAccess treeAccess{tree};
  std::vector<std::string> pressedPaths;
  std::string clipboardText = "";

  AppControlTest() {
    std::string error;
    auto text = files::readFile(testing::menuFixture("logic-like.txt"));
    EXPECT_TRUE(readPretendApp(
        text.value_or(""), tree, [this](const std::string& what) { pressedPaths.push_back(what); },
        &error))
        << error;
    access = &treeAccess;
    clipboard = [this] { return std::optional<std::string>(clipboardText); };
    restartEngine();
    engine->appDesk().refreshApps();
    spoken();
  }

  std::string answer(const std::string& request) {
    engine->hear(request);
    auto said = spoken();
    std::string all;
    for (const auto& sentence : said) all += (all.empty() ? "" : " | ") + sentence;
    return all;
  }

  AccessNode find(const std::string& name) {
    for (AccessNode id = 0; id < tree.size(); ++id) {
      if (tree.node(id).info.name == name) return id;
    }
    return 0;
  }
  AccessNode window() { return find("Untitled - Tracks"); }
};

TEST_F(AppControlTest, TheWindowRequestsInTheirOrder) {
  AccessNode entry = tree.add(window(), "text", "Region name");
  tree.node(entry).info.focused = true;
  tree.node(entry).info.roleDescription = "text field";
  EXPECT_EQ(answer("where am i"),
            "You're in Logic Pro, in the window called Untitled - Tracks. The focus is on Region "
            "name, a text field.");
  EXPECT_EQ(answer("what app is this"),
            "You're in Logic Pro, in the window called Untitled - Tracks.");
  EXPECT_EQ(answer("read the window"),
            "Untitled - Tracks. Bar 1 Beat 1. Tempo 120. Buttons: Play, Stop, Cycle, and Send "
            "Feedback.");
  EXPECT_EQ(answer("what buttons are there"),
            "In Logic Pro you can press: Play, Stop, Cycle, and Send Feedback. Say click, and its "
            "name.");
  EXPECT_EQ(answer("what menus are there"),
            "Logic Pro has these menus: Logic Pro, File, Edit, Track, Navigate, Record, Mix, "
            "View, Window, and Help. Ask what's in any of them, or just tell me what you want "
            "done.");
  EXPECT_EQ(answer("whats in the track menu"),
            "In Track, New Audio Track, New Software Instrument Track, New Tracks, Delete Track, "
            "Delete Unused Tracks, and Rename Track.");
  EXPECT_EQ(answer("read the file menu"),
            "In File, New, Open, Close Project, Save, Save As, Revert to Saved, Bounce, and "
            "Export.");
  EXPECT_EQ(answer("whats in the tools menu"), "I can't find that menu in Logic Pro.");
  // "list the songs" is no menu: the lessons take it.
  EXPECT_THAT(answer("list the songs"), Not(HasSubstr("menu")));
  tree.node(entry).selected = "Verse 2";
  EXPECT_EQ(answer("read the selection"), "Selected: Verse 2");
  tree.node(entry).selected = "";
  EXPECT_EQ(answer("what did i select"),
            "Nothing is selected in Logic Pro, or it won't tell me what is.");
  clipboardText = "line one\nline two";
  EXPECT_EQ(answer("read the clipboard"), "The clipboard says: line one line two.");
  clipboardText = std::string(500, 'x') + " " + std::string(500, 'y');
  EXPECT_THAT(answer("what did i copy"), ::testing::EndsWith(". And it goes on."));
  clipboardText = "";
  EXPECT_EQ(answer("what is on the clipboard"), "The clipboard has no text on it.");
  // A window with nothing readable in it, and no window at all.
  AccessNode empty = tree.addApp("Empty", 50);
  tree.node(window()).info.active = false;
  tree.node(tree.add(empty, "frame", "")).info.active = true;
  EXPECT_EQ(answer("read the window"),
            "Empty. I can't read anything inside it. Some apps don't describe their windows.");
  EXPECT_EQ(answer("what can i click"), "I can't find any buttons in this Empty window.");
  // Only our own window in front.
  ownAppPid = 50;
  restartEngine();
  spoken();
  EXPECT_EQ(answer("what app is this"), "Just me, Orvo. No other app is in front.");
}

TEST_F(AppControlTest, MenuCommandsRiskyGreyedOutOfferedAndShown) {
  EXPECT_EQ(answer("in logic, new audio track"), "Done: New Audio Track, in Logic Pro.");
  EXPECT_EQ(answer("open the mixer in logic"), "Done: Open Mixer, in Logic Pro.");
  EXPECT_THAT(pressedPaths, ElementsAre("Track > New Audio Track", "Window > Open Mixer"));
  EXPECT_THAT(logText(), HasSubstr("menu Logic Pro: Track > New Audio Track"));

  // A risky command asks first, and only a yes chooses it.
  EXPECT_EQ(answer("delete the track in logic"), "Delete Track, in Logic Pro. Shall I go ahead?");
  EXPECT_THAT(logText(), HasSubstr("menu? Logic Pro: Track > Delete Track"));
  EXPECT_EQ(answer("no"), "Okay, I'll leave it.");
  EXPECT_EQ(pressedPaths.size(), 2u);
  answer("in logic, delete the track");
  EXPECT_EQ(answer("yes"), "Done: Delete Track, in Logic Pro.");
  EXPECT_EQ(pressedPaths.back(), "Track > Delete Track");

  // Greyed out: said, not pressed.
  EXPECT_EQ(answer("in logic, paste"),
            "Paste is greyed out in Logic Pro right now, so it can't be chosen.");
  EXPECT_EQ(pressedPaths.size(), 3u);

  // Half a command is only offered.
  EXPECT_EQ(answer("in logic, new audio"),
            "The closest thing in Logic Pro is New Audio Track. Shall I choose it?");
  EXPECT_EQ(answer("yes"), "Done: New Audio Track, in Logic Pro.");

  // The menu says what is showing.
  EXPECT_EQ(answer("in logic, show the toolbar"), "Toolbar is already showing in Logic Pro.");
  EXPECT_EQ(answer("in logic, hide the toolbar"), "Done: Hide Toolbar, in Logic Pro.");
  EXPECT_EQ(pressedPaths.back(), "View > Hide Toolbar");

  EXPECT_EQ(answer("in logic, juggle the penguins"), "I can't find that in Logic Pro's menus.");
  // No menu command in a question about France.
  EXPECT_THAT(answer("whats the capital of france"), Not(HasSubstr("Logic")));
  // Filler alone, and 2,000 bytes, are heard without harm.
  answer("in logic, please the");
  std::string longSentence = "in logic";
  while (longSentence.size() < 2000) longSentence += " open the mixer";
  EXPECT_EQ(answer(longSentence), "Done: Open Mixer, in Logic Pro.");
}

TEST_F(AppControlTest, AppsGoByTheirDesktopNamesAndAStudioNeverTakesTheirSentences) {
  // LibreOffice runs as "soffice"; a person calls it by its desktop entry's names.
  std::string error;
  ASSERT_TRUE(readPretendApp(
      "app\tsoffice\nwindow\tUntitled 1 - LibreOffice Writer\nmenu\tTools > Word Count…\n", tree,
      [this](const std::string& what) { pressedPaths.push_back(what); }, &error))
      << error;
  installedApps = [] {
    DesktopEntry writer{"LibreOffice Writer", "Word Processor", "libreoffice", "soffice", ""};
    DesktopEntry editor{"Text Editor", "", "gedit", "gedit", ""};
    return std::vector<DesktopEntry>{writer, editor};
  };
  // REAPER runs too: a sentence naming another app is still that app's.
  pretendReaper = true;
  restartEngine();
  engine->appDesk().refreshApps();
  spoken();
  for (const char* sentence :
       {"in libreoffice, word count", "in writer, word count", "word count in word processor"}) {
    EXPECT_EQ(answer(sentence), "Done: Word Count, in LibreOffice Writer.") << sentence;
  }
  EXPECT_EQ(answer("in logic, new audio track"), "Done: New Audio Track, in Logic Pro.");
  EXPECT_THAT(pressedPaths, ElementsAre("Tools > Word Count…", "Tools > Word Count…",
                                        "Tools > Word Count…", "Track > New Audio Track"));
  // Installed but not open, or not installed at all.
  EXPECT_EQ(answer("in text editor, new document"),
            "Text Editor isn't open. Open it first, then ask me again.");
  EXPECT_EQ(answer("open the pod bay doors"),
            "I cannot find an app called pod bay doors on this computer.");
}

TEST_F(AppControlTest, ClickingButtonsAndTheDialogAPressOpens) {
  AccessNode marker = tree.add(window(), "push button", "Add Marker\xE2\x80\xA6");
  AccessNode dialog = 0;
  tree.node(marker).onAction = [this, &dialog] {
    AccessNode app = find("Logic Pro");
    dialog = tree.add(app, "dialog", "Save");
    tree.node(dialog).info.active = true;
    tree.add(dialog, "label", "Save changes to Untitled?");
    tree.add(dialog, "push button", "Don't Save");
    tree.add(dialog, "push button", "Save");
    return true;
  };
  EXPECT_EQ(answer("click add marker"),
            "Done: Add Marker, in Logic Pro. Logic Pro is now asking: Save changes to Untitled? "
            "The buttons are Don't Save, and Save. Say click, and the one you want.");
  EXPECT_EQ(answer("read the dialog"),
            "Logic Pro is showing a dialog. Save changes to Untitled? Buttons: Don't Save, and "
            "Save.");
  EXPECT_EQ(answer("press the save button"), "Done: Save, in Logic Pro.");
  EXPECT_EQ(tree.pressed().back(), "Save");
  tree.quit(dialog);
  // A dialog that shows no words is still told, with its buttons.
  tree.node(marker).onAction = [this, &dialog] {
    dialog = tree.add(find("Logic Pro"), "alert", "");
    tree.node(dialog).info.active = true;
    tree.add(dialog, "push button", "OK");
    return true;
  };
  EXPECT_EQ(answer("click add marker"),
            "Done: Add Marker, in Logic Pro. Logic Pro is now asking: something, with no words. "
            "The buttons are OK. Say click, and the one you want.");
  tree.quit(dialog);

  // A risky button asks first.
  EXPECT_EQ(answer("click send feedback"), "Press Send Feedback, in Logic Pro? Say yes or no.");
  EXPECT_EQ(answer("yes"), "Done: Send Feedback, in Logic Pro.");
  // A name that is a menu command goes to the menus.
  EXPECT_EQ(answer("click open piano roll"), "Done: Open Piano Roll, in Logic Pro.");
  // Part of one, with no app named, is only offered.
  EXPECT_EQ(answer("choose the piano roll"),
            "The closest thing in Logic Pro is Open Piano Roll. Shall I choose it?");
  answer("no");
  EXPECT_EQ(answer("click the banana"),
            "I can't find that in Logic Pro. I can see: Play, Stop, Cycle, Send Feedback, and Add "
            "Marker.");
  // A press that does nothing because the app quit halfway: said, and noted.
  tree.node(find("Play")).onAction = [this] {
    tree.quit(find("Logic Pro"));
    return false;
  };
  EXPECT_EQ(answer("click play"), "I found Play in Logic Pro, but it wouldn't respond.");
  EXPECT_THAT(files::readFile(home / "mistakes.txt").value_or(""),
              HasSubstr("an app action failed"));
  EXPECT_EQ(answer("click stop"),
            "No other app is open in front of me. Open one, or say which app you mean.");
}

TEST_F(AppControlTest, TypingNeverIntoAPasswordBox) {
  AccessNode secret = tree.add(window(), "password text", "Password");
  tree.node(secret).info.focused = true;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(answer("type my secret words"),
              "That's a password box. I don't type into those. Please type it yourself.");
  }
  EXPECT_EQ(tree.node(secret).text, "");
  EXPECT_EQ(tree.typedKeys(), "");
  EXPECT_THAT(logText(), HasSubstr("type refused"));
  tree.node(secret).info.focused = false;
  AccessNode entry = tree.add(window(), "text", "Notes");
  tree.node(entry).info.focused = true;
  EXPECT_EQ(answer("Type this: Hello, World"), "Typed, in Logic Pro.");
  EXPECT_EQ(tree.node(entry).text, "Hello, World");
  EXPECT_EQ(answer("type"), "What shall I type? Say type, and the words.");
}

TEST_F(AppControlTest, SequencesKeepTheirOrderAndStopAtAFailure) {
  EXPECT_EQ(answer("in logic, show the library and then open the piano roll"),
            "Show Library, in Logic Pro. Done. | Open Piano Roll, in Logic Pro. Done.");
  EXPECT_THAT(pressedPaths, ElementsAre("View > Show Library", "Window > Open Piano Roll"));
  EXPECT_THAT(logText(), HasSubstr("sequence: in logic show the library | open the piano roll"));
  // The second waits for the first, and never runs after a failure.
  EXPECT_EQ(answer("in logic, paste then open the mixer"),
            "Paste is greyed out in Logic Pro right now, so it can't be chosen.");
  EXPECT_EQ(pressedPaths.size(), 2u);
  // A risky first step asks, and a yes goes on with the second.
  EXPECT_EQ(answer("in logic delete the track then open the mixer"),
            "Delete Track, in Logic Pro. Shall I go ahead?");
  EXPECT_EQ(answer("yes"), "Delete Track, in Logic Pro. Done. | Open Mixer, in Logic Pro. Done.");
  EXPECT_THAT(pressedPaths, ElementsAre("View > Show Library", "Window > Open Piano Roll",
                                        "Track > Delete Track", "Window > Open Mixer"));
  // A second part that is no app request is heard as a request of its own.
  EXPECT_THAT(answer("in logic, open the mixer and then what time is it"), HasSubstr("It is "));
}

TEST_F(AppControlTest, WithoutTheDesktopsTrustOnlyTheTrustSentence) {
  tree.setReachable(false);
  const std::string trust =
      "I can't reach this desktop's accessibility service, so I can't work in other apps yet.";
  for (const char* request :
       {"where am i", "read the window", "what buttons", "in logic, new audio track", "click play",
        "type hello", "read the selection"}) {
    EXPECT_EQ(answer(request), trust) << request;
  }
  EXPECT_THAT(pressedPaths, IsEmpty());
  EXPECT_THAT(tree.pressed(), IsEmpty());
  // The clipboard is no other app's window.
  clipboardText = "still here";
  EXPECT_EQ(answer("read the clipboard"), "The clipboard says: still here.");
}

}  // namespace
}  // namespace orvo
