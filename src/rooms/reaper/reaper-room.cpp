#include "rooms/reaper/reaper-room.h"

#include <algorithm>

#include "engine/room-services.h"
#include "platform/files.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

ReaperRoom::ReaperRoom(RoomServices& engine, ReaperHooks hooks)
    : engine_(engine), hooks_(std::move(hooks)) {}

void ReaperRoom::leave() {
  reaperStack_.clear();
  typedThen_ = nullptr;
  typedScreen_ = -1;
  ++shown_;
}

bool ReaperRoom::stop() {
  engine_.setMode(Mode::idle);
  return false;
}

std::string ReaperRoom::helpText() {
  return "REAPER control. The third and fourth keys, or the arrow keys, step through the list. "
         "The top key, or space, chooses. The second key, or n, goes back. The second lowest "
         "white key, or zero, goes home.";
}

void ReaperRoom::openReaper() {
  std::lock_guard guard(engine_.lock);
  engine_.compose().autosaveTake();
  engine_.run([this](int gen) {
    if (!hooks_.installed()) return engine_.say("I cannot find REAPER on this computer.", gen);
    if (!hooks_.bridgeInstalled()) {
      // Each state says what to do next: the link goes into the settings
      // folder REAPER makes on its first start, and REAPER reads it on starting.
      if (hooks_.configured && !hooks_.configured()) {
        return engine_.say(
            "REAPER has not been started on this computer yet, so it has no settings for my "
            "link. Start REAPER once and quit it, then press r again.",
            gen);
      }
      if (!hooks_.installBridge()) {
        return engine_.say(
            "I could not put my link into REAPER's settings folder. Check that the folder can be "
            "written, then press r again.",
            gen);
      }
      if (hooks_.running()) {
        return engine_.say(
            "My link to REAPER is set up. REAPER reads it when it starts, so quit REAPER and open "
            "it again, then press r.",
            gen);
      }
    }
    if (!hooks_.running()) {
      engine_.say("Opening REAPER.", gen);
      if (!hooks_.launch()) engine_.logLine("reaper: could not be started");
    }
    bool answered = false;
    for (int ping = 0; ping < 40 && !answered && engine_.alive(gen); ++ping)
      answered = hooks_.send({"ping"}, 1.0).has_value();
    if (!engine_.alive(gen)) return;
    auto info = hooks_.send({"info"}, 3.0);
    if (!info) {
      return engine_.say(
          "REAPER is not answering. If it was already open before today, quit it and open it "
          "again so it loads the link.",
          gen);
    }
    RScreen root = reaperRoot(hooks_.send);
    {
      std::lock_guard guard(engine_.lock);
      if (!engine_.alive(gen)) return;
      engine_.setMode(Mode::reaper);
      reaperStack_ = {std::move(root)};
      ++shown_;
    }
    engine_.say("REAPER control. " + *info +
                    " The third and fourth keys step through the list. The top key chooses. The "
                    "second key goes back.",
                gen);
  });
}

bool ReaperRoom::button(int key) {
  if (reaperStack_.empty()) return false;
  const ButtonKeys& keys = engine_.keys();
  RScreen& screen = reaperStack_.back();
  const int count = static_cast<int>(screen.items.size());
  if (key == keys.next || key == keys.back) {
    screen.idx = ((screen.idx + (key == keys.next ? 1 : -1)) % count + count) % count;
    const std::string label = screen.items[static_cast<std::size_t>(screen.idx)].label;
    engine_.speak((count >= 3 && screen.idx == 0 ? "Top of the list. " : "") + label +
                  (label.back() == '.' ? "" : "."));
    return true;
  }
  if (key == keys.hear) {
    choose();
    return true;
  }
  if (key == keys.notes) {
    typedThen_ = nullptr;
    if (reaperStack_.size() == 1) {
      engine_.speak(screen.title + ". The second lowest white key goes home.");
      return true;
    }
    reaperStack_.pop_back();
    ++shown_;
    engine_.speak("Back to " + reaperStack_.back().title + ".");
    return true;
  }
  return false;
}

void ReaperRoom::choose() {
  const RScreen& screen = reaperStack_.back();
  carryOut([go = screen.items[static_cast<std::size_t>(screen.idx)].go] { return go(); });
}

void ReaperRoom::carryOut(std::function<ROut()> work) {
  const int shown = shown_;
  // A screen gone back to may have changed (a track deleted), so it is built
  // again, here, off the lock.
  std::optional<RScreen> under;
  if (reaperStack_.size() > 1) under = reaperStack_[reaperStack_.size() - 2];
  engine_.run([this, work = std::move(work), shown, under](int gen) mutable {
    ROut out = work();
    if (out.kind == ROut::Kind::back && under && under->build) {
      const int idx = under->idx;
      buildScreen(*under);
      under->idx = std::min(idx, static_cast<int>(under->items.size()) - 1);
    }
    std::lock_guard guard(engine_.lock);
    if (shown != shown_ || reaperStack_.empty()) return;  // left or moved on meanwhile
    apply(out, gen, std::move(under));
  });
}

void ReaperRoom::apply(const ROut& out, int gen, std::optional<RScreen> under) {
  switch (out.kind) {
    case ROut::Kind::say:
      return engine_.say(out.text, gen);
    case ROut::Kind::push:
      reaperStack_.push_back(*out.screen);
      ++shown_;
      return engine_.say(enteredText(reaperStack_.back()), gen);
    case ROut::Kind::back:
      if (reaperStack_.size() > 1) {
        reaperStack_.pop_back();
        if (under) reaperStack_.back() = std::move(*under);
        ++shown_;
      }
      return engine_.say(out.text, gen);
    case ROut::Kind::type:
      typedThen_ = out.then;
      typedScreen_ = shown_;
      return engine_.say(out.text + ".", gen);
  }
}

bool ReaperRoom::typed(const std::string& line) {
  if (!typedThen_) return false;
  auto then = std::move(typedThen_);
  typedThen_ = nullptr;
  if (typedScreen_ != shown_) return false;  // the prompt's screen is gone
  const std::string text = files::trim(line);
  if (text.empty()) {
    engine_.speak("Nothing typed.");
    return true;
  }
  carryOut([then, text] { return then(text); });
  return true;
}

}  // namespace orvo
