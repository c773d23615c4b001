#include "app/window.h"

#include "doubles/virtual-runtime.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(Window, LinesKeepTheirOrderAndNewlinesBecomeSpaces) {
  VirtualRuntime runtime;
  std::vector<std::string> written;
  Window window(runtime.serial("lorimel.ui"), true,
                [&](std::string_view bytes) { written.emplace_back(bytes); });
  window.ui("say two\nlines");
  window.print("A sentence.");
  window.ui("mode talk");
  EXPECT_TRUE(written.empty());  // written from the queue, not the caller's thread
  runtime.runReady();
  EXPECT_THAT(written, ElementsAre("@say two lines\n", "A sentence.\n", "@mode talk\n"));
}

TEST(Window, WithoutTheWindowOnlySentencesArePrinted) {
  VirtualRuntime runtime;
  std::vector<std::string> written;
  Window window(runtime.serial("lorimel.ui"), false,
                [&](std::string_view bytes) { written.emplace_back(bytes); });
  window.ui("mode talk");
  window.print("Talk mode.");
  runtime.runReady();
  EXPECT_THAT(written, ElementsAre("Talk mode.\n"));
}

}  // namespace
}  // namespace orvo
