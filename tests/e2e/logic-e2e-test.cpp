// Logic control through the real binary, on a machine without osascript:
// the mode opens and every command answers with its failure sentence.
#include <gmock/gmock.h>

#include "e2e/orvo-process.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(LogicSession, TheModeOpensAndAMissingLogicIsSaidSo) {
  TempFolder home;
  OrvoProcess orvo({.home = home.path()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  orvo.write("g");
  ASSERT_TRUE(orvo.waitFor("@mode logic"));
  ASSERT_TRUE(orvo.waitForPrefix("Logic control. "));
  orvo.write(" ");  // the top key: "Play or stop"
  EXPECT_TRUE(orvo.waitFor("That did not work. Is Logic open?", 10));
  orvo.write("\x1b[D");  // back to the last item, every menu
  ASSERT_TRUE(orvo.waitFor("All of Logic's menus."));
  orvo.write(" ");
  EXPECT_TRUE(orvo.waitFor("I could not read Logic's menus. Is Logic open?", 10));
  orvo.write("0");
  EXPECT_TRUE(orvo.waitFor("@mode idle"));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);

  OrvoProcess project({.home = home.path(), .args = {"--new-logic-project"}, .window = false});
  EXPECT_EQ(project.waitExit(), 1);
  EXPECT_TRUE(
      project.waitFor("I couldn't reach Logic's File menu, so no new project was started.", 1));
}

}  // namespace
}  // namespace orvo::testing
