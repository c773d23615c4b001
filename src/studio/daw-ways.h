#pragma once
// The three ways of working with the studio assistant, and what each makes of
// an understood request: say it, ask back, ask for a yes first, or go ahead.
// Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

#include "studio/daw-understand.h"

namespace orvo {

enum class DawMode { guided, assisted, autonomous };

// "daw-mode.txt" read: "guided", "assisted" or "autonomous" on its first
// line; anything else (a missing, empty or garbled file) is assisted.
DawMode dawModeFrom(std::optional<std::string_view> text);
std::string_view dawModeName(DawMode mode);

struct DawStep {
  enum class Kind {
    say,       // speak `sentence`; nothing changes
    question,  // speak it and keep the request waiting for its answer
    confirm,   // speak it and keep the change or plan waiting for a yes
    perform,   // carry it out now
  };
  Kind kind = Kind::say;
  std::string sentence;  // empty for perform
  std::string logTag;    // "daw say", "daw question", "daw confirm", "daw op", "daw plan"
};

// What `mode` does with `ask`: deletes always ask; guided mode asks before
// every change; a plan is explained and asked about unless autonomous.
DawStep dawStep(const DawAsk& ask, DawMode mode);

}  // namespace orvo
