#pragma once

#include <string>

namespace orvo {

// The modes that exist so far; each has its Room.
enum class Mode { idle = 0, talk, teach, compose, jazz, menu, logic, reaper };

// The name the window line "mode " carries.
inline std::string modeName(Mode mode) {
  switch (mode) {
    case Mode::idle:
      return "idle";
    case Mode::talk:
      return "talk";
    case Mode::teach:
      return "teach";
    case Mode::compose:
      return "compose";
    case Mode::jazz:
      return "jazz";
    case Mode::menu:
      return "menu";
    case Mode::logic:
      return "logic";
    case Mode::reaper:
      return "reaper";
  }
  return "idle";
}

}  // namespace orvo
