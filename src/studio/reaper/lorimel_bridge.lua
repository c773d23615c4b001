-- Orvo's link inside REAPER. REAPER's start-up script loads this file; it
-- then watches Scripts/Lorimel/cmd.txt in REAPER's resource folder, carries
-- out each request line and answers in Scripts/Lorimel/reply.txt.
--
-- Runs on REAPER 6 (Lua 5.3) and REAPER 7 (Lua 5.4): no 5.4-only syntax.
--
-- Request: number TAB command TAB argument ... (one line, no line end).
-- Reply:   number TAB answer (the answer may span lines). "ok" means done;
--          anything else is a short English reason.
--
-- Answers whose shape is ours (the engine reads them the same way):
--   snapshot       "P|transport|position|tempo", then one line per track,
--                  master first: index|name|volDB|pan|mute|solo|arm|selected|
--                  fx;fx|1;0|dest@dB;dest@dB|items. "|" and ";" in names
--                  become "/", line breaks spaces; silence is -150.0 dB;
--                  positions are words ("bar 3, beat 2").
--   fx_params      one "index|name|shown|norm" line per parameter
--   fx_preset      (no choice) the current preset (empty when none), then
--                  the preset names, all separated by "|"
--   peak           the master's peak in decibels (-150 for silence)
--   tracks         one "number|label" line per track
--   fx_list, fx_search   one raw plug-in name per line
--   action_search  one "id|name" line per action
--   fx_add         a failure contains "could not find"
--   fx_param_to    out of range: "out of range: " and a plain reason
--   undo, redo     "nothing to undo" / "nothing to redo" when there is none
--   unknown        "unknown command " .. its name
--
-- The ReaScript functions this file may call (a mock enforces the list):
--   GetResourcePath RecursiveCreateDirectory defer time_precise CountTracks
--   GetTrack GetMasterTrack GetSetMediaTrackInfo_String GetMediaTrackInfo_Value
--   SetMediaTrackInfo_Value CountTrackMediaItems InsertTrackAtIndex DeleteTrack
--   SetOnlyTrackSelected SetTrackSelected ReorderSelectedTracks
--   TrackFX_GetCount TrackFX_GetFXName TrackFX_GetEnabled TrackFX_SetEnabled
--   TrackFX_AddByName TrackFX_Delete TrackFX_GetNumParams TrackFX_GetParamName
--   TrackFX_GetFormattedParamValue TrackFX_FormatParamValueNormalized
--   TrackFX_GetParamNormalized TrackFX_SetParamNormalized TrackFX_GetPresetIndex
--   TrackFX_GetPreset TrackFX_SetPreset TrackFX_NavigatePresets EnumInstalledFX
--   GetTrackNumSends GetTrackSendInfo_Value SetTrackSendInfo_Value CreateTrackSend
--   GetPlayState GetPlayPosition GetCursorPosition Master_GetTempo SetCurrentBPM
--   GetToggleCommandState Track_GetPeakInfo CountProjectMarkers GetProjectName
--   Main_OnCommand kbd_enumerateActions SectionFromUniqueID
--   Undo_BeginBlock Undo_EndBlock Undo_CanUndo2 Undo_CanRedo2
--   UpdateArrange TrackList_AdjustWindows

local r = reaper
local dir = r.GetResourcePath() .. "/Scripts/Lorimel"
r.RecursiveCreateDirectory(dir, 0)
local CMD = dir .. "/cmd.txt"
local TAKEN = dir .. "/cmd.taken"
local REPLY = dir .. "/reply.txt"
local REPLY_TMP = REPLY .. ".tmp"

-- A request written before this start is stale: nobody waits for it now.
os.remove(CMD)
os.remove(TAKEN)

local lastNumber = nil

local ACT = {
  play = 1007, stop = 1016, record = 1013, playStop = 40044, start = 40042,
  undo = 40029, redo = 40030, metronome = 40364, rep = 1068, save = 40026,
  marker = 40157, markerPrev = 40172, markerNext = 40173, duplicate = 40062,
}

local function fail(reason) error(reason, 0) end

