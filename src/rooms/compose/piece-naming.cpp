#include "rooms/compose/piece-naming.h"

#include "compose/analysis.h"
#include "compose/piece-names.h"
#include "compose/take.h"
#include "engine/room-services.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/compose/pieces.h"

namespace orvo {

// Far past any name; the rest is dropped.
PieceNaming::PieceNaming(RoomServices& engine, Parts parts)
    : engine_(engine), parts_(std::move(parts)), entry_(parts_.window, 4096) {}

void PieceNaming::startNaming(std::vector<RNote> take, bool alreadySaved,
                              std::optional<int> takeNumber) {
  active_ = true;
  namingTake_ = alreadySaved ? std::vector<RNote>{} : std::move(take);
  takeNumber_ = alreadySaved ? std::nullopt : takeNumber;
  engine_.ui(lines::typing(true));
  entry_.begin("\nName this piece, then press Return (Escape cancels): ", !parts_.opt.fast);
  engine_.speak("Type a name, then press Return.");
}

void PieceNaming::nameKey(std::uint8_t byte) {
  std::lock_guard guard(engine_.lock);
  if (!active_) return;
  switch (entry_.key(byte)) {
    case TypedEntry::Key::done:
      return finishNaming();
    case TypedEntry::Key::cancelled:
      stop();
      engine_.speak("No name given.");
      return;
    case TypedEntry::Key::more:
      return;
  }
}

void PieceNaming::stop() {
  if (!active_) return;
  active_ = false;
  engine_.ui(lines::typing(false));
}

void PieceNaming::finishNaming() {
  finish(false);
}

void PieceNaming::finish(bool spoken) {
  stop();
  const std::string name = cleanPieceName(entry_.text());
  entry_.clear();
  if (name.empty()) {
    engine_.speak("No name given.");
    return;
  }
  auto said = [spoken](const std::string& stem) {
    return spoken ? "Kept. It is in your ideas as " + stem + "." : "Saved as " + stem + ".";
  };
  std::vector<RNote> take = std::move(namingTake_);
  namingTake_.clear();
  const auto number = takeNumber_;
  engine_.run([this, name, take = std::move(take), number, said](int gen) {
    Pieces& pieces = engine_.compose().pieces();
    std::optional<std::string> stem;
    if (take.empty()) {
      if (auto newest = pieces.newestIdea()) stem = pieces.folder().rename(*newest, name);
    } else {
      stem = pieces.saveIdea(take, analyse(take), name);
      if (stem && number) engine_.compose().markSaved(*number);
    }
    if (stem) engine_.logLine("named a piece \"" + *stem + "\"");
    engine_.say(stem ? said(*stem) : "I could not save it.", gen);
  });
}

void PieceNaming::saveNamed(const std::string& name) {
  ComposeRoom& room = engine_.compose();
  const bool composing = engine_.currentMode() == Mode::compose;
  if (composing && room.takeSaved()) {
    namingTake_.clear();
    takeNumber_.reset();
  } else {
    std::vector<RNote> take;
    takeNumber_.reset();
    if (composing) {
      take = room.currentTake();
      takeNumber_ = room.takeNumber();
    }
    if (take.size() <= 2) {
      take = room.history().lastStretch(engine_.now());
      takeNumber_.reset();
    }
    if (take.size() < 3) {
      engine_.speak("There is nothing to save yet.");
      return;
    }
    namingTake_ = std::move(take);
  }
  entry_.set(name);
  finish(true);
}

}  // namespace orvo
