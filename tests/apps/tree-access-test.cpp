#include "apps/tree-access.h"

#include "apps/menu-fixtures.h"
#include "doubles/memory-tree.h"
#include "matchers.h"

namespace orvo {
namespace {

using testing::joinedPath;

struct Studio {
  MemoryTree tree;
  AccessNode app = tree.addApp("Tiny Studio", 77);
  AccessNode window = tree.add(app, "frame", "Tiny Studio - Untitled");
  AccessNode bar = tree.add(window, "menu bar", "");
  TreeAccess access{tree};

  Studio() { tree.node(window).info.active = true; }
  RunningApp running() { return {"Tiny Studio", 77, app}; }
  AccessNode menu(AccessNode parent, const std::string& name) {
    return tree.add(parent, "menu", name);
  }
};

TEST(TreeAccess, MenusAreReadWholeInMenuOrder) {
  Studio studio;
  auto& tree = studio.tree;
  AccessNode file = studio.menu(studio.bar, "File");
  tree.add(file, "menu item", "New\tCtrl+N");
  tree.add(file, "separator", "");
  tree.add(file, "menu item", "");  // untitled: skipped
  AccessNode recent = studio.menu(file, "Recent");
  tree.add(recent, "menu item", "Song One");
  tree.node(tree.add(file, "menu item", "Revert")).info.sensitive = false;
  tree.add(studio.bar, "menu", "");  // an untitled menu is no menu
  AccessNode view = studio.menu(studio.bar, "View");
  tree.add(view, "check menu item", "Show Line\nNumbers");

  auto menus = studio.access.menus(studio.running());
  ASSERT_TRUE(menus);
  EXPECT_TRUE(menus->complete);
  EXPECT_THAT(menus->titles, ElementsAre("File", "View"));
  std::vector<std::string> paths;
  for (const auto& entry : menus->entries)
    paths.push_back(joinedPath(entry) + (entry.enabled ? "" : " (greyed)"));
  EXPECT_THAT(paths, ElementsAre("File > New", "File > Recent > Song One", "File > Revert (greyed)",
                                 "View > Show Line Numbers"));
  // A dialog in front has no menu bar: the app's window behind it has.
  tree.node(studio.window).info.active = false;
  tree.node(tree.add(studio.app, "dialog", "Welcome")).info.active = true;
  EXPECT_EQ(studio.access.menus(studio.running())->titles.size(), 2u);
  // An app with no menu bar has no menus to read.
  AccessNode bare = tree.addApp("Bare", 78);
  tree.add(bare, "frame", "Bare");
  EXPECT_FALSE(studio.access.menus({"Bare", 78, bare}));
}

TEST(TreeAccess, CyclesHugeTreesAndSilentAppsStopAtTheCaps) {
  Studio studio;
  auto& tree = studio.tree;
  // A panel that contains itself.
  AccessNode panel = tree.add(studio.window, "panel", "");
  tree.add(panel, "push button", "Play");
  tree.link(panel, panel);
  auto cyclic = studio.access.contents(studio.window);
  EXPECT_FALSE(cyclic.complete);
  EXPECT_EQ(cyclic.controls.front().name, "Play");
  // A submenu that contains itself.
  AccessNode edit = studio.menu(studio.bar, "Edit");
  tree.add(edit, "menu item", "Undo");
  tree.link(edit, edit);
  auto menus = studio.access.menus(studio.running());
  ASSERT_TRUE(menus);
  EXPECT_FALSE(menus->complete);

  // 100,000 labels in one window.
  Studio big;
  AccessNode list = big.tree.add(big.window, "list", "");
  for (int i = 0; i < 100000; ++i) big.tree.add(list, "label", "row");
  auto huge = big.access.contents(big.window);
  EXPECT_FALSE(huge.complete);
  EXPECT_LE(huge.texts.size(), 6000u);

  // A part of the window that stops answering.
  Studio hung;
  hung.tree.add(hung.window, "label", "Before");
  AccessNode stuck = hung.tree.add(hung.window, "panel", "");
  hung.tree.add(hung.window, "label", "After");
  hung.tree.node(stuck).answers = false;
  auto partly = hung.access.contents(hung.window);
  EXPECT_FALSE(partly.complete);
  EXPECT_THAT(partly.texts, ElementsAre("Before"));
}

TEST(TreeAccess, TheFrontAppControlsTypingAndAnAppThatQuits) {
  Studio studio;
  auto& tree = studio.tree;
  AccessNode other = tree.addApp("Other", 90);
  tree.add(other, "frame", "Other");
  EXPECT_EQ(studio.access.frontApp()->name, "Tiny Studio");
  EXPECT_EQ(studio.access.apps().size(), 2u);

  AccessNode play = tree.add(studio.window, "push button", "Play");
  tree.add(studio.window, "label", "Tempo 120");
  AccessNode secret = tree.add(studio.window, "password text", "Password");
  AccessNode named = tree.add(studio.window, "table cell", "");
  tree.node(named).info.value = "Bar 1";
  auto contents = studio.access.contents(studio.window);
  std::vector<std::string> controls;
  for (const auto& item : contents.controls) controls.push_back(item.name);
  EXPECT_THAT(controls, ElementsAre("Play", "Bar 1"));
  EXPECT_THAT(contents.texts, ElementsAre("Tempo 120", "a password box"));

  // Never into a password box, not even by keyboard; into a text, at its caret.
  tree.node(secret).info.focused = true;
  EXPECT_EQ(studio.access.typeText(studio.running(), "hunter2"), Typed::passwordBox);
  EXPECT_EQ(studio.access.selectedText(studio.running()), std::nullopt);
  tree.node(secret).info.focused = false;
  EXPECT_EQ(studio.access.typeText(studio.running(), "hello"), Typed::failed);
  AccessNode entry = tree.add(studio.window, "text", "Track name");
  tree.node(entry).info.focused = true;
  tree.node(entry).selected = "Lead";
  EXPECT_EQ(studio.access.typeText(studio.running(), "hello"), Typed::typed);
  EXPECT_EQ(tree.node(entry).text, "hello");
  EXPECT_EQ(studio.access.selectedText(studio.running()), "Lead");
  EXPECT_EQ(tree.node(secret).text, "");
  EXPECT_EQ(tree.typedKeys(), "");

  EXPECT_TRUE(studio.access.press(play));
  tree.quit(studio.app);
  EXPECT_FALSE(studio.access.press(play));
  EXPECT_EQ(studio.access.enabled(play), std::nullopt);
  EXPECT_EQ(studio.access.frontApp(), std::nullopt);
  EXPECT_THAT(tree.pressed(), ElementsAre("Play"));
}

}  // namespace
}  // namespace orvo