local function clean(text)
  local s = tostring(text or "")
  s = s:gsub("[|;]", "/")
  s = s:gsub("[\r\n]", " ")
  return s
end

-- Locale-free decimals with at least one digit after the point ("-6.0").
local function num(x, places)
  if x ~= x then return "0.0" end
  if x == math.huge then x = 1e12 elseif x == -math.huge then x = -1e12 end
  local s = string.format("%." .. (places or 2) .. "f", x):gsub(",", ".")
  s = s:gsub("0+$", "")
  if s:sub(-1) == "." then s = s .. "0" end
  if s == "-0.0" then s = "0.0" end
  return s
end

local function toDB(v)
  if v == nil or v <= 0.0000000316 then return -150 end
  local d = 20 * math.log(v, 10)
  if d < -150 then d = -150 end
  return d
end

local function fromDB(d) return 10 ^ (d / 20) end

local function int(text, what)
  local n = tonumber(text)
  if n == nil or n ~= math.floor(n) then fail(what .. " is not a whole number: " .. tostring(text)) end
  return math.tointeger(n)
end

local function real(text, what)
  local n = tonumber(text)
  if n == nil or n ~= n or n == math.huge or n == -math.huge then
    fail(what .. " is not a number: " .. tostring(text))
  end
  return n
end

local function track(text)
  local n = int(text, "the track")
  if n == 0 then return r.GetMasterTrack(0), 0 end
  local count = r.CountTracks(0)
  if n < 1 or n > count then fail("there is no track " .. n .. "; the project has " .. count) end
  return r.GetTrack(0, n - 1), n
end

-- A track that is not the master.
local function realTrack(text)
  local tr, n = track(text)
  if n == 0 then fail("the master cannot do that") end
  return tr, n
end

local function fxOf(tr, text)
  local n = int(text, "the plug-in")
  local count = r.TrackFX_GetCount(tr)
  if n < 0 or n >= count then fail("there is no plug-in number " .. n .. "; the track has " .. count) end
  return n
end

local function paramOf(tr, fx, text)
  local n = int(text, "the setting")
  local count = r.TrackFX_GetNumParams(tr, fx)
  if n < 0 or n >= count then fail("there is no setting number " .. n) end
  return n
end

local function nameOf(tr, n)
  if n == 0 then return "Master" end
  local _, name = r.GetSetMediaTrackInfo_String(tr, "P_NAME", "", false)
  return name or ""
end

local function tempo() return r.Master_GetTempo() end

local function playing()
  local s = r.GetPlayState()
  return s % 2 == 1 or s % 8 >= 4
end

local function transportWord()
  local s = r.GetPlayState()
  if s % 8 >= 4 then return "recording" end
  if s % 2 == 1 then return "playing" end
  if s % 4 >= 2 then return "paused" end
  return "stopped"
end

local function positionWords()
  local pos = playing() and r.GetPlayPosition() or r.GetCursorPosition()
  local beats = pos * tempo() / 60
  if beats < 0 then beats = 0 end
  local bar = math.floor(beats / 4) + 1
  local beat = math.floor(beats % 4) + 1
  return "bar " .. bar .. ", beat " .. beat
end

local function dbWords(db)
  if db <= -120 then return "silent" end
  local m = math.floor(math.abs(db) * 10 + 0.5) / 10
  if m < 0.05 then return "0 decibels" end
  local text = (m == math.floor(m)) and string.format("%d", m) or num(m, 1)
  return (db < 0 and "minus " or "plus ") .. text .. " decibels"
end

local function panWords(pct)
  if pct == 0 then return "centre" end
  return math.abs(pct) .. " percent " .. (pct < 0 and "left" or "right")
end

local function panPercent(tr)
  local p = r.GetMediaTrackInfo_Value(tr, "D_PAN")
  return math.tointeger(math.floor(p * 100 + 0.5))
end

local function flag(tr, key) return r.GetMediaTrackInfo_Value(tr, key) > 0 end

