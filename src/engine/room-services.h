#pragma once
// What a room or desk may ask of the engine, and nothing more: activities and
// speech, the window, the log and the clock, the mode, the player's keys,
// profile and memory, and the few other rooms it hands work to. The engine is
// the one implementation. Everything else a room uses (the runtime, the MIDI
// link, the store ...) it is given in its own `Parts`, so its header says
// what it touches.
//
// Threads: rooms are called with `lock` held; `run`, `alive`, `say`, `now`
// and `cutIn` may be called from any thread, the note path among them (no
// allocation in `cutIn`, `now`, `keys`, `currentMode`).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/button-keys.h"
#include "engine/mode.h"
#include "platform/mutex.h"
#include "player/memory.h"
#include "player/profile.h"
#include "sound/ev.h"
#include "voice/ears-link.h"

namespace orvo {

class AiTalk;
class ComposeRoom;
class Cues;
class JazzRoom;
class LessonRoom;
class LineRoutes;
class Requests;
class StudioDesk;

class RoomServices {
 public:
  // The engine's lock: it guards the engine's state and every room's.
  RecursiveMutex lock;

  // Activities: work on the global queue under a generation, so a newer
  // press cuts it off; `alive` says whether it still may go on.
  virtual int run(std::function<void(int gen)> work) = 0;
  virtual bool alive(int gen) = 0;
  virtual int currentGen() = 0;

  // Speech: a sentence of an activity, an activity that says a sentence, a
  // new turn that cuts off what is being said, and what was said last.
  virtual void say(const std::string& text, int gen) = 0;
  virtual void speak(const std::string& text) = 0;
  virtual void cutIn() = 0;
  virtual EarsLink::Speaking speakingNow() = 0;
  // One of the sentences, never the same one twice running.
  virtual std::string pick(const std::vector<std::string>& sentences) = 0;
  // The text the first two times `key` is asked for, then the empty string.
  virtual std::string intro(const std::string& key, const std::string& text) = 0;
  // A change the player asked for: `confirmation` is said only once the file is kept.
  virtual void keepThenSay(const std::string& file, std::string content,
                           std::string confirmation) = 0;
  // A sentence heard again as if spoken to us (an answer that is a request).
  virtual std::string hear(const std::string& request) = 0;

  // Sound: timed events until they end or the activity is superseded; the chime and knock.
  virtual void play(const std::vector<Ev>& events, int gen) = 0;
  virtual Cues& cues() = 0;

  // The window, the log and the clock.
  virtual void ui(std::string_view line) = 0;
  virtual void logLine(const std::string& text) = 0;
  virtual double now() = 0;
  virtual LineRoutes& lineRoutes() = 0;
  virtual std::string vocabLine() = 0;

  // The mode and the player.
  virtual Mode currentMode() = 0;
  virtual void setMode(Mode mode) = 0;
  virtual const ButtonKeys& keys() = 0;
  virtual Profile currentProfile() = 0;
  virtual Memory& memory() = 0;
  virtual void saveMemory() = 0;
  // The memory changed as the player asked: `confirmation` is said once it is kept.
  virtual void saveMemoryThenSay(std::string confirmation) = 0;

  // The rooms and desks a room hands work to.
  virtual ComposeRoom& compose() = 0;
  virtual LessonRoom& lessons() = 0;
  virtual JazzRoom& jazz() = 0;
  virtual AiTalk& aiTalk() = 0;
  virtual StudioDesk& studioDesk() = 0;
  virtual Requests& requests() = 0;

 protected:
  ~RoomServices() = default;
};

}  // namespace orvo
