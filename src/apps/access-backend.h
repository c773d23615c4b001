#pragma once
// What working in other apps asks of the desktop: the apps running, the one
// in front, its menus, windows, dialogs and controls, pressing, typing and
// the selection. TreeAccess answers it over an accessibility tree (AT-SPI on
// Linux, an in-memory tree in tests); a macOS backend would answer it over
// the AXUIElement functions.
//
// Threads: any; calls may block for as long as a slow app takes to answer
// (each backend bounds that), so never with the engine's lock held.

#include <optional>
#include <string>
#include <vector>

#include "platform/access/access-tree.h"

namespace orvo {

struct RunningApp {
  std::string name;
  int pid = 0;
  AccessNode node = 0;
};

// Something in a window: a control named as it is spoken, or a window itself.
struct ScreenItem {
  std::string role;
  std::string name;
  AccessNode element = 0;
};

// A menu command, from the menu bar's title down ("Track", "New Audio Track").
struct MenuEntry {
  std::vector<std::string> path;
  AccessNode element = 0;
  bool enabled = true;
};

struct AppMenus {
  std::vector<std::string> titles;  // the menu bar, in order
  std::vector<MenuEntry> entries;   // every titled item, in menu order
  bool complete = true;             // false: the app stopped answering or was too large
};

struct WindowContents {
  std::vector<ScreenItem> controls;
  std::vector<std::string> texts;
  bool complete = true;
};

struct Focus {
  std::string name;
  std::string role;
  std::string roleDescription;
  AccessNode element = 0;
};

enum class Typed { typed, passwordBox, failed };

class AccessBackend {
 public:
  virtual ~AccessBackend() = default;

  // The desktop lets us read and work other apps.
  virtual bool trusted() = 0;
  virtual std::vector<RunningApp> apps() = 0;
  // The app whose window is active, ours included.
  virtual std::optional<RunningApp> frontApp() = 0;
  // None: the app is gone or shows no menu bar.
  virtual std::optional<AppMenus> menus(const RunningApp& app) = 0;
  virtual std::optional<ScreenItem> focusedWindow(const RunningApp& app) = 0;
  // A dialog or alert the app shows in front, if any.
  virtual std::optional<ScreenItem> dialog(const RunningApp& app) = 0;
  virtual WindowContents contents(AccessNode window) = 0;
  virtual bool press(AccessNode element) = 0;
  // None: the element is gone.
  virtual std::optional<bool> enabled(AccessNode element) = 0;
  // Into the focused element; never into a password box.
  virtual Typed typeText(const RunningApp& app, const std::string& text) = 0;
  virtual std::optional<std::string> selectedText(const RunningApp& app) = 0;
  virtual std::optional<Focus> focusedElement(const RunningApp& app) = 0;
};

// No desktop to work in: never trusted, nothing to read.
class NoAccess : public AccessBackend {
 public:
  bool trusted() override { return false; }
  std::vector<RunningApp> apps() override { return {}; }
  std::optional<RunningApp> frontApp() override { return std::nullopt; }
  std::optional<AppMenus> menus(const RunningApp&) override { return std::nullopt; }
  std::optional<ScreenItem> focusedWindow(const RunningApp&) override { return std::nullopt; }
  std::optional<ScreenItem> dialog(const RunningApp&) override { return std::nullopt; }
  WindowContents contents(AccessNode) override { return {}; }
  bool press(AccessNode) override { return false; }
  std::optional<bool> enabled(AccessNode) override { return std::nullopt; }
  Typed typeText(const RunningApp&, const std::string&) override { return Typed::failed; }
  std::optional<std::string> selectedText(const RunningApp&) override { return std::nullopt; }
  std::optional<Focus> focusedElement(const RunningApp&) override { return std::nullopt; }
};

}  // namespace orvo