-- names: each track's name by its track, for the sends.
local function trackLine(tr, n, names)
  local fx, on = {}, {}
  for i = 0, r.TrackFX_GetCount(tr) - 1 do
    local _, name = r.TrackFX_GetFXName(tr, i, "")
    fx[#fx + 1] = clean(name)
    on[#on + 1] = r.TrackFX_GetEnabled(tr, i) and "1" or "0"
  end
  local sends = {}
  if n > 0 then
    for i = 0, r.GetTrackNumSends(tr, 0) - 1 do
      local dest = r.GetTrackSendInfo_Value(tr, 0, i, "P_DESTTRACK")
      sends[#sends + 1] = clean(names[dest] or "") .. "@" .. num(toDB(r.GetTrackSendInfo_Value(tr, 0, i, "D_VOL")))
    end
  end
  local items = n > 0 and r.CountTrackMediaItems(tr) or 0
  return table.concat({
    tostring(n), clean(nameOf(tr, n)), num(toDB(r.GetMediaTrackInfo_Value(tr, "D_VOL"))),
    tostring(panPercent(tr)), flag(tr, "B_MUTE") and "1" or "0", flag(tr, "I_SOLO") and "1" or "0",
    flag(tr, "I_RECARM") and "1" or "0", flag(tr, "I_SELECTED") and "1" or "0",
    table.concat(fx, ";"), table.concat(on, ";"), table.concat(sends, ";"), tostring(items),
  }, "|")
end

local function snapshot()
  local lines = { "P|" .. transportWord() .. "|" .. positionWords() .. "|" .. num(tempo(), 3) }
  local names = {}
  for t = 1, r.CountTracks(0) do
    local tr = r.GetTrack(0, t - 1)
    names[tr] = nameOf(tr, t)
  end
  lines[#lines + 1] = trackLine(r.GetMasterTrack(0), 0, names)
  for t = 1, r.CountTracks(0) do lines[#lines + 1] = trackLine(r.GetTrack(0, t - 1), t, names) end
  return table.concat(lines, "\n")
end

local function words(text)
  local list = {}
  for w in tostring(text or ""):lower():gmatch("%S+") do list[#list + 1] = w end
  return list
end

local function matchesAll(name, list)
  local lower = name:lower()
  for _, w in ipairs(list) do
    if not lower:find(w, 1, true) then return false end
  end
  return true
end

-- A displayed value as a number; "-inf" counts as minus infinity.
local function shownNumber(text)
  text = tostring(text or "")
  if text:lower():find("-inf", 1, true) then return -math.huge end
  if text:lower():find("inf", 1, true) then return math.huge end
  return tonumber(text:match("[-+]?%d+%.?%d*"))
end

local function shownAt(tr, fx, p, norm)
  local _, text = r.TrackFX_FormatParamValueNormalized(tr, fx, p, norm, "")
  return shownNumber(text)
end

local function presetNames(tr, fx)
  local _, count = r.TrackFX_GetPresetIndex(tr, fx)
  local matched, current = r.TrackFX_GetPreset(tr, fx, "")
  if not matched then current = "" end
  local names = {}
  if count and count > 0 then
    -- Stepping through the presets is the only way to read their names;
    -- the settings are put back afterwards.
    local saved = {}
    for p = 0, r.TrackFX_GetNumParams(tr, fx) - 1 do saved[p] = r.TrackFX_GetParamNormalized(tr, fx, p) end
    for _ = 1, count do
      r.TrackFX_NavigatePresets(tr, fx, 1)
      local _, name = r.TrackFX_GetPreset(tr, fx, "")
      names[#names + 1] = clean(name)
    end
    if current ~= "" then r.TrackFX_SetPreset(tr, fx, current) end
    for p, v in pairs(saved) do r.TrackFX_SetParamNormalized(tr, fx, p, v) end
  end
  table.sort(names)
  return clean(current), names
end

local function toggle(tr, key, onWord, offWord)
  local on = not flag(tr, key)
  r.SetMediaTrackInfo_Value(tr, key, on and 1 or 0)
  return on and onWord or offWord
end

local SWITCH = { mute = "B_MUTE", solo = "I_SOLO", arm = "I_RECARM" }

local function switchKey(key)
  local k = SWITCH[key]
  if not k then fail("unknown switch " .. tostring(key)) end
  return k
end

local function undoAnswer(canDo, id, none, done)
  local what = canDo(0)
  if not what or what == "" then return none end
  r.Main_OnCommand(id, 0)
  return done .. ": " .. what:gsub("^Orvo: ", "") .. "."
end

-- name = { function, fewest arguments, most arguments, undo label or nil }
local H = {}

H.ping = { function() return "pong" end, 0, 0 }
H.snapshot = { snapshot, 0, 0 }

H.info = { function()
  local name = r.GetProjectName(0, "")
  if name == nil or name == "" then name = "an unsaved project" end
  local _, markers = r.CountProjectMarkers(0)
  local count = r.CountTracks(0)
  return "This is " .. name .. ", with " .. count .. " track" .. (count == 1 and "" or "s") ..
    ", at " .. num(tempo(), 2):gsub("%.0$", "") .. " beats per minute, with " .. (markers or 0) ..
    " marker" .. (markers == 1 and "" or "s") .. "."
end, 0, 0 }

H.select = { function(t) r.SetOnlyTrackSelected((track(t))) return "ok" end, 1, 1 }

H.fx_add = { function(t, name)
  local tr = track(t)
  if name == "" then fail("could not find a plug-in without a name") end
  if r.TrackFX_AddByName(tr, name, false, -1) < 0 then return "could not find a plug-in called " .. name end
  return "ok"
end, 2, 2, "add a plug-in" }

H.fx_remove = { function(t, f)
  local tr = track(t)
  r.TrackFX_Delete(tr, fxOf(tr, f))
  return "ok"
end, 2, 2, "remove a plug-in" }

H.fx_bypass = { function(t, f)
  local tr = track(t)
  local fx = fxOf(tr, f)
  r.TrackFX_SetEnabled(tr, fx, not r.TrackFX_GetEnabled(tr, fx))
  return "ok"
end, 2, 2, "bypass a plug-in" }

H.fx_params = { function(t, f)
  local tr = track(t)
  local fx = fxOf(tr, f)
  local lines = {}
  for p = 0, r.TrackFX_GetNumParams(tr, fx) - 1 do
    local _, name = r.TrackFX_GetParamName(tr, fx, p, "")
    local _, shown = r.TrackFX_GetFormattedParamValue(tr, fx, p, "")
    lines[#lines + 1] = p .. "|" .. clean(name) .. "|" .. clean(shown) .. "|" ..
      num(r.TrackFX_GetParamNormalized(tr, fx, p), 6)
  end
  return table.concat(lines, "\n")
end, 2, 2 }

H.fx_param_set = { function(t, f, p, v)
  local tr = track(t)
  local fx = fxOf(tr, f)
  local value = real(v, "the value")
  if value < 0 then value = 0 elseif value > 1 then value = 1 end
  r.TrackFX_SetParamNormalized(tr, fx, paramOf(tr, fx, p), value)
  return "ok"
end, 4, 4, "change a setting" }

H.fx_param_to = { function(t, f, p, v)
  local tr = track(t)
  local fx = fxOf(tr, f)
  local param = paramOf(tr, fx, p)
  local target = real(v, "the value")
  local low, high = shownAt(tr, fx, param, 0), shownAt(tr, fx, param, 1)
  if low == nil or high == nil then return "out of range: this setting does not show a number" end
  local rising = high >= low
  local least, most = math.min(low, high), math.max(low, high)
  if target < least or target > most then
    return "out of range: it goes from " .. num(least) .. " to " .. num(most)
  end
  -- The display need not be linear, so the normalised value is found by halving.
  local lo, hi = 0, 1
  for _ = 1, 40 do
    local mid = (lo + hi) / 2
    local shown = shownAt(tr, fx, param, mid) or target
    if (shown < target) == rising then lo = mid else hi = mid end
  end
  local best, bestOff = lo, math.huge
  for _, n in ipairs({ lo, hi }) do
    local off = math.abs((shownAt(tr, fx, param, n) or target) - target)
    if off < bestOff then best, bestOff = n, off end
  end
  r.TrackFX_SetParamNormalized(tr, fx, param, best)
  return "ok"
end, 4, 4, "change a setting" }

H.fx_preset = { function(t, f, choice)
  local tr = track(t)
  local fx = fxOf(tr, f)
  if choice == nil or choice == "" then
    local current, names = presetNames(tr, fx)
    return current .. "|" .. table.concat(names, "|")
  end
  if choice == "next" or choice == "previous" then
    r.TrackFX_NavigatePresets(tr, fx, choice == "next" and 1 or -1)
    return "ok"
  end
  if not r.TrackFX_SetPreset(tr, fx, choice) then return "could not find a preset called " .. choice end
  return "ok"
end, 2, 3, "change a preset" }

H.track_vol_set = { function(t, db)
  r.SetMediaTrackInfo_Value((track(t)), "D_VOL", fromDB(real(db, "the level")))
  return "ok"
end, 2, 2, "set a volume" }

H.track_pan_set = { function(t, pct)
  local p = real(pct, "the pan") / 100
  if p < -1 then p = -1 elseif p > 1 then p = 1 end
  r.SetMediaTrackInfo_Value((track(t)), "D_PAN", p)
  return "ok"
end, 2, 2, "pan a track" }

H.track_set = { function(t, key, value)
  local k = switchKey(key)
  local tr, n = track(t)
  if n == 0 and key ~= "mute" then fail("the master cannot be " .. key .. "ed") end
  r.SetMediaTrackInfo_Value(tr, k, value == "1" and 1 or 0)
  return "ok"
end, 3, 3, "switch a track" }

H.all_off = { function(key)
  local k = switchKey(key)
  for t = 1, r.CountTracks(0) do r.SetMediaTrackInfo_Value(r.GetTrack(0, t - 1), k, 0) end
  return "ok"
end, 1, 1, "clear a switch" }

H.track_rename = { function(t, name)
  r.GetSetMediaTrackInfo_String((realTrack(t)), "P_NAME", name, true)
  return "ok"
end, 2, 2, "rename a track" }

H.track_duplicate = { function(t, name)
  local tr, n = realTrack(t)
  r.SetOnlyTrackSelected(tr)
  r.Main_OnCommand(ACT.duplicate, 0)
  if r.CountTracks(0) <= n then return "the copy did not appear" end
  local copy = r.GetTrack(0, n)
  if name ~= nil and name ~= "" then r.GetSetMediaTrackInfo_String(copy, "P_NAME", name, true) end
  r.SetOnlyTrackSelected(copy)
  return "ok"
end, 1, 2, "duplicate a track" }

H.track_new = { function(kind, name, plugin)
  if kind ~= "audio" and kind ~= "instrument" then fail("the kind is audio or instrument, not " .. tostring(kind)) end
  local count = r.CountTracks(0)
  r.InsertTrackAtIndex(count, true)
  local tr = r.GetTrack(0, count)
  if tr == nil then return "the new track did not appear" end
  if name ~= nil and name ~= "" then r.GetSetMediaTrackInfo_String(tr, "P_NAME", name, true) end
  if plugin ~= nil and plugin ~= "" then r.TrackFX_AddByName(tr, plugin, false, -1) end
  r.SetMediaTrackInfo_Value(tr, "I_RECARM", 1)
  r.SetOnlyTrackSelected(tr)
  return "ok"
end, 1, 3, "make a track" }

H.track_delete = { function(t) r.DeleteTrack((realTrack(t))) return "ok" end, 1, 1, "delete a track" }

H.track_move = { function(t, below)
  local tr, n = realTrack(t)
  local _, b = realTrack(below)
  if n == b then fail("a track cannot move below itself") end
  r.SetOnlyTrackSelected(tr)
  r.ReorderSelectedTracks(b, 0)
  return "ok"
end, 2, 2, "move a track" }

H.send_create = { function(from, to, db)
  local src, a = realTrack(from)
  local dest, b = realTrack(to)
  if a == b then fail("a track cannot send to itself") end
  local level = real(db, "the level")
  local i = r.CreateTrackSend(src, dest)
  if i < 0 then return "the send could not be made" end
  r.SetTrackSendInfo_Value(src, 0, i, "D_VOL", fromDB(level))
  return "ok"
end, 3, 3, "make a send" }

H.tempo = { function(a, b)
  local bpm
  if a == "set" then bpm = real(b, "the tempo") else bpm = tempo() + real(a, "the change") end
  if bpm < 1 or bpm > 960 then fail("a tempo of " .. num(bpm) .. " is not possible") end
  r.SetCurrentBPM(0, bpm, true)
  return "Tempo " .. num(tempo(), 2):gsub("%.0$", "") .. "."
end, 1, 2, "set a tempo" }

H.play = { function()
  if playing() then r.Main_OnCommand(ACT.stop, 0) return "Stopped." end
  r.Main_OnCommand(ACT.play, 0)
  return "Playing."
end, 0, 0 }
H.stop = { function() r.Main_OnCommand(ACT.stop, 0) return "Stopped." end, 0, 0 }
H.record = { function()
  if transportWord() == "recording" then r.Main_OnCommand(ACT.stop, 0) return "Recording stopped." end
  r.Main_OnCommand(ACT.record, 0)
  return transportWord() == "recording" and "Recording." or "Recording did not start."
end, 0, 0 }
H.start = { function() r.Main_OnCommand(ACT.start, 0) return "At the start." end, 0, 0 }
H.undo = { function() return undoAnswer(r.Undo_CanUndo2, ACT.undo, "nothing to undo", "Undone") end, 0, 0 }
H.redo = { function() return undoAnswer(r.Undo_CanRedo2, ACT.redo, "nothing to redo", "Redone") end, 0, 0 }

H.peak = { function()
  local m = r.GetMasterTrack(0)
  return num(toDB(math.max(r.Track_GetPeakInfo(m, 0), r.Track_GetPeakInfo(m, 1))), 1)
end, 0, 0 }

H.position = { function()
  local w = positionWords()
  return w:sub(1, 1):upper() .. w:sub(2) .. "."
end, 0, 0 }

H.metronome = { function()
  r.Main_OnCommand(ACT.metronome, 0)
  return r.GetToggleCommandState(ACT.metronome) == 1 and "Metronome on." or "Metronome off."
end, 0, 0 }

H["repeat"] = { function()
  r.Main_OnCommand(ACT.rep, 0)
  return r.GetToggleCommandState(ACT.rep) == 1 and "Repeat on." or "Repeat off."
end, 0, 0 }

H.save = { function() r.Main_OnCommand(ACT.save, 0) return "Saved." end, 0, 0 }
H.marker_add = { function() r.Main_OnCommand(ACT.marker, 0) return "Marker added at " .. positionWords() .. "." end, 0, 0 }
H.marker_next = { function() r.Main_OnCommand(ACT.markerNext, 0) return "At " .. positionWords() .. "." end, 0, 0 }
H.marker_prev = { function() r.Main_OnCommand(ACT.markerPrev, 0) return "At " .. positionWords() .. "." end, 0, 0 }

H.tracks = { function()
  local lines = {}
  for t = 1, r.CountTracks(0) do
    local name = nameOf(r.GetTrack(0, t - 1), t)
    lines[#lines + 1] = t .. "|" .. (name ~= "" and clean(name) or ("Track " .. t))
  end
  return table.concat(lines, "\n")
end, 0, 0 }

H.track_select = { function(t)
  local tr, n = realTrack(t)
  r.SetOnlyTrackSelected(tr)
  local name = nameOf(tr, n)
  return (name ~= "" and name or ("Track " .. n)) .. " selected."
end, 1, 1 }
H.track_arm = { function(t) return toggle((realTrack(t)), "I_RECARM", "Armed.", "Disarmed.") end, 1, 1, "arm a track" }
H.track_mute = { function(t) return toggle((track(t)), "B_MUTE", "Muted.", "Unmuted.") end, 1, 1, "mute a track" }
H.track_solo = { function(t) return toggle((realTrack(t)), "I_SOLO", "Soloed.", "Unsoloed.") end, 1, 1, "solo a track" }

H.track_vol = { function(t, delta)
  local tr = track(t)
  local db = toDB(r.GetMediaTrackInfo_Value(tr, "D_VOL")) + real(delta, "the change")
  if db > 12 then db = 12 end
  r.SetMediaTrackInfo_Value(tr, "D_VOL", fromDB(db))
  return "Volume " .. dbWords(db) .. "."
end, 2, 2, "change a volume" }

H.track_pan = { function(t, delta)
  local tr = track(t)
  local p = r.GetMediaTrackInfo_Value(tr, "D_PAN") + real(delta, "the change")
  if p < -1 then p = -1 elseif p > 1 then p = 1 end
  r.SetMediaTrackInfo_Value(tr, "D_PAN", p)
  return "Pan " .. panWords(panPercent(tr)) .. "."
end, 2, 2, "pan a track" }

H.fx_list = { function(t)
  local tr = track(t)
  local lines = {}
  for i = 0, r.TrackFX_GetCount(tr) - 1 do
    local _, name = r.TrackFX_GetFXName(tr, i, "")
    lines[#lines + 1] = (name:gsub("[\r\n]", " "))
  end
  return table.concat(lines, "\n")
end, 1, 1 }

H.fx_search = { function(text, kind)
  local list, lines, i = words(text), {}, 0
  while #lines < 200 do
    local ok, name = r.EnumInstalledFX(i)
    if not ok then break end
    i = i + 1
    local instrument = name:match("^%w+i:") ~= nil
    if matchesAll(name, list) and (kind ~= "instrument" or instrument) then
      lines[#lines + 1] = (name:gsub("[\r\n]", " "))
    end
  end
  return table.concat(lines, "\n")
end, 0, 2 }

H.action_search = { function(text)
  local list, lines = words(text), {}
  if #list == 0 then return "" end
  local section = r.SectionFromUniqueID(0)
  local i = 0
  while #lines < 50 do
    local id, name = r.kbd_enumerateActions(section, i)
    if not id or id <= 0 then break end
    i = i + 1
    if matchesAll(name, list) then lines[#lines + 1] = id .. "|" .. clean(name) end
  end
  return table.concat(lines, "\n")
end, 1, 1 }

H.action = { function(id)
  r.Main_OnCommand(int(id, "the action"), 0)
  return "Done."
end, 1, 1, "run an action" }

local function split(line)
  local fields, start = {}, 1
  while true do
    local tab = line:find("\t", start, true)
    if not tab then fields[#fields + 1] = line:sub(start) break end
    fields[#fields + 1] = line:sub(start, tab - 1)
    start = tab + 1
  end
  return fields
end

local function answer(number, text)
  local f = io.open(REPLY_TMP, "wb")
  if not f then return end
  f:write(number, "\t", text)
  f:close()
  if not os.rename(REPLY_TMP, REPLY) then
    os.remove(REPLY)
    os.rename(REPLY_TMP, REPLY)
  end
end

local function run(fields)
  local name = fields[2] or ""
  local h = H[name]
  if not h then return "unknown command " .. name end
  local args = {}
  for i = 3, #fields do args[#args + 1] = fields[i] end
  if #args < h[2] or #args > h[3] then
    return name .. " takes " .. (h[2] == h[3] and h[2] or (h[2] .. " to " .. h[3])) ..
      " argument" .. (h[3] == 1 and "" or "s") .. ", not " .. #args
  end
  if h[4] then r.Undo_BeginBlock() end
  local _, result = pcall(h[1], table.unpack(args, 1, h[3]))
  if h[4] then
    r.Undo_EndBlock("Orvo: " .. h[4], -1)
    r.TrackList_AdjustWindows(false)
    r.UpdateArrange()
  end
  -- A failed handler's error is its reason.
  return tostring(result)
end

local function take()
  if not os.rename(CMD, TAKEN) then return end
  local f = io.open(TAKEN, "rb")
  if not f then return end
  local line = f:read("*a") or ""
  f:close()
  os.remove(TAKEN)
  local fields = split(line)
  local number = fields[1]
  if not number:match("^%d+$") or number == lastNumber then return end
  lastNumber = number
  answer(number, run(fields))
end

local function loop()
  pcall(take)
  r.defer(loop)
end

loop()
