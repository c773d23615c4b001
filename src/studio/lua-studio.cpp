#include "studio/lua-studio.h"

#include <lua.hpp>

#include "studio/reaper-scripts.h"

namespace orvo {
namespace {

int makeFolder(lua_State* lua) {
  std::error_code error;
  std::filesystem::create_directories(luaL_checkstring(lua, 1), error);
  return 0;
}

bool run(lua_State* lua, const std::string& chunk, const char* name, std::string& error) {
  if (luaL_loadbuffer(lua, chunk.data(), chunk.size(), name) != LUA_OK ||
      lua_pcall(lua, 0, 0, 0) != LUA_OK) {
    error = std::string(name) + ": " + lua_tostring(lua, -1);
    lua_pop(lua, 1);
    return false;
  }
  return true;
}

}  // namespace

LuaStudio::LuaStudio(const std::filesystem::path& resources, const std::string& project) {
  MutexLock hold(mutex_);
  lua_ = luaL_newstate();
  if (!lua_) {
    error_ = "no memory for Lua";
    return;
  }
  luaL_openlibs(lua_);
  lua_pushcfunction(lua_, makeFolder);
  lua_setglobal(lua_, "MOCK_MKDIR");
  lua_pushstring(lua_, resources.c_str());
  lua_setglobal(lua_, "RESOURCES");
  if (!run(lua_, "PROJECT = " + project, "project", error_)) return;
  if (!run(lua_, std::string(reaperscripts::mock), "mock_reaper.lua", error_)) return;
  const std::filesystem::path bridge = resources / "Scripts" / "lorimel_bridge.lua";
  if (luaL_dofile(lua_, bridge.c_str()) != LUA_OK) {
    error_ = std::string("lorimel_bridge.lua: ") + lua_tostring(lua_, -1);
    lua_pop(lua_, 1);
  }
}

LuaStudio::~LuaStudio() {
  MutexLock hold(mutex_);
  if (lua_) lua_close(lua_);
}

std::string LuaStudio::error() const {
  MutexLock hold(mutex_);
  return error_;
}

void LuaStudio::pump() {
  MutexLock hold(mutex_);
  if (!lua_ || !error_.empty()) return;
  lua_getglobal(lua_, "mock_pump");
  if (lua_pcall(lua_, 0, 0, 0) != LUA_OK) lua_pop(lua_, 1);
}

std::optional<std::string> LuaStudio::eval(const std::string& chunk) {
  MutexLock hold(mutex_);
  if (!lua_) return std::nullopt;
  const int top = lua_gettop(lua_);
  if (luaL_loadbuffer(lua_, chunk.data(), chunk.size(), "eval") != LUA_OK ||
      lua_pcall(lua_, 0, 1, 0) != LUA_OK) {
    lua_settop(lua_, top);
    return std::nullopt;
  }
  std::optional<std::string> out;
  if (!lua_isnil(lua_, -1)) {
    std::size_t size = 0;
    const char* text = luaL_tolstring(lua_, -1, &size);
    out = std::string(text, size);
  }
  lua_settop(lua_, top);
  return out;
}

std::string LuaStudio::uncaught() {
  return eval("return MOCK_ERRORS").value_or("");
}

}  // namespace orvo
