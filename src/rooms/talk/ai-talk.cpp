#include "rooms/talk/ai-talk.h"
#include "voice/ears.h"

#include <algorithm>
#include <ctime>

#include "compose/analysis.h"

#include "desks/studio-desk.h"
#include "engine/requests.h"
#include "engine/room-services.h"
#include "platform/files.h"
#include "platform/local-time.h"
#include "platform/platform-words.h"
#include "platform/utf8.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/lesson/lesson-room.h"
#include "voice/ai.h"
#include "voice/heard.h"

namespace orvo {

namespace {

const std::vector<std::string> kThinking = {"Let me think.", "One moment.", "Thinking."};
const std::vector<std::string> kLookingUp = {"Let me look that up.",
                                             "Give me a moment, I'm checking.", "Looking into it."};
const std::vector<std::string> kCannot = {"I know what you're after, but I can't do that one yet.",
                                          "That's beyond me for now, sorry."};
const std::vector<std::string> kNoAnswer = {"Sorry, I didn't catch what you wanted there.",
                                            "I'm not sure what you meant. Say it another way?"};

}  // namespace

AiTalk::AiTalk(RoomServices& engine, Parts parts, Assistant& assistant)
    : engine_(engine),
      parts_(std::move(parts)),
      assistant_(assistant),
      entry_(parts_.window, 2000) {}

bool AiTalk::canAsk() {
  return assistant_.ready();
}

std::string AiTalk::noModelSentence() {
  if (assistant_.toolPresent() && assistant_.signedOut()) return ai::notSignedIn();
  return std::string(platformWords().noModel) + " Say " + engine_.currentProfile().assistantName +
         ", what can you do, to hear what I understand.";
}

bool AiTalk::needsLookingUp(const std::string& question) {
  const Heard heard(question);
  static const std::vector<std::string> words = {
      "who",     "when",      "where",  "weather", "forecast", "news",    "score",    "scores",
      "won",     "price",     "prices", "cost",    "today",    "tonight", "tomorrow", "latest",
      "current", "currently", "open",   "hours",   "happened", "look up", "search",   "find out"};
  for (const std::string& word : words) {
    if (word.find(' ') != std::string::npos
            ? heard.has(word)
            : std::find(heard.words.begin(), heard.words.end(), word) != heard.words.end())
      return true;
  }
  return false;
}

std::string AiTalk::requestOf(const std::string& answer) {
  std::string request = answer.rfind("DO:", 0) == 0 ? answer.substr(3) : answer;
  const char* ends = " .\"'`*";
  auto first = request.find_first_not_of(ends);
  if (first == std::string::npos) return "";
  auto last = request.find_last_not_of(ends);
  return request.substr(first, last - first + 1);
}

void AiTalk::finishAsk(const std::string& question) {
  engine_.run([this, question](int gen) {
    if (!assistant_.ready()) {
      engine_.say(noModelSentence(), gen);
      return;
    }
    // One filler covers a slow answer: soon for a question that is looked up,
    // later for one the model only thinks about.
    const std::string state = aiState();
    const int token = ++askToken_;
    const bool lookUp = needsLookingUp(question);
    Runtime& runtime = parts_.runtime;
    const TimerId filler = runtime.after(lookUp ? 1.3 : 4.5, [this, gen, token, lookUp] {
      if (askToken_ != token || !engine_.alive(gen)) return;
      engine_.say(engine_.pick(lookUp ? kLookingUp : kThinking), gen);
    });
    const std::string reply = assistant_.ask(question, state);
    ++askToken_;
    runtime.cancel(filler);
    answer(gen, question, reply);
  });
}

void AiTalk::answer(int gen, const std::string& question, const std::string& reply) {
  if (!engine_.alive(gen)) return;
  if (reply.empty()) {
    engine_.say(engine_.pick(kNoAnswer), gen);
    return;
  }
  if (reply.rfind("DO:", 0) == 0) {
    const std::string request = requestOf(reply);
    std::string outcome = "not understood";
    {
      std::lock_guard guard(engine_.lock);
      if (!engine_.alive(gen)) return;
      if (!request.empty()) outcome = engine_.requests().hearAgain(request);
      if (outcome == "not understood" || outcome == "not yet" || outcome == "ignored") {
        engine_.requests().noteMistake("the AI named something the app could not do: " + request);
      } else {
        engine_.requests().learn(question, request);
        engine_.requests().noteMistake("\"" + question + "\" meant " + request);
        return;
      }
    }
    engine_.say(engine_.pick(kCannot), gen);
    return;
  }
  engine_.logLine("the AI explained");
  {
    std::lock_guard guard(engine_.lock);
    talk_.push_back("You: " + question);
    talk_.push_back(reply);
  }
  const bool asks = reply.back() == '?';
  if (asks) parts_.ears.expectAnswer();
  engine_.say(reply, gen);
  if (asks) parts_.ears.expectAnswer();
  engine_.lessons().resumeAfterHelp(gen);
}

std::vector<std::string> AiTalk::conversation() {
  std::lock_guard guard(engine_.lock);
  return talk_;
}

void AiTalk::startAsk() {
  typing_ = true;
  entry_.begin("\nType to " + engine_.currentProfile().assistantName +
               ", then press Return (Escape cancels): ");
  engine_.ui("typing ");
}

void AiTalk::askKey(std::uint8_t byte) {
  std::lock_guard guard(engine_.lock);
  if (!typing_) return;
  const TypedEntry::Key key = entry_.key(byte);
  if (key == TypedEntry::Key::more) {
    engine_.ui("typing " + repairUtf8(entry_.text()));
    return;
  }
  typing_ = false;
  engine_.ui(lines::typing(false));
  const std::string question = files::trim(repairUtf8(entry_.text()));
  entry_.clear();
  if (key == TypedEntry::Key::cancelled) return engine_.speak("Cancelled.");
  if (question.empty()) return engine_.speak("Type a question, then press Return.");
  // Typed as it would be said: the request rules first, the AI only for
  // what they do not understand.
  engine_.hear(question);
}

std::string AiTalk::aiState() {
  std::vector<std::string> parts;
  std::string title, hands, summary;
  int part = 0, count = 0, pieces = 0;
  bool inLesson = false;
  {
    std::lock_guard guard(engine_.lock);
    if (engine_.currentMode() == Mode::teach) {
      if (auto lesson = engine_.lessons().currentLesson()) {
        inLesson = true;
        title = lesson->song.name;
        const int unit = engine_.lessons().currentUnit();
        count = lesson->partCount();
        if (unit >= 0 && static_cast<std::size_t>(unit) < lesson->units.size()) {
          const Unit& u = lesson->units[static_cast<std::size_t>(unit)];
          part = u.to + 1;
          hands = u.hand == 0 ? "right hand" : u.hand == 1 ? "left hand" : "both hands";
        }
      }
    }
    summary = engine_.compose().lastSummary();
    pieces = static_cast<int>(engine_.memory().pieces.size());
  }
  if (inLesson) {
    parts.push_back("in a lesson on " + title + ", part " + std::to_string(part) + " of " +
                    std::to_string(count) + ", " + hands);
  }
  // The studio check's last look (every 5 s): no process list read here.
  const bool reaper = engine_.studioDesk().listening();
  parts.push_back(reaper ? "REAPER is open"
                         : "REAPER is not open, so there are no tracks to change");
  if (!summary.empty()) parts.push_back("their latest piece: " + summary);
  if (pieces > 0) parts.push_back(std::to_string(pieces) + " pieces saved");
  parts.push_back(formatLocalTime(localTm(parts_.wallClock()), "%A %-I:%M %p"));
  std::string state;
  for (const std::string& each : parts) state += (state.empty() ? "" : ". ") + each;
  return state;
}

std::string AiTalk::aiContext() {
  const bool logic = engine_.studioDesk().logicRunning();
  std::vector<std::string> lines = {
      std::string("Modes: lessons (songs taught a few notes at a time), jazz course (nine "
                  "lessons), composition (band playback, describe, variations, save), ") +
          (logic ? "Logic control, " : "") +
          "REAPER control, talk mode, and the practice tools (ear training, metronome, timer).",
      "Piano buttons, counting white keys down from the top key: 1 start or hear again, 2 say the "
      "notes or describe, 3 next, 4 back, 5 talk mode (learn an idea in composition mode), 6 "
      "pause or stop, 7 new composition, 8 help. The lowest key keeps what was just played. The "
      "white key next to it is home. At home, keys 3 and 4 step through the modes and key 1 opens "
      "one. Holding key 1 opens the song menu."};
  std::lock_guard guard(engine_.lock);
  const Mode mode = engine_.currentMode();
  auto lesson = mode == Mode::teach ? engine_.lessons().currentLesson() : std::nullopt;
  if (lesson) {
    const int unit = engine_.lessons().currentUnit();
    std::string where = "Right now: a lesson on " + lesson->song.name;
    if (unit >= 0 && static_cast<std::size_t>(unit) < lesson->units.size()) {
      const Unit& u = lesson->units[static_cast<std::size_t>(unit)];
      where += ", part " + std::to_string(u.to + 1) + " of " + std::to_string(lesson->partCount()) +
               ", " +
               (u.hand == 0   ? "right hand"
                : u.hand == 1 ? "left hand"
                              : "both hands") +
               ". The notes of this part: " + lesson->describe(u);
    }
    lines.push_back(where);
  } else {
    lines.push_back(std::string("Right now: ") +
                    (mode == Mode::compose ? "composition mode" : "at home") + ".");
  }
  const Memory& memory = engine_.memory();
  if (memory.jazzLesson) {
    lines.push_back("Jazz course: on lesson " + std::to_string(*memory.jazzLesson + 1) + ".");
  }
  const std::string summary = engine_.compose().lastSummary();
  if (!summary.empty()) lines.push_back("His most recent composition: " + summary);
  if (memory.pieces.is_array() && !memory.pieces.empty()) {
    std::string keys;
    const std::size_t n = memory.pieces.size();
    for (std::size_t i = n > 3 ? n - 3 : 0; i < n; ++i) {
      const auto& piece = memory.pieces[i];
      if (piece.is_object() && piece.contains("key") && piece["key"].is_string())
        keys += (keys.empty() ? "" : ", ") + piece["key"].get<std::string>();
    }
    lines.push_back("He has saved " + std::to_string(n) + " pieces. Recent keys: " + keys + ".");
  }
  std::string titles;
  for (const auto& title : engine_.lessons().songTitles())
    titles += (titles.empty() ? "" : "; ") + title;
  lines.push_back("Songs in the library include: " + titles + ".");
  std::string context;
  for (const std::string& line : lines) context += (context.empty() ? "" : "\n") + line;
  return context;
}

void AiTalk::aiThoughts(const std::string& description) {
  const std::string question =
      "Here is what I just played: " + description +
      " Tell me what stands out musically about it, in the feeling it creates, and give me one "
      "concrete idea for where to take it next. Three sentences at most.";
  engine_.run([this, question](int gen) {
    const std::string reply = assistant_.askOnce(question, aiContext());
    engine_.say(reply.empty() ? ai::unreachable : reply, gen);
  });
}

void AiTalk::armRemark() {
  const int token = ++remarkToken_;
  auto remark = [this, token] {
    std::vector<RNote> stretch;
    {
      std::lock_guard guard(engine_.lock);
      if (token != remarkToken_ || engine_.currentMode() != Mode::compose) return;
      stretch = engine_.compose().history().lastStretch(engine_.now());
    }
    if (stretch.size() < 6) return;
    engine_.speak("That was in " + analyse(stretch).keyName() + ". I liked that.");
  };
  if (parts_.opt.fast) return remark();
  parts_.runtime.after(4.5, remark);
}

}  // namespace orvo
