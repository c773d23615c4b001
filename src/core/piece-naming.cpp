#include "core/piece-naming.h"

#include "compose/analysis.h"
#include "compose/piece-names.h"
#include "compose/take.h"
#include "core/compose-room.h"
#include "core/engine.h"
#include "core/pieces.h"
#include "platform/window-lines.h"

namespace orvo {

namespace {

constexpr std::size_t kMaxTyped = 4096;  // far past any name; the rest is dropped

}  // namespace

void PieceNaming::echo(std::string_view bytes) {
  // The app window shows what is typed from its "typing" line; the terminal
  // shows the keys themselves.
  Window& window = engine_.parts().window;
  if (!window.on() && !engine_.parts().opt.fast) window.printRaw(bytes);
}

void PieceNaming::startNaming(std::vector<RNote> take, bool alreadySaved,
                              std::optional<int> takeNumber) {
  active_ = true;
  nameBytes_.clear();
  namingTake_ = alreadySaved ? std::vector<RNote>{} : std::move(take);
  takeNumber_ = alreadySaved ? std::nullopt : takeNumber;
  engine_.ui(lines::typing(true));
  Window& window = engine_.parts().window;
  if (!engine_.parts().opt.fast) {
    const std::string prompt = "\nName this piece, then press Return (Escape cancels): ";
    if (window.on()) {
      window.print(prompt.substr(1));
    } else {
      window.printRaw(prompt);
    }
  }
  engine_.speak("Type a name, then press Return.");
}

void PieceNaming::nameKey(std::uint8_t byte) {
  std::lock_guard guard(engine_.lock);
  if (!active_) return;
  if (byte == 10 || byte == 13) return finishNaming();
  if (byte == 27) {
    stop();
    echo("\n");
    engine_.speak("No name given.");
    return;
  }
  if (byte == 127 || byte == 8) {
    if (nameBytes_.empty()) return;
    // A whole character goes: its continuation bytes, then its first byte.
    while (!nameBytes_.empty() && (static_cast<unsigned char>(nameBytes_.back()) & 0xC0) == 0x80)
      nameBytes_.pop_back();
    if (!nameBytes_.empty()) nameBytes_.pop_back();
    echo("\b \b");
    return;
  }
  if (nameBytes_.size() >= kMaxTyped) return;
  nameBytes_.push_back(static_cast<char>(byte));
  const char typed = static_cast<char>(byte);
  echo(std::string_view(&typed, 1));
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
  const bool typed = active_;
  stop();
  if (typed) echo("\n");
  const std::string name = cleanPieceName(nameBytes_);
  nameBytes_.clear();
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
  nameBytes_ = name;
  finish(true);
}

}  // namespace orvo
