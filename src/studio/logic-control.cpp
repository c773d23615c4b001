#include "studio/logic-control.h"

#include <algorithm>
#include <charconv>

#include "platform/text-pieces.h"
#include "platform/platform-words.h"

namespace orvo {

namespace {

const char* kLogic = "Logic Pro";

std::string withoutLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

const std::vector<LogicQuick>& logicQuick() {
  static const std::vector<LogicQuick> table = {
      {"Play or stop", " ", 49, {}},
      {"Record", "r", std::nullopt, {}},
      {"Go to the beginning", "", 36, {}},
      {"Undo", "z", std::nullopt, {"command"}},
      {"Next track", "", 125, {}},
      {"Previous track", "", 126, {}},
      {"New software instrument track", "s", std::nullopt, {"command", "option"}},
      {"New audio track", "a", std::nullopt, {"command", "option"}},
      {"Mute this track", "m", std::nullopt, {}},
      {"Solo this track", "s", std::nullopt, {}},
      {"Metronome on or off", "k", std::nullopt, {}},
      {"Cycle on or off", "c", std::nullopt, {}},
      {"Open or close the mixer", "x", std::nullopt, {}},
      {"Open or close the library, to choose a sound", "y", std::nullopt, {}},
      {"Save", "s", std::nullopt, {"command"}},
  };
  return table;
}

const LogicQuick* logicQuickNamed(const std::string& name) {
  for (const auto& quick : logicQuick())
    if (quick.name == name) return &quick;
  return nullptr;
}

std::optional<LogicSpoken> logicSpokenCommand(const Heard& heard) {
  auto is = [&heard](std::initializer_list<const char*> sentences) {
    for (const char* sentence : sentences)
      if (heard.text == sentence) return true;
    return false;
  };
  if (heard.hasAny({"record", "recording"})) return LogicSpoken{"Record", "Recording in Logic."};
  // A bare "play" belongs to the studio; "play me something" does not.
  if (heard.hasAny({"playback", "play the project", "play it in logic", "play logic", "hit play",
                    "press play", "play in logic", "stop playing", "stop the playback"}) ||
      is({"play", "play it", "play from here"})) {
    return LogicSpoken{"Play or stop", "Play, or stop, in Logic."};
  }
  if (heard.has("undo")) return LogicSpoken{"Undo", "Undone in Logic."};
  if (heard.hasAny({"new track", "add a track", "another track", "new instrument track",
                    "new piano track", "new software instrument track",
                    "add an instrument track"})) {
    return LogicSpoken{"New software instrument track", "New software instrument track in Logic."};
  }
  if (heard.hasAny({"new audio track", "add an audio track", "another audio track"}))
    return LogicSpoken{"New audio track", "New audio track in Logic."};
  if (heard.hasAny({"rewind", "go to the start", "go to the beginning", "back to the start"}))
    return LogicSpoken{"Go to the beginning", "At the beginning."};
  if (heard.hasAny({"save the project", "save project", "save the session"}))
    return LogicSpoken{"Save", "Saved in Logic."};
  if (heard.has("mute") && heard.has("track"))
    return LogicSpoken{"Mute this track", "Mute toggled on the selected track."};
  if (heard.has("solo") && heard.has("track"))
    return LogicSpoken{"Solo this track", "Solo toggled on the selected track."};
  if (heard.hasAny({"cycle", "loop"}) && heard.hasAny({"logic", "on", "off"}))
    return LogicSpoken{"Cycle on or off", "Cycle toggled."};
  if (heard.has("mixer")) return LogicSpoken{"Open or close the mixer", "Mixer."};
  return std::nullopt;
}

bool LogicNewProjectFields::created() const {
  if (pressedCreate == "1") return true;
  // A count that is not a number never shows a new window.
  auto number = [](const std::string& text) -> std::optional<long> {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
  };
  const auto first = number(countAtFirst);
  const auto now = number(countNow);
  return first && now && *now > *first;
}

const std::string LogicControl::needPermission(platformWords().accessPermission);

LogicControl::Runner LogicControl::osascript(Runtime& runtime) {
  // osascript prints its errors, the permission ones among them, on standard
  // error: they are read with the output so that denied() can see them.
  return [&runtime](const std::string& script) {
    return runTool(runtime, "/usr/bin/osascript", {"-e", script}, "", 30.0, {}, true);
  };
}

std::string LogicControl::quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string LogicControl::front(const std::string& app) {
  const std::string name = quote(app);
  return "tell application " + name + " to activate\n" +
         "tell application \"System Events\"\n"
         "  repeat 40 times\n"
         "    if frontmost of process " +
         name +
         " then exit repeat\n"
         "    delay 0.05\n"
         "  end repeat\n"
         "end tell\n"
         "delay 0.15\n";
}

std::string LogicControl::menuRef(const std::vector<std::string>& path) {
  if (path.empty()) return "menu bar 1";
  std::string ref = "menu 1 of menu bar item " + quote(path.front()) + " of menu bar 1";
  for (std::size_t i = 1; i < path.size(); ++i)
    ref = "menu 1 of menu item " + quote(path[i]) + " of " + ref;
  return ref;
}

std::string LogicControl::keyScript(const std::string& key, std::optional<int> code,
                                    const std::vector<std::string>& mods) {
  std::string send = code ? "key code " + std::to_string(*code) : "keystroke " + quote(key);
  if (!mods.empty()) {
    send += " using {";
    for (std::size_t i = 0; i < mods.size(); ++i) send += (i ? ", " : "") + mods[i] + " down";
    send += "}";
  }
  return front(kLogic) + "tell application \"System Events\" to " + send + "\n";
}

std::string LogicControl::listScript(const std::vector<std::string>& path) {
  const std::string items =
      path.empty() ? "menu bar items of menu bar 1" : "menu items of " + menuRef(path);
  return "tell application \"System Events\"\n"
         "  tell process " +
         quote(kLogic) +
         "\n"
         "    set names to \"\"\n"
         "    repeat with anItem in (" +
         items +
         ")\n"
         "      set itemName to name of anItem\n"
         "      if itemName is not missing value then set names to names & itemName & linefeed\n"
         "    end repeat\n"
         "    return names\n"
         "  end tell\n"
         "end tell\n";
}

std::string LogicControl::hasSubmenuScript(const std::vector<std::string>& path,
                                           const std::string& item) {
  return "tell application \"System Events\" to tell process " + quote(kLogic) +
         " to return exists menu 1 of menu item " + quote(item) + " of " + menuRef(path) + "\n";
}

std::string LogicControl::clickScript(const std::vector<std::string>& path,
                                      const std::string& item) {
  return "tell application " + quote(kLogic) + " to activate\n" +
         "tell application \"System Events\" to tell process " + quote(kLogic) +
         " to click menu item " + quote(item) + " of " + menuRef(path) + "\n";
}

std::string LogicControl::newProjectScript() {
  return front(kLogic) +
         "tell application \"System Events\"\n"
         "  tell process " +
         quote(kLogic) +
         "\n"
         "    set countAtFirst to count of windows\n"
         "    set pressedCreate to \"0\"\n"
         "    click (first menu item of menu 1 of menu bar item \"File\" of menu bar 1 whose name "
         "starts with \"New\")\n"
         "    repeat 30 times\n"
         "      repeat with aWindow in windows\n"
         "        try\n"
         "          if exists button \"Create\" of group 1 of sheet 1 of aWindow then\n"
         "            click button \"Create\" of group 1 of sheet 1 of aWindow\n"
         "            set pressedCreate to \"1\"\n"
         "            exit repeat\n"
         "          end if\n"
         "        end try\n"
         "      end repeat\n"
         "      if pressedCreate is \"1\" then exit repeat\n"
         "      delay 0.2\n"
         "    end repeat\n"
         "    delay 1.2\n"
         "    set countNow to count of windows\n"
         "    set frontName to \"\"\n"
         "    try\n"
         "      set frontName to name of window 1\n"
         "    end try\n"
         "    set stillAsking to \"\"\n"
         "    repeat with aWindow in windows\n"
         "      if exists sheet 1 of aWindow then\n"
         "        set sheetText to \"\"\n"
         "        repeat with aText in (static texts of sheet 1 of aWindow)\n"
         "          set sheetText to sheetText & (value of aText) & \". \"\n"
         "        end repeat\n"
         "        if sheetText is \"\" then set sheetText to \"a dialog\"\n"
         "        set stillAsking to stillAsking & sheetText\n"
         "      end if\n"
         "    end repeat\n"
         "    return \"ok|\" & countAtFirst & \"|\" & countNow & \"|\" & pressedCreate & \"|\" & "
         "frontName & \"|\" & stillAsking\n"
         "  end tell\n"
         "end tell\n";
}

bool LogicControl::denied(const std::string& out) {
  for (const char* marker : {"assistive", "-1719", "-25211", "not allowed", "-1743"})
    if (out.find(marker) != std::string::npos) return true;
  return false;
}

std::optional<LogicNewProjectFields> LogicControl::readNewProject(const std::string& out) {
  const std::string text = withoutLineEnds(out);
  if (text.rfind("ok", 0) != 0) return std::nullopt;
  std::vector<std::string> fields;
  for (std::string_view field : text::split(text, '|')) fields.emplace_back(field);
  fields.resize(std::max<std::size_t>(fields.size(), 6));
  // A sheet's text may itself hold "|": whatever follows the fifth bar is the text.
  std::string asking = fields[5];
  for (std::size_t i = 6; i < fields.size(); ++i) asking += "|" + fields[i];
  return LogicNewProjectFields{fields[1], fields[2], fields[3], fields[4], asking};
}

LogicNewProjectAnswer LogicControl::newProjectAnswer(const ToolRun& run) {
  LogicNewProjectAnswer answer;
  answer.log = "new project in Logic: " + withoutLineEnds(run.out);
  const auto fields = run.ok ? readNewProject(run.out) : std::nullopt;
  if (!fields) {
    answer.mistake = "a studio action failed";
    answer.sentence = "I couldn't reach Logic's File menu, so no new project was started.";
    return answer;
  }
  answer.created = fields->created();
  if (fields->stillAsking == "a dialog") {
    answer.sentence =
        "Logic is asking something before it carries on, probably about the project that's "
        "already open. I've left that for you to answer.";
  } else if (!fields->stillAsking.empty()) {
    answer.sentence =
        "Logic is asking something before it carries on. It says: " + fields->stillAsking +
        " I've left that for you to answer.";
  } else if (answer.created) {
    const std::string name = fields->frontName.substr(0, fields->frontName.find(" - "));
    answer.sentence = name.empty() ? "A new project is open in Logic."
                                   : "A new project is open in Logic, called " + name +
                                         ", with a track ready to play.";
  } else {
    answer.log =
        "new project in Logic: menu clicked, nothing changed (" + withoutLineEnds(run.out) + ")";
    answer.sentence =
        "I chose New in Logic's File menu, but I can't see a new project. Logic may be waiting "
        "on another window.";
  }
  return answer;
}

ToolRun LogicControl::osa(const std::string& script) {
  ToolRun run = runner_ ? runner_(script) : ToolRun{false, "could not start"};
  run.out = withoutLineEnds(run.out);
  return run;
}

ToolRun LogicControl::key(const std::string& key, std::optional<int> code,
                          const std::vector<std::string>& mods) {
  return osa(keyScript(key, code, mods));
}

std::optional<std::vector<std::string>> LogicControl::list(const std::vector<std::string>& path,
                                                           std::string* failure) {
  ToolRun run = osa(listScript(path));
  if (!run.ok) {
    if (failure) *failure = run.out;
    return std::nullopt;
  }
  return text::lines(run.out);
}

bool LogicControl::hasSubmenu(const std::vector<std::string>& path, const std::string& item) {
  ToolRun run = osa(hasSubmenuScript(path, item));
  return run.ok && run.out == "true";
}

ToolRun LogicControl::click(const std::vector<std::string>& path, const std::string& item) {
  return osa(clickScript(path, item));
}

ToolRun LogicControl::logicNewProject() {
  return osa(newProjectScript());
}

}  // namespace orvo
