// Logic control through the real binary, on a machine without Logic: the
// mode is not offered, and a new project says why there is none.

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(LogicSession, AMissingLogicIsSaidSoAndNeverOffered) {
  TempFolder home;
  OrvoProcess orvo({.home = home.path()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  EXPECT_TRUE(orvo.answers("g", "Logic isn't open. Open it first, or press r for REAPER control."));
  EXPECT_TRUE(orvo.answers("~say open logic control\n",
                           "Logic isn't open. Open it first, or press r for REAPER control."));
  EXPECT_EQ(orvo.closeWindow(), 0);

  OrvoProcess project({.home = home.path(), .args = {"--new-logic-project"}, .window = false});
  EXPECT_EQ(project.waitExit(), 1);
  EXPECT_TRUE(
      project.waitFor("I couldn't reach Logic's File menu, so no new project was started.", 1));
}

}  // namespace
}  // namespace orvo::testing
