#include "apps/command-match.h"

#include "apps/menu-fixtures.h"
#include "apps/spoken-list.h"
#include "matchers.h"

namespace orvo {
namespace {

using testing::joinedPath;
using testing::menuEntries;

// The path matched, "sure" or "offered", or "none".
std::string match(const std::string& sentence, const std::vector<MenuEntry>& entries,
                  bool strict = false, std::vector<std::string> app = {"Logic Pro"}) {
  auto found = matchCommand(sentence, entries, app, strict);
  if (!found) return "none";
  return joinedPath(entries[found->index]) + (found->sure ? " (sure)" : " (offered)");
}

TEST(CommandWords, SplittingTrimmingAndTheSynonymTable) {
  // Every character that is not a letter or digit splits, "…" and "’" too.
  EXPECT_THAT(commandWords("Open…"), ElementsAre("show"));
  EXPECT_THAT(commandWords("Logic's"), ElementsAre("logic", "s"));
  EXPECT_THAT(commandWords("Logic\xE2\x80\x99s Mixer"), ElementsAre("logic", "s", "mixer"));
  EXPECT_THAT(commandWords("Track\xE2\x80\x93"
                           "12"),
              ElementsAre("track", "12"));
  EXPECT_THAT(commandWords("Crème Brûlée"), ElementsAre("crème", "brûlée"));
  // A final "s" goes, a final "ss" stays, short words keep theirs.
  EXPECT_THAT(commandWords("Tracks Class Bus is"), ElementsAre("track", "class", "bus", "is"));
  // The pairs whose heard word ends in "s" are looked up before the trim.
  EXPECT_THAT(commandWords("Settings Preferences Prefs Options"),
              ElementsAre("settings", "settings", "settings", "settings"));
  EXPECT_THAT(commandWords("tabs windows vocals"), ElementsAre("tab", "window", "audio"));
  // And after it, for plurals of the others.
  EXPECT_THAT(commandWords("mics synths keyboards"),
              ElementsAre("audio", "instrument", "instrument"));
  EXPECT_THAT(commandWords("Start Create Add Make Begin Another"),
              ElementsAre("new", "new", "new", "new", "new", "new"));
  EXPECT_THAT(commandWords("remove erase shut bring launch"),
              ElementsAre("delete", "delete", "close", "show", "show"));
  EXPECT_TRUE(commandWords("").empty());
  EXPECT_TRUE(commandWords(" ,;… ").empty());
  EXPECT_EQ(commandNoise().size(), 56u);
  EXPECT_EQ(riskyCommandWords().size(), 26u);
  EXPECT_TRUE(isRiskyCommand("Remove Track"));
  EXPECT_TRUE(isRiskyCommand("Sends to Bus"));
  EXPECT_FALSE(isRiskyCommand("New Audio Track"));
}

TEST(SpokenList, LimitsAndTheLastItem) {
  EXPECT_EQ(spokenList({}, 5), "");
  EXPECT_EQ(spokenList({"Play"}, 5), "Play");
  EXPECT_EQ(spokenList({"Play", "Stop"}, 5), "Play, and Stop");
  EXPECT_EQ(spokenList({"a", "b", "c"}, 5), "a, b, and c");
  EXPECT_EQ(spokenList({"a", "b", "c", "d", "e"}, 3), "a, b, c, and 2 more");
  EXPECT_EQ(spokenList({"a", "b"}, 0), "a, and 1 more");
  // Names from other apps, made fit to speak.
  EXPECT_EQ(spokenName("New\tCtrl+N"), "New");
  EXPECT_EQ(spokenName("Open\xE2\x80\xA6"), "Open");
  EXPECT_EQ(spokenName("Save As..."), "Save As");
  EXPECT_EQ(spokenName(" Two\nlines\x01here \r"), "Two lines here");
  EXPECT_EQ(spokenName("bad \xC3"), "bad \xEF\xBF\xBD");
}

TEST(MatchCommand, TheEdgeCasesOnALogicLikeTree) {
  auto logic = menuEntries("logic-like.txt");
  ASSERT_GT(logic.size(), 30u);
  EXPECT_EQ(match("open the mixer in logic", logic), "Window > Open Mixer (sure)");
  EXPECT_EQ(match("start an audio track in logic", logic), "Track > New Audio Track (sure)");
  EXPECT_EQ(match("delete the track in logic", logic), "Track > Delete Track (sure)");
  EXPECT_EQ(match("whats the capital of france", logic), "none");
  EXPECT_EQ(match("show the library", logic), "View > Show Library (sure)");
  EXPECT_EQ(match("open the piano roll", logic), "Window > Open Piano Roll (sure)");
  EXPECT_EQ(match("prefs", logic), "Logic Pro > Settings… (sure)");
  EXPECT_EQ(match("the preferences please", logic), "Logic Pro > Settings… (sure)");
  // "open" is "show": half of "Open Mixer" alone is too little.
  EXPECT_EQ(match("open settings", logic), "none");
  // Half an item, every word on it: only offered.
  EXPECT_EQ(match("new audio", logic), "Track > New Audio Track (offered)");
  // The app not named: nearly every word must be on the item or its menu.
  EXPECT_EQ(match("new audio track for the chorus", logic, false),
            "Track > New Audio Track (sure)");
  EXPECT_EQ(match("new audio track for the chorus", logic, true), "none");
  // "show" never picks a "Hide" item, nor "hide" a "Show" one.
  EXPECT_EQ(match("show the toolbar", logic), "none");
  EXPECT_EQ(match("hide the library", logic), "none");
  // Filler only, nothing at all, or an empty tree.
  EXPECT_EQ(match("please can you just do it now", logic), "none");
  EXPECT_EQ(match("", logic), "none");
  EXPECT_EQ(match("new audio track", {}), "none");
  // The app's own name is never a command word.
  EXPECT_EQ(match("new audio track in logic pro", logic, true), "Track > New Audio Track (sure)");
  // Of equal names the first in menu order wins.
  std::vector<MenuEntry> twice = {{{"Edit", "Duplicate"}}, {{"Track", "Duplicate"}}};
  EXPECT_EQ(match("duplicate", twice), "Edit > Duplicate (sure)");
  // Untitled and empty items are never matched, and never divide by zero.
  std::vector<MenuEntry> odd = {{{}}, {{"Edit", ""}}, {{"Edit", "…"}}, {{"Edit", "Undo"}}};
  EXPECT_EQ(match("undo", odd), "Edit > Undo (sure)");
  // A sentence of 2,000 bytes is read whole and still finds nothing wrong.
  std::string longSentence;
  while (longSentence.size() < 2000) longSentence += "open the mixer please ";
  EXPECT_EQ(match(longSentence, logic), "Window > Open Mixer (sure)");
}

TEST(MatchControl, TheButtonMostOfWhoseNameWasSaid) {
  std::vector<std::string> buttons = {"Play", "Stop", "Send Feedback", "Save As Template"};
  auto control = [&](const std::string& words) -> std::string {
    auto found = matchControl(words, buttons, {"button"});
    return found ? buttons[*found] : "none";
  };
  EXPECT_EQ(control("play"), "Play");
  EXPECT_EQ(control("the stop button"), "Stop");
  EXPECT_EQ(control("feedback"), "Send Feedback");
  EXPECT_EQ(control("save as"), "Save As Template");
  EXPECT_EQ(control("record"), "none");
  EXPECT_EQ(control("button"), "none");
}

// Two real menu trees, as the AT-SPI backend read them from Debian's
// Audacity (with its extra menus shown) and Geany.
TEST(MatchCommand, RealMenuTreesOfSeveralHundredEntries) {
  struct Case {
    const char* sentence;
    const char* path;  // "none": no match at all
  };
  auto check = [](const char* file, const char* app, const std::vector<Case>& cases) {
    auto entries = menuEntries(file);
    EXPECT_GE(entries.size(), 300u) << file;
    for (const auto& [sentence, path] : cases) {
      EXPECT_EQ(match(sentence, entries, false, {app}), path) << file << ": " << sentence;
    }
  };
  check("audacity-menus.txt", "Audacity",
        {{"a stereo track", "Tracks > Add New > Stereo Track (sure)"},
         // "start" is "new" in the synonym table, so "Track Start" ties with
         // "Stereo Track" here, and the earlier menu wins.
         {"new stereo track", "Transport > Cursor to > Track Start (sure)"},
         {"zoom in", "View > Zoom > Zoom In (sure)"},
         {"export as mp3", "File > Export > Export as MP3 (sure)"},
         {"noise reduction", "Effect > Noise Removal and Repair > Noise Reduction (sure)"},
         {"normalize", "Effect > Volume and Compression > Normalize (sure)"},
         {"add a label at the selection", "Edit > Labels > Add Label at Selection (sure)"},
         {"play stop", "Transport > Playing > Play/Stop (sure)"},
         {"record a new track", "Transport > Recording > Record New Track (sure)"},
         {"plot the spectrum", "Analyze > Plot Spectrum (sure)"},
         {"reverb", "Effect > Delay and Reverb > Reverb (sure)"},
         {"preferences", "Edit > Preferences (sure)"},
         {"fade out", "Effect > Fading > Fade Out (sure)"},
         {"show the mixer", "View > Mixer (sure)"},
         {"increase the playback speed", "Extra > Play-at-Speed > Increase Playback Speed (sure)"},
         {"whats the capital of france", "none"},
         {"buy me a sandwich", "none"}});
  check("geany-menus.txt", "Geany",
        {{"select all", "Edit > Select All (sure)"},
         {"toggle case of selection", "Edit > Format > Toggle Case of Selection (sure)"},
         {"close all", "File > Close All (sure)"},
         {"insert the gpl notice", "Edit > Insert Comments > Insert GPL Notice (sure)"},
         {"find in files", "Search > Find in Files (sure)"},
         {"go to line", "Search > Go to Line (sure)"},
         {"zoom out", "View > Zoom Out (sure)"},
         {"show the sidebar", "View > Show Sidebar (sure)"},
         {"open the color chooser", "Tools > Color Chooser (sure)"},
         {"replace tabs with spaces", "Document > Replace Tabs with Spaces (sure)"},
         {"whats the weather like", "none"}});
}

}  // namespace
}  // namespace orvo
