#pragma once
// A pretend REAPER in one Lua state: the mock ReaScript API over a project
// table, with the real bridge loaded from REAPER's Scripts folder as
// REAPER's start-up line loads it. pump() runs what the bridge deferred, so
// a test (or the routing trace) that pumps in the link's wait has the engine,
// the real exchange files and the real bridge on one thread.
//
// Thread-safe: every call takes the studio's own lock.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/mutex.h"

struct lua_State;

namespace orvo {

class LuaStudio {
 public:
  // `project` is a Lua table constructor (see the mock's header); the bridge
  // must already be installed below `resources`.
  LuaStudio(const std::filesystem::path& resources, const std::string& project);
  ~LuaStudio();
  LuaStudio(const LuaStudio&) = delete;
  LuaStudio& operator=(const LuaStudio&) = delete;

  // Empty when the mock and the bridge loaded; else why not.
  std::string error() const;

  // Runs what was deferred since the last pump, as one REAPER idle tick.
  void pump();

  // Runs a Lua chunk in the studio and gives its first result as text, for
  // tests that look into the project ("return mock_db(1)").
  std::optional<std::string> eval(const std::string& chunk);

  // What escaped the bridge's own protection, if anything (it would have
  // ended the script inside REAPER).
  std::string uncaught();

 private:
  mutable Mutex mutex_;
  lua_State* lua_ GUARDED_BY(mutex_) = nullptr;
  std::string error_ GUARDED_BY(mutex_);
};

}  // namespace orvo
