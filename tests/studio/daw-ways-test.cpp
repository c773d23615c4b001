// The ways of working: what each mode asks before acting, and the mode file
// read back, a garbled one meaning assisted.

#include "studio/daw-ways.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(DawWays, EachModeAsksBeforeWhatItShould) {
  const DawAsk change = DawAsk::change(dawop::VolumeTo{1, -6});
  const DawAsk remove = DawAsk::change(
      dawop::Delete{2}, "Delete Bass, which has 2 recorded items and 0 plug-ins? Say yes or no.");
  const DawAsk plan = DawAsk::plan("I would add an EQ.", {});
  using Kind = DawStep::Kind;
  struct Row {
    DawMode mode;
    Kind change, remove, plan;
  };
  for (const Row& row : {Row{DawMode::guided, Kind::confirm, Kind::confirm, Kind::confirm},
                         Row{DawMode::assisted, Kind::perform, Kind::confirm, Kind::confirm},
                         Row{DawMode::autonomous, Kind::perform, Kind::confirm, Kind::perform}}) {
    SCOPED_TRACE(std::string(dawModeName(row.mode)));
    EXPECT_EQ(dawStep(change, row.mode).kind, row.change);
    EXPECT_EQ(dawStep(remove, row.mode).kind, row.remove);
    EXPECT_EQ(dawStep(plan, row.mode).kind, row.plan);
    EXPECT_EQ(dawStep(remove, row.mode).sentence, *remove.confirm);  // deletes always ask the same
  }
  EXPECT_EQ(dawStep(change, DawMode::guided).sentence,
            "I am about to change the project. Shall I go ahead?");
  EXPECT_EQ(dawStep(change, DawMode::guided).logTag, "daw confirm");
  EXPECT_EQ(dawStep(change, DawMode::assisted).logTag, "daw op");
  EXPECT_EQ(dawStep(plan, DawMode::assisted).sentence, "I would add an EQ. Shall I go ahead?");
  EXPECT_EQ(dawStep(plan, DawMode::autonomous).logTag, "daw plan");
  EXPECT_EQ(dawStep(DawAsk::say("Tempo is 120."), DawMode::guided).logTag, "daw say");
  EXPECT_EQ(dawStep(DawAsk::question("Which one?"), DawMode::guided).kind, Kind::question);
}

TEST(DawWays, TheModeFileRoundTripsAndAnythingElseIsAssisted) {
  for (DawMode mode : {DawMode::guided, DawMode::assisted, DawMode::autonomous}) {
    EXPECT_EQ(dawModeFrom(std::string(dawModeName(mode)) + "\n"), mode);
  }
  EXPECT_EQ(dawModeFrom(" autonomous \r\nextra"), DawMode::autonomous);
  EXPECT_EQ(dawModeFrom(std::nullopt), DawMode::assisted);
  EXPECT_EQ(dawModeFrom(""), DawMode::assisted);
  EXPECT_EQ(dawModeFrom("GUIDED"), DawMode::assisted);
  EXPECT_EQ(dawModeFrom(std::string("gui\0ded", 7)), DawMode::assisted);
}

}  // namespace
}  // namespace orvo
