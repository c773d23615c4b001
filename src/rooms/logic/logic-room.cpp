#include "rooms/logic/logic-room.h"

#include <algorithm>

#include "desks/studio-desk.h"
#include "engine/room-services.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

namespace {

const char* kAllMenus = "All of Logic's menus";

}  // namespace

LogicRoom::LogicRoom(RoomServices& engine, Parts parts, LogicControl::Runner runner)
    : engine_(engine),
      parts_(std::move(parts)),
      control_(runner ? std::move(runner) : LogicControl::osascript(parts_.runtime)) {}

void LogicRoom::leave() {
  logicItems_.clear();
  logicIdx_ = 0;
  logicPath_.reset();
  ++shown_;
}

std::string LogicRoom::helpText() {
  return "Logic control. The third and fourth keys, or the arrow keys, step through commands. The "
         "top key, or space, does the one you heard. The second key, or n, goes back a level. "
         "The last item opens every menu in Logic. The second lowest white key, or zero, goes "
         "home.";
}

void LogicRoom::openLogic() {
  std::lock_guard guard(engine_.lock);
  // Logic control is offered only while Logic runs: its commands go nowhere else.
  if (!engine_.studioDesk().logicRunning()) {
    engine_.speak("Logic isn't open. Open it first, or press r for REAPER control.");
    return;
  }
  engine_.compose().autosaveTake();
  engine_.setMode(Mode::logic);
  showQuickList();
  engine_.speak(
      "Logic control.  The third and fourth keys step through commands. The top key "
      "does the one you heard. The second key goes back a level. The last item opens "
      "every menu in Logic. Start with: " +
      logicItems_.front() + ".");
}

void LogicRoom::showQuickList() {
  logicItems_.clear();
  for (const auto& quick : logicQuick()) logicItems_.push_back(quick.name);
  logicItems_.push_back(kAllMenus);
  logicIdx_ = 0;
  logicPath_.reset();
  ++shown_;
}

void LogicRoom::speakItem(const std::string& prefix) {
  if (logicItems_.empty()) return;
  engine_.speak(prefix + logicItems_[static_cast<std::size_t>(logicIdx_)] + ".");
}

bool LogicRoom::button(int key) {
  const ButtonKeys& keys = engine_.keys();
  const int count = static_cast<int>(logicItems_.size());
  if ((key == keys.next || key == keys.back) && count > 0) {
    logicIdx_ = ((logicIdx_ + (key == keys.next ? 1 : -1)) % count + count) % count;
    speakItem("");
    return true;
  }
  if (key == keys.hear) {
    choose();
    return true;
  }
  if (key == keys.notes) {
    if (!logicPath_) {
      speakItem("Logic control. ");
    } else if (logicPath_->empty()) {
      // From the menu bar back to the quick list.
      showQuickList();
      speakItem("Back. Logic control. ");
    } else {
      std::vector<std::string> parent(logicPath_->begin(), logicPath_->end() - 1);
      loadLogicMenu(std::move(parent), true);
    }
    return true;
  }
  return false;
}

void LogicRoom::choose() {
  if (logicItems_.empty()) return;
  const std::string item = logicItems_[static_cast<std::size_t>(logicIdx_)];
  if (!logicPath_) {
    if (item == kAllMenus) return loadLogicMenu({}, false);
    if (const LogicQuick* quick = logicQuickNamed(item)) sendQuick(*quick, "Done: " + item + ".");
    return;
  }
  const std::vector<std::string> path = *logicPath_;
  if (path.empty()) return loadLogicMenu({item}, false);  // every item of the menu bar is a menu
  const int shown = shown_;
  engine_.run([this, path, item, shown](int gen) {
    if (control_.hasSubmenu(path, item)) {
      std::vector<std::string> deeper = path;
      deeper.push_back(item);
      std::lock_guard guard(engine_.lock);
      if (shown == shown_ && engine_.alive(gen)) loadLogicMenu(std::move(deeper), false);
      return;
    }
    ToolRun run = control_.click(path, item);
    if (!engine_.alive(gen)) return;
    engine_.say(run.ok                          ? "Done: " + item + "."
                : LogicControl::denied(run.out) ? LogicControl::needPermission
                                                : "Logic would not do that right now. It may be "
                                                  "greyed out.",
                gen);
  });
}

void LogicRoom::sendQuick(const LogicQuick& quick, const std::string& success) {
  engine_.run([this, quick, success](int gen) {
    ToolRun run = control_.key(quick);
    if (!engine_.alive(gen)) return;
    engine_.say(run.ok                          ? success
                : LogicControl::denied(run.out) ? LogicControl::needPermission
                                                : "That did not work. Is Logic open?",
                gen);
  });
}

void LogicRoom::loadLogicMenu(std::vector<std::string> entering, bool back) {
  const int shown = shown_;
  engine_.run([this, entering = std::move(entering), back, shown](int gen) {
    std::string failure;
    auto names = control_.list(entering, &failure);
    if (names && entering.empty()) {
      // The first menu of Logic's menu bar is the system's, never Logic's own.
      names->erase(std::remove(names->begin(), names->end(), "Apple"), names->end());
    }
    std::lock_guard guard(engine_.lock);
    if (!engine_.alive(gen) || shown != shown_ || engine_.currentMode() != Mode::logic) return;
    if (!names) {
      // The list stays as it was.
      engine_.say(LogicControl::denied(failure) ? LogicControl::needPermission
                                                : "I could not read Logic's menus. Is Logic open?",
                  gen);
      return;
    }
    if (names->empty()) {
      engine_.say("That menu is empty.", gen);
      return;
    }
    logicItems_ = *names;
    logicIdx_ = 0;
    logicPath_ = entering;
    ++shown_;
    const std::string title = entering.empty() ? "All menus" : entering.back();
    engine_.say((back ? "Back. " : "") + title + ". " + std::to_string(logicItems_.size()) +
                    " items. " + logicItems_.front() + ".",
                gen);
  });
}

std::optional<std::string> LogicRoom::logicHear(const Heard& heard) {
  const auto spoken = logicSpokenCommand(heard);
  if (!spoken) return std::nullopt;
  const LogicQuick* quick = logicQuickNamed(spoken->quick);
  if (!quick) return std::nullopt;
  engine_.run([this, quick = *quick, sentence = spoken->sentence](int gen) {
    ToolRun run = control_.key(quick);
    if (engine_.alive(gen)) engine_.say(run.ok ? sentence : "Logic did not respond.", gen);
  });
  return "logic " + quick->name;
}

LogicNewProjectAnswer LogicRoom::newProject() {
  return LogicControl::newProjectAnswer(control_.logicNewProject());
}

}  // namespace orvo
