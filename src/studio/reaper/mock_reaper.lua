-- A pretend REAPER for the bridge: the ReaScript functions the bridge may
-- call, over a project held in the table PROJECT. It is strict: any other
-- function is an error, as is a wrong kind of argument.
--
-- Before this file runs, set PROJECT (the project, below) and RESOURCES
-- (REAPER's resource folder); MOCK_MKDIR may be a function that makes a
-- folder. mock_pump() runs what was deferred since the last pump.
--
-- PROJECT = {
--   tempo = 120, state = "stopped" | "playing" | "recording", cursor = 0 (seconds),
--   name = "Song", markers = { 10.0, 20.0 }, peak = -6 (dB while playing),
--   master = { db = 0, fx = {...} },
--   tracks = { { name, db, pan (percent), mute, solo, arm, selected, items,
--                fx = { "ReaComp" or { name = "VST: ReaComp (Cockos)", on, preset, params } },
--                sends = { { to = "Reverb Bus", db = -15 } } } },
--   installed = { "VST: ReaEQ (Cockos)", ... }, actions = { [40001] = "Track: Insert new track" },
--   ignore = { volume = true, ... }, recordFails = true,
-- }

local P = PROJECT or {}
PROJECT = P

local function lin(lo, hi, unit, places)
  return function(n) return string.format("%." .. (places or 1) .. "f", lo + (hi - lo) * n) .. unit end
end
-- Not linear: a quarter of the travel gives a sixteenth of the range.
local function square(lo, hi, unit)
  return function(n) return string.format("%.1f", lo + (hi - lo) * n * n) .. unit end
end
-- Frequencies on a log scale, 20 Hz to 20 kHz.
local function hz()
  return function(n) return string.format("%.0f Hz", 20 * 10 ^ (3 * n)) end
end
local function db(lo, hi)
  return function(n)
    if n <= 0 then return "-inf dB" end
    return string.format("%.1f", lo + (hi - lo) * n) .. " dB"
  end
end

local CATALOGUE = {
  ReaComp = { params = { { "Thresh", 1.0, db(-60, 0) }, { "Ratio", 0.1, lin(1, 20, ":1") },
    { "Attack", 0.3, square(0, 500, " ms") }, { "Release", 0.2, lin(0, 1000, " ms", 0) } },
    presets = { "Gentle", "Heavy", "Vocal" } },
  ReaEQ = { params = { { "Freq-Low Shelf", 0.233, hz() }, { "Gain-Low Shelf", 0.5, lin(-24, 24, " dB") },
    { "Freq-Band 2", 0.434, hz() }, { "Gain-Band 2", 0.5, lin(-24, 24, " dB") },
    { "Freq-Band 3", 0.725, hz() }, { "Gain-Band 3", 0.5, lin(-24, 24, " dB") },
    { "Freq-High Shelf", 0.9, hz() }, { "Gain-High Shelf", 0.5, lin(-24, 24, " dB") } },
    presets = { "Bright", "Warm" } },
  ReaVerbate = { params = { { "Wet", 0.3, lin(-60, 0, " dB") }, { "Dry", 1.0, lin(-60, 0, " dB") },
    { "Room size", 0.5, lin(0, 100, "%", 0) }, { "Dampening", 0.5, lin(0, 100, "%", 0) },
    { "Width", 1.0, lin(0, 100, "%", 0) }, { "Lowpass", 1.0, hz() }, { "Highpass", 0.0, hz() } } },
  ReaDelay = { params = { { "Wet", 0.5, lin(-60, 0, " dB") }, { "Dry", 1.0, lin(-60, 0, " dB") },
    { "Feedback", 0.3, lin(0, 100, "%", 0) }, { "Lowpass", 1.0, hz() }, { "Highpass", 0.0, hz() } } },
  ReaLimit = { params = { { "Threshold", 1.0, lin(-20, 0, " dB") }, { "Ceiling", 1.0, lin(-20, 0, " dB") } } },
  ReaGate = { params = { { "Thresh", 0.0, db(-60, 0) }, { "Attack", 0.1, square(0, 500, " ms") },
    { "Release", 0.2, lin(0, 1000, " ms", 0) } } },
  ReaTune = { params = { { "Mix", 1.0, lin(0, 100, "%", 0) } } },
  ReaPitch = { params = { { "Wet", 1.0, lin(-60, 0, " dB") } } },
  ReaSynth = { params = { { "Volume", 0.5, lin(-60, 0, " dB") } } },
}

local function base(name)
  local s = name:gsub("^[^:]*: ", "")
  s = s:gsub("%s*%b()%s*$", "")
  return s
end

local function makeFx(given)
  if type(given) == "string" then given = { name = given } end
  local kind = CATALOGUE[base(given.name)] or { params = {} }
  local fx = { name = given.name, on = given.on ~= false, params = {}, presets = given.presets or kind.presets or {},
    preset = -1, modified = false }
  for i, p in ipairs(kind.params) do
    fx.params[i] = { name = p[1], norm = p[2], show = p[3] }
  end
  if given.params then
    for i, v in pairs(given.params) do if fx.params[i] then fx.params[i].norm = v end end
  end
  if given.preset then
    for i, n in ipairs(fx.presets) do if n == given.preset then fx.preset = i - 1 end end
  end
  return fx
end

local function makeTrack(given)
  local t = { name = given.name or "", vol = 10 ^ ((given.db or 0) / 20), pan = (given.pan or 0) / 100,
    mute = given.mute and 1 or 0, solo = given.solo and 1 or 0, arm = given.arm and 1 or 0,
    selected = given.selected and 1 or 0, items = given.items or 0, fx = {}, sends = {}, isTrack = true }
  if given.db and given.db <= -150 then t.vol = 0 end
  for i, f in ipairs(given.fx or {}) do t.fx[i] = makeFx(f) end
  return t
end

P.tempo = P.tempo or 120
P.state = P.state or "stopped"
P.cursor = P.cursor or 0
P.markers = P.markers or {}
P.installed = P.installed or { "VST: ReaEQ (Cockos)", "VST: ReaComp (Cockos)", "VST: ReaVerbate (Cockos)",
  "VST: ReaDelay (Cockos)", "VST: ReaLimit (Cockos)", "VST: ReaGate (Cockos)", "VST: ReaTune (Cockos)",
  "VST: ReaPitch (Cockos)", "VSTi: ReaSynth (Cockos)" }
P.actions = P.actions or {}
P.ignore = P.ignore or {}
P.toggles = P.toggles or {}
P.ran = {}
local tracks = {}
for i, given in ipairs(P.tracks or {}) do tracks[i] = makeTrack(given) end
for i, given in ipairs(P.tracks or {}) do
  for _, s in ipairs(given.sends or {}) do
    for _, dest in ipairs(tracks) do
      if dest.name == s.to then
        table.insert(tracks[i].sends, { dest = dest, vol = 10 ^ ((s.db or 0) / 20) })
      end
    end
  end
end
P.tracks = tracks
P.master = makeTrack(P.master or {})
P.master.name = ""

local undo, redo, pending, deferred = {}, {}, nil, {}

local function copy(value, seen)
  if type(value) ~= "table" then return value end
  seen = seen or {}
  if seen[value] then return seen[value] end
  local out = {}
  seen[value] = out
  for k, v in pairs(value) do out[copy(k, seen)] = copy(v, seen) end
  return out
end

local SAVED = { "tracks", "master", "tempo", "markers" }
local function saveState()
  local s = {}
  for _, k in ipairs(SAVED) do s[k] = P[k] end
  return copy(s)
end
local function restore(s)
  for _, k in ipairs(SAVED) do P[k] = s[k] end
end

-- A stable text of the project, to tell whether a block changed anything.
local function dump(value, seen)
  if type(value) ~= "table" then return tostring(value) end
  seen = seen or {}
  if seen[value] then return "@" .. seen[value] end
  seen.n = (seen.n or 0) + 1
  seen[value] = seen.n
  local entries = {}
  for k, v in pairs(value) do
    if k ~= "show" then entries[#entries + 1] = { key = tostring(k), value = v } end
  end
  table.sort(entries, function(a, b) return a.key < b.key end)
  local parts = {}
  for _, e in ipairs(entries) do parts[#parts + 1] = e.key .. "=" .. dump(e.value, seen) end
  return "{" .. table.concat(parts, ",") .. "}"
end

local function bad(what) error(what, 3) end
local function isTrack(t) return type(t) == "table" and t.isTrack end
local function needTrack(t) if not isTrack(t) then bad("expected a MediaTrack") end return t end
local function needInt(n, what)
  if math.type(n) ~= "integer" and not (type(n) == "number" and n == math.floor(n)) then bad("expected an integer " .. what) end
  return math.tointeger(n)
end
local function needFx(t, i)
  needTrack(t)
  i = needInt(i, "plug-in index")
  local fx = t.fx[i + 1]
  if not fx then bad("no such plug-in") end
  return fx
end
local function needParam(t, i, p)
  local fx = needFx(t, i)
  p = needInt(p, "parameter index")
  local param = fx.params[p + 1]
  if not param then bad("no such parameter") end
  return fx, param
end
local function indexOf(t)
  for i, each in ipairs(P.tracks) do if each == t then return i end end
  return nil
end

local api = {}

function api.GetResourcePath() return RESOURCES end
function api.RecursiveCreateDirectory(path, _)
  if MOCK_MKDIR then MOCK_MKDIR(path) else os.execute('mkdir -p "' .. path .. '"') end
  return 1
end
function api.defer(fn)
  if type(fn) ~= "function" then bad("defer takes a function") end
  deferred[#deferred + 1] = fn
end
local clock = 0
function api.time_precise() clock = clock + 0.001 return clock end

function api.CountTracks(proj) needInt(proj, "project") return #P.tracks end
function api.GetTrack(proj, i) needInt(proj, "project") return P.tracks[needInt(i, "track index") + 1] end
function api.GetMasterTrack(proj) needInt(proj, "project") return P.master end

function api.GetSetMediaTrackInfo_String(t, key, value, set)
  needTrack(t)
  if key ~= "P_NAME" then bad("unknown string " .. tostring(key)) end
  if type(value) ~= "string" or type(set) ~= "boolean" then bad("GetSetMediaTrackInfo_String takes a string and a boolean") end
  if set then
    if not P.ignore.rename then t.name = value end
    return true, value
  end
  return true, t.name
end

local VALUES = { D_VOL = "vol", D_PAN = "pan", B_MUTE = "mute", I_SOLO = "solo", I_RECARM = "arm", I_SELECTED = "selected" }
local IGNORED = { D_VOL = "volume", D_PAN = "pan", B_MUTE = "mute", I_SOLO = "solo", I_RECARM = "arm" }

function api.GetMediaTrackInfo_Value(t, key)
  needTrack(t)
  if key == "IP_TRACKNUMBER" then return t == P.master and -1 or indexOf(t) end
  local field = VALUES[key]
  if not field then bad("unknown value " .. tostring(key)) end
  return t[field]
end
function api.SetMediaTrackInfo_Value(t, key, value)
  needTrack(t)
  local field = VALUES[key]
  if not field or type(value) ~= "number" then bad("SetMediaTrackInfo_Value: bad key or value") end
  if IGNORED[key] and P.ignore[IGNORED[key]] then return true end
  t[field] = value
  return true
end
function api.CountTrackMediaItems(t) needTrack(t) return t.items end
function api.InsertTrackAtIndex(i, defaults)
  i = needInt(i, "index")
  if type(defaults) ~= "boolean" then bad("InsertTrackAtIndex takes a boolean") end
  if i < 0 then i = 0 end
  if i > #P.tracks then i = #P.tracks end
  table.insert(P.tracks, i + 1, makeTrack({}))
end
function api.DeleteTrack(t)
  local i = indexOf(needTrack(t))
  if not i then bad("cannot delete that track") end
  table.remove(P.tracks, i)
  for _, each in ipairs(P.tracks) do
    for s = #each.sends, 1, -1 do if each.sends[s].dest == t then table.remove(each.sends, s) end end
  end
end
function api.SetOnlyTrackSelected(t)
  needTrack(t)
  for _, each in ipairs(P.tracks) do each.selected = 0 end
  P.master.selected = 0
  t.selected = 1
end
function api.SetTrackSelected(t, on)
  needTrack(t)
  if type(on) ~= "boolean" then bad("SetTrackSelected takes a boolean") end
  t.selected = on and 1 or 0
end
function api.ReorderSelectedTracks(before, _)
  before = needInt(before, "index")
  local anchor = P.tracks[before + 1]
  local moving, staying = {}, {}
  for _, each in ipairs(P.tracks) do
    if each.selected > 0 then moving[#moving + 1] = each else staying[#staying + 1] = each end
  end
  if #moving == 0 then return false end
  local at = #staying + 1
  for i, each in ipairs(staying) do if each == anchor then at = i end end
  for i, each in ipairs(moving) do table.insert(staying, at + i - 1, each) end
  P.tracks = staying
  return true
end

function api.TrackFX_GetCount(t) needTrack(t) return #t.fx end
function api.TrackFX_GetFXName(t, i, buf)
  if type(buf) ~= "string" then bad("TrackFX_GetFXName takes a buffer") end
  return true, needFx(t, i).name
end
function api.TrackFX_GetEnabled(t, i) return needFx(t, i).on end
function api.TrackFX_SetEnabled(t, i, on)
  local fx = needFx(t, i)
  if type(on) ~= "boolean" then bad("TrackFX_SetEnabled takes a boolean") end
  if not P.ignore.bypass then fx.on = on end
end
function api.TrackFX_AddByName(t, name, rec, instantiate)
  needTrack(t)
  if type(name) ~= "string" or type(rec) ~= "boolean" then bad("TrackFX_AddByName: bad arguments") end
  needInt(instantiate, "instantiate")
  local lower = name:lower()
  for _, installed in ipairs(P.installed) do
    if installed:lower():find(lower, 1, true) then
      if P.ignore.fxAdd then return #t.fx end
      t.fx[#t.fx + 1] = makeFx(installed)
      return #t.fx - 1
    end
  end
  return -1
end
function api.TrackFX_Delete(t, i)
  needFx(t, i)
  table.remove(t.fx, math.tointeger(i) + 1)
  return true
end
function api.TrackFX_GetNumParams(t, i) return #needFx(t, i).params end
function api.TrackFX_GetParamName(t, i, p, buf)
  if type(buf) ~= "string" then bad("TrackFX_GetParamName takes a buffer") end
  local _, param = needParam(t, i, p)
  return true, param.name
end
function api.TrackFX_GetFormattedParamValue(t, i, p, _)
  local _, param = needParam(t, i, p)
  return true, param.show(param.norm)
end
function api.TrackFX_FormatParamValueNormalized(t, i, p, value, _)
  local _, param = needParam(t, i, p)
  if type(value) ~= "number" then bad("expected a number") end
  return true, param.show(value)
end
function api.TrackFX_GetParamNormalized(t, i, p)
  local _, param = needParam(t, i, p)
  return param.norm
end
function api.TrackFX_SetParamNormalized(t, i, p, value)
  local fx, param = needParam(t, i, p)
  if type(value) ~= "number" then bad("expected a number") end
  if P.ignore.params then return true end
  if value < 0 then value = 0 elseif value > 1 then value = 1 end
  if param.norm ~= value then fx.modified = true end
  param.norm = value
  return true
end
local function loadPreset(fx, i)
  fx.preset = i
  fx.modified = false
  -- Each preset leaves its own mark on the first setting.
  if fx.params[1] then fx.params[1].norm = (i + 1) / (#fx.presets + 1) end
end
function api.TrackFX_GetPresetIndex(t, i)
  local fx = needFx(t, i)
  return fx.preset, #fx.presets
end
function api.TrackFX_GetPreset(t, i, buf)
  if type(buf) ~= "string" then bad("TrackFX_GetPreset takes a buffer") end
  local fx = needFx(t, i)
  if fx.preset < 0 then return false, "" end
  return not fx.modified, fx.presets[fx.preset + 1]
end
function api.TrackFX_SetPreset(t, i, name)
  local fx = needFx(t, i)
  for n, each in ipairs(fx.presets) do
    if each:lower() == tostring(name):lower() then loadPreset(fx, n - 1) return true end
  end
  return false
end
function api.TrackFX_NavigatePresets(t, i, move)
  local fx = needFx(t, i)
  move = needInt(move, "move")
  if #fx.presets == 0 then return false end
  local at = fx.preset < 0 and (move > 0 and -1 or 0) or fx.preset
  loadPreset(fx, (at + move) % #fx.presets)
  return true
end
function api.EnumInstalledFX(i)
  i = needInt(i, "index")
  local name = P.installed[i + 1]
  if not name then return false, "", "" end
  return true, name, name
end

local function needSend(t, category, i)
  needTrack(t)
  if needInt(category, "category") ~= 0 then bad("only sends are simulated") end
  local s = t.sends[needInt(i, "send index") + 1]
  if not s then bad("no such send") end
  return s
end
function api.GetTrackNumSends(t, category)
  needTrack(t)
  needInt(category, "category")
  return category == 0 and #t.sends or 0
end
function api.GetTrackSendInfo_Value(t, category, i, key)
  local s = needSend(t, category, i)
  if key == "D_VOL" then return s.vol end
  if key == "P_DESTTRACK" then return s.dest end
  bad("unknown send value " .. tostring(key))
end
function api.SetTrackSendInfo_Value(t, category, i, key, value)
  local s = needSend(t, category, i)
  if key ~= "D_VOL" or type(value) ~= "number" then bad("SetTrackSendInfo_Value: bad key or value") end
  s.vol = value
  return true
end
function api.CreateTrackSend(from, to)
  needTrack(from)
  needTrack(to)
  if P.ignore.sends then return -1 end
  from.sends[#from.sends + 1] = { dest = to, vol = 1 }
  return #from.sends - 1
end

local STATES = { stopped = 0, playing = 1, paused = 2, recording = 5 }
function api.GetPlayState() return STATES[P.state] or 0 end
function api.GetPlayPosition() return P.cursor + (P.state == "stopped" and 0 or 1.5) end
function api.GetCursorPosition() return P.cursor end
function api.Master_GetTempo() return P.tempo end
function api.SetCurrentBPM(proj, bpm, wantUndo)
  needInt(proj, "project")
  if type(bpm) ~= "number" or type(wantUndo) ~= "boolean" then bad("SetCurrentBPM: bad arguments") end
  if not P.ignore.tempo then P.tempo = bpm end
end
function api.GetToggleCommandState(id) return P.toggles[needInt(id, "command")] and 1 or 0 end
function api.Track_GetPeakInfo(t, channel)
  needTrack(t)
  needInt(channel, "channel")
  if P.state == "stopped" or not P.peak then return 0 end
  return 10 ^ (P.peak / 20)
end
function api.CountProjectMarkers(proj)
  needInt(proj, "project")
  return #P.markers, #P.markers, 0
end
function api.GetProjectName(proj, buf)
  needInt(proj, "project")
  if type(buf) ~= "string" then bad("GetProjectName takes a buffer") end
  return P.name or ""
end

local function duplicateSelected()
  local out = {}
  for _, each in ipairs(P.tracks) do
    out[#out + 1] = each
    if each.selected > 0 then
      local twin = copy(each)
      twin.sends = {}
      for _, s in ipairs(each.sends) do twin.sends[#twin.sends + 1] = { dest = s.dest, vol = s.vol } end
      each.selected = 0
      out[#out + 1] = twin
    end
  end
  P.tracks = out
end

local function moveToMarker(step)
  local best
  for _, m in ipairs(P.markers) do
    if step > 0 and m > P.cursor + 1e-9 and (not best or m < best) then best = m end
    if step < 0 and m < P.cursor - 1e-9 and (not best or m > best) then best = m end
  end
  if best then P.cursor = best end
end

local COMMANDS = {
  [1007] = function() P.state = "playing" end,
  [1016] = function() P.state = "stopped" end,
  [1013] = function() if not P.recordFails then P.state = "recording" end end,
  [40044] = function() P.state = P.state == "stopped" and "playing" or "stopped" end,
  [40042] = function() P.cursor = 0 end,
  [40029] = function()
    local top = table.remove(undo)
    if top then redo[#redo + 1] = { what = top.what, state = saveState() } restore(top.state) end
  end,
  [40030] = function()
    local top = table.remove(redo)
    if top then undo[#undo + 1] = { what = top.what, state = saveState() } restore(top.state) end
  end,
  [40364] = function() P.toggles[40364] = not P.toggles[40364] end,
  [1068] = function() P.toggles[1068] = not P.toggles[1068] end,
  [40026] = function() P.saved = true end,
  [40157] = function() P.markers[#P.markers + 1] = P.cursor table.sort(P.markers) end,
  [40172] = function() moveToMarker(-1) end,
  [40173] = function() moveToMarker(1) end,
  [40062] = duplicateSelected,
  [40023] = function() P.tracks = {} P.markers = {} end,
}
function api.Main_OnCommand(id, flag)
  id = needInt(id, "command")
  needInt(flag, "flag")
  P.ran[#P.ran + 1] = id
  if COMMANDS[id] then COMMANDS[id]() return end
  if P.actions[id] then return end
  bad("the mock has no action " .. id)
end
local SECTION = { main = true }
function api.SectionFromUniqueID(id) needInt(id, "section") return SECTION end
function api.kbd_enumerateActions(section, i)
  if section ~= SECTION then bad("expected a section") end
  i = needInt(i, "index")
  local ids = {}
  for id in pairs(P.actions) do ids[#ids + 1] = id end
  table.sort(ids)
  local id = ids[i + 1]
  if not id then return 0, "" end
  return id, P.actions[id]
end

function api.Undo_BeginBlock() pending = { state = saveState(), text = dump(saveState()) } end
function api.Undo_EndBlock(what, _)
  if not pending then bad("Undo_EndBlock without Undo_BeginBlock") end
  if type(what) ~= "string" then bad("Undo_EndBlock takes a description") end
  if dump(saveState()) ~= pending.text then
    undo[#undo + 1] = { what = what, state = pending.state }
    redo = {}
  end
  pending = nil
end
function api.Undo_CanUndo2(proj) needInt(proj, "project") return undo[#undo] and undo[#undo].what or nil end
function api.Undo_CanRedo2(proj) needInt(proj, "project") return redo[#redo] and redo[#redo].what or nil end
function api.UpdateArrange() end
function api.TrackList_AdjustWindows(_) end

-- The functions sit in the table itself (a lookup costs what it does in
-- REAPER); only a missing name reaches the metatable.
reaper = setmetatable(api, {
  __index = function(_, name)
    error("not on the bridge's allow-list: reaper." .. tostring(name), 2)
  end,
  __newindex = function() error("the reaper table is read-only", 2) end,
})

function mock_pump()
  local now = deferred
  deferred = {}
  for _, fn in ipairs(now) do
    local ok, err = pcall(fn)
    -- Inside REAPER an uncaught error ends the script: it is not deferred again.
    if not ok then MOCK_ERRORS = (MOCK_ERRORS or "") .. tostring(err) .. "\n" end
  end
  return #deferred
end

-- A value of the project for tests: the track by number (0 the master).
function mock_track(n)
  if n == 0 then return P.master end
  return P.tracks[n]
end
function mock_db(n) local t = mock_track(n) return t.vol <= 0 and -150 or 20 * math.log(t.vol, 10) end
