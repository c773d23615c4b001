// A REAPER for the end-to-end tests, installed on PATH under the name
// "reaper": the mock ReaScript API in a Lua state, REAPER's start-up script
// run from its resource folder as REAPER runs it, and the deferred work
// pumped 30 times a second. It ends by itself once its resource folder is
// gone (the test's temporary home removed), so no test leaves it behind.
// Once started it goes by another process name, so no other test's look for
// a running REAPER finds it, and it leaves its process id in
// "fake-reaper.pid" for the test to end it. FAKE_REAPER_EXIT=1 makes a
// REAPER that exits at once.

#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <lua.hpp>
#include <string>
#include <thread>

#include "studio/reaper-scripts.h"

namespace {

bool run(lua_State* lua, const std::string& chunk, const char* name) {
  if (luaL_loadbuffer(lua, chunk.data(), chunk.size(), name) != LUA_OK ||
      lua_pcall(lua, 0, 0, 0) != LUA_OK) {
    std::fprintf(stderr, "fake reaper: %s: %s\n", name, lua_tostring(lua, -1));
    return false;
  }
  return true;
}

int makeFolder(lua_State* lua) {
  std::error_code error;
  std::filesystem::create_directories(luaL_checkstring(lua, 1), error);
  return 0;
}

}  // namespace

int main() {
  if (const char* quit = std::getenv("FAKE_REAPER_EXIT"); quit && std::string(quit) == "1")
    return 0;
  const char* home = std::getenv("HOME");
  if (!home) return 1;
  const std::filesystem::path resources = std::filesystem::path(home) / ".config" / "REAPER";
  ::prctl(PR_SET_NAME, "fake-reaper", 0, 0, 0);
  if (FILE* pid = std::fopen((resources / "fake-reaper.pid").c_str(), "w")) {
    std::fprintf(pid, "%d\n", static_cast<int>(::getpid()));
    std::fclose(pid);
  }
  lua_State* lua = luaL_newstate();
  luaL_openlibs(lua);
  lua_pushcfunction(lua, makeFolder);
  lua_setglobal(lua, "MOCK_MKDIR");
  lua_pushstring(lua, resources.c_str());
  lua_setglobal(lua, "RESOURCES");
  if (!run(lua, "PROJECT = { tracks = { { name = 'Piano' } } }", "project") ||
      !run(lua, std::string(orvo::reaperscripts::mock), "mock_reaper.lua")) {
    return 1;
  }
  const std::filesystem::path startup = resources / "Scripts" / "__startup.lua";
  std::error_code error;
  if (std::filesystem::exists(startup, error) && luaL_dofile(lua, startup.c_str()) != LUA_OK) {
    std::fprintf(stderr, "fake reaper: __startup.lua: %s\n", lua_tostring(lua, -1));
    lua_pop(lua, 1);
  }
  while (std::filesystem::exists(resources, error)) {
    lua_getglobal(lua, "mock_pump");
    if (lua_pcall(lua, 0, 0, 0) != LUA_OK) lua_pop(lua, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(33));
  }
  lua_close(lua);
  return 0;
}
