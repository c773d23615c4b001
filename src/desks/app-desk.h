#pragma once
// Working in other apps by voice: which app and window is in front, reading
// a window, its buttons, its menus, the selection and the clipboard,
// pressing a control, choosing a menu command from a plain sentence, typing,
// and two such requests in a row. A sentence is taken on the request path
// from its words alone (and the names of the apps seen running); the reading
// and pressing happen in an activity, off the engine's lock, because an app
// can be slow to answer. A risky command, or a match that is not sure, waits
// for a yes.
//
// Threads: axHear() and sequenceHear() with the engine's lock held; the rest
// from any thread. The desk never takes the engine's lock while it holds its
// own.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apps/access-backend.h"
#include "apps/app-names.h"
#include "platform/desktop-entries.h"
#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/repeating-check.h"
#include "platform/runtime.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class Runtime;

class AppDesk {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    Opt opt;
    std::function<std::vector<DesktopEntry>()> installedApps;
    std::function<std::optional<std::string>()> clipboard;
    int ownAppPid;
  };
  AppDesk(RoomServices& engine, Parts parts, AccessBackend& access);
  ~AppDesk();

  // The dispatcher's app step: a window request, or a request for an app
  // named in the sentence ("in Logic, new audio track"). The outcome word, or
  // nothing when the sentence is not for another app. `taken` is called
  // once it is taken, before anything is done.
  std::optional<std::string> axHear(const Heard& heard, const std::function<void()>& taken = {});
  // Two requests joined by "then": the second runs only after the first
  // worked, in the same app unless it names another.
  std::optional<std::string> sequenceHear(const Heard& heard);

  // Every phrase the desk listens for, for the window's recogniser.
  static std::vector<std::string> phrases();

  // One look at the apps running (it may take a while): the names a
  // sentence can use.
  void refreshApps();
  // refreshApps at once and every 5 s after, on the global queue.
  void startChecks();
  // The last other app seen in front.
  std::optional<std::string> lastFrontApp();
  // The sentence is for another app than the studio ("in logic, new audio
  // track", "in libreoffice, word count"), running or only installed.
  bool namesOtherApp(const Heard& heard);
  // The name of an installed app the words call ("libreoffice" is
  // "LibreOffice Writer"), or nothing.
  std::optional<std::string> installedApp(const std::string& words);
  // An installed app the sentence is for ("in libreoffice, ..."), open or not.
  std::optional<std::string> installedNamedIn(const Heard& heard);

 private:
  enum class Ask {
    where,
    whichApp,
    readWindow,
    buttons,
    menus,
    menuItems,
    click,
    type,
    selection,
    clipboard,
    menu
  };
  struct Step {
    Ask ask = Ask::menu;
    std::optional<std::string> app;  // as named in the sentence
    std::string words;               // the request, the app's name gone
    std::string typed;               // what to type, as said
    // A second request in the first one's app: when no menu command matches,
    // it is heard as a request of its own.
    bool inherited = false;
  };
  enum class Went { done, failed, asked, nothing };

  std::optional<Step> claim(const Heard& heard, bool inherits);
  // Runs the steps in an activity (at once in the fast mode, with the
  // outcome; else "app"); `then` is heard as a request after they all worked.
  std::string start(std::vector<Step> steps, std::string then);
  std::string runSteps(int gen, std::vector<Step> steps, std::size_t from,
                       std::optional<RunningApp> carried, std::string then);
  // `onwards` runs after a step that waited for a yes has been done.
  using Onwards = std::function<void(int gen)>;
  Went runStep(int gen, const Step& step, std::optional<RunningApp>& app, bool inSequence,
               const Onwards& onwards);
  // The running app of that name, if it still runs.
  std::optional<RunningApp> running(const std::string& name);
  // The app a request is for; says why when there is none.
  std::optional<RunningApp> targetApp(int gen, const std::optional<std::string>& name);
  Went menuHear(int gen, const RunningApp& app, bool named, const std::string& words,
                bool inSequence, const Onwards& onwards);
  Went chooseMenu(int gen, const RunningApp& app, const MenuEntry& entry, bool inSequence);
  Went click(int gen, const RunningApp& app, const Step& step, bool inSequence,
             const Onwards& onwards);
  // Into the focused element, never a password box.
  Went typeInto(int gen, const RunningApp& app, const std::string& text);
  // Presses, says the result, and reads a dialog the press opened.
  Went pressAndTell(int gen, const RunningApp& app, AccessNode element, const std::string& name,
                    bool inSequence);
  std::string dialogReport(const RunningApp& app);
  // A yes runs `action`, then the steps left.
  Went askFirst(const std::string& question, const std::string& what,
                std::function<Went(int gen)> action, const Onwards& onwards);
  void say(int gen, const std::string& sentence);
  void failed(int gen, const std::string& sentence);
  std::optional<std::string> appNamed(const std::string& text, std::string* rest);
  // The app as sentences name it.
  RunningApp spokenAs(RunningApp app);

  RoomServices& engine_;
  Parts parts_;
  AccessBackend& access_;

  Mutex lock_;
  std::vector<KnownApp> known_ GUARDED_BY(lock_);
  // The installed apps, read again now and then (a new one may be installed).
  std::vector<DesktopEntry> installed_ GUARDED_BY(lock_);
  double installedReadAt_ GUARDED_BY(lock_) = -1e9;
  std::optional<std::string> lastFrontApp_ GUARDED_BY(lock_);
  // Last, so it stops before anything a check uses goes.
  RepeatingCheck checks_;
};

}  // namespace orvo
