// The AT-SPI backend and the app requests against a real GTK app on a
// headless desktop (run through tools/desktop-session).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "apps/menu-fixtures.h"
#include "apps/tree-access.h"
#include "desks/app-desk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"
#include "platform/access/atspi/atspi-tree.h"
#include "platform/clipboard.h"
#include "platform/thread-runtime.h"

extern char** environ;

namespace orvo {
namespace {

using testing::joinedPath;

struct Desktop {
  ThreadRuntime runtime{3};
  AtspiTree tree{runtime};
  TreeAccess access{tree};
  testing::TempFolder folder;
  std::filesystem::path log = folder / "fired.txt";
  pid_t app = -1;
  std::string skip;

  Desktop() {
    if (!std::getenv("DISPLAY")) {
      skip = "no desktop: run through tools/desktop-session";
      return;
    }
    std::string script =
        (std::filesystem::path(ORVO_SOURCE_DIR) / "tests/apps/fixtures/tiny-studio.py").string();
    std::string logPath = log.string();
    char* argv[] = {const_cast<char*>("/usr/bin/python3"), script.data(), logPath.data(), nullptr};
    if (posix_spawn(&app, argv[0], nullptr, nullptr, argv, environ) != 0) {
      skip = "the fixture app did not start";
      return;
    }
    for (int i = 0; i < 200 && !front(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!front()) skip = "the fixture app never came to the front on the accessibility bus";
  }
  ~Desktop() {
    if (app > 0) {
      ::kill(app, SIGTERM);
      ::waitpid(app, nullptr, 0);
    }
  }
  bool front() {
    auto app = access.trusted() ? access.frontApp() : std::nullopt;
    return app && app->name == "Tiny Studio";
  }
  // Waits up to 5 s for the app to log the line.
  bool fired(const std::string& line) {
    for (int i = 0; i < 100; ++i) {
      if (files::readFile(log).value_or("").find("fired: " + line + "\n") != std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
};

Desktop* desktop = nullptr;

class DesktopTest : public EngineTest {
 protected:
  static void SetUpTestSuite() { desktop = new Desktop; }
  static void TearDownTestSuite() {
    delete desktop;
    desktop = nullptr;
  }

  void SetUp() override {
    if (!desktop->skip.empty()) GTEST_SKIP() << desktop->skip;
    access = &desktop->access;
    clipboard = [] { return readClipboard(desktop->runtime); };
    restartEngine();
    engine->appDesk().refreshApps();
    spoken();
    // Virtual waits let real time pass, so the app can open a dialog while
    // the desk looks for one.
    tick();
  }
  void tick() {
    runtime.after(0.05, [this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      tick();
    });
  }
  std::string answer(const std::string& request) {
    engine->hear(request);
    std::string all;
    for (const auto& sentence : spoken()) all += (all.empty() ? "" : " | ") + sentence;
    return all;
  }
  RunningApp studio() { return *desktop->access.frontApp(); }
};

TEST_F(DesktopTest, TheMenusAreReadAsTheAppHasThem) {
  auto menus = desktop->access.menus(studio());
  ASSERT_TRUE(menus);
  EXPECT_TRUE(menus->complete);
  EXPECT_THAT(menus->titles, ::testing::ElementsAre("File", "Track", "View", "Window"));
  std::vector<std::string> paths;
  for (const auto& entry : menus->entries)
    paths.push_back(joinedPath(entry) + (entry.enabled ? "" : " (greyed)"));
  EXPECT_THAT(paths, ::testing::Contains("File > Recent > Song Two"));
  EXPECT_THAT(paths, ::testing::Contains("File > Open"));
  EXPECT_THAT(paths, ::testing::Contains("Track > Freeze Track (greyed)"));
  EXPECT_THAT(paths, ::testing::Contains("Track > New Audio Track"));
}

TEST_F(DesktopTest, ChoosingAMenuCommandFiresItAndAGreyedOneIsSaid) {
  EXPECT_EQ(answer("in tiny studio, new audio track"), "Done: New Audio Track, in Tiny Studio.");
  EXPECT_TRUE(desktop->fired("New Audio Track"));
  EXPECT_EQ(answer("in tiny studio, freeze the track"),
            "Freeze Track is greyed out in Tiny Studio right now, so it can't be chosen.");
  // The app handles presses in order: once a later one has fired, a press of
  // the greyed one would have too.
  EXPECT_EQ(answer("open the piano roll in tiny studio"), "Done: Open Piano Roll, in Tiny Studio.");
  EXPECT_TRUE(desktop->fired("Open Piano Roll"));
  EXPECT_THAT(files::readFile(desktop->log).value_or(""), Not(HasSubstr("Freeze Track")));
}

TEST_F(DesktopTest, TheDialogAPressOpensIsReadAndAnswered) {
  std::string said = answer("click add marker");
  EXPECT_THAT(said, HasSubstr("Done: Add Marker, in Tiny Studio."));
  EXPECT_THAT(said, HasSubstr("Tiny Studio is now asking: Save changes to Untitled?"));
  EXPECT_THAT(said, HasSubstr("The buttons are Don't Save, Cancel, and Save."));
  EXPECT_THAT(answer("read the dialog"), HasSubstr("Tiny Studio is showing a dialog."));
  answer("click cancel");
  EXPECT_TRUE(desktop->fired("dialog 2"));
}

TEST_F(DesktopTest, TypingTheSelectionAndTheClipboard) {
  EXPECT_THAT(answer("where am i"), HasSubstr("The focus is on Track name, a "));
  EXPECT_EQ(answer("type hello"), "Typed, in Tiny Studio.");
  EXPECT_TRUE(desktop->fired("text Leadhello") || desktop->fired("text helloLead"));
  answer("click focus password");
  EXPECT_TRUE(desktop->fired("Focus Password"));
  EXPECT_EQ(answer("type secret"),
            "That's a password box. I don't type into those. Please type it yourself.");
  answer("click focus name");
  EXPECT_TRUE(desktop->fired("Focus Name"));
  EXPECT_THAT(answer("read the selection"), HasSubstr("Selected: "));
  EXPECT_EQ(answer("read the clipboard"), "The clipboard says: copied from tiny studio.");
  EXPECT_THAT(files::readFile(desktop->log).value_or(""), Not(HasSubstr("secret")));
}

}  // namespace
}  // namespace orvo
