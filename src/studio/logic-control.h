#pragma once
// Logic Pro driven the way a person at its keyboard would: key strokes and
// menu clicks sent through System Events, as AppleScript run by osascript.
// Every script is built as text here (the tests read them word for word); the
// runner that carries them out is handed in, so a machine without osascript
// (any Linux one) gets its failure back and the sentences that go with it.
//
// Threads: the builders are pure; the operations block on the runner for up
// to its time limit, so they run in activities, never on the MIDI thread or
// with a lock held.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/run-tool.h"
#include "voice/heard.h"

namespace orvo {

// A quick command: its spoken name and how it is typed (a virtual key code
// when there is one, else the character).
struct LogicQuick {
  std::string name;
  std::string key;
  std::optional<int> code;
  std::vector<std::string> mods;  // System Events modifier names: "command", "option"
};

const std::vector<LogicQuick>& logicQuick();
const LogicQuick* logicQuickNamed(const std::string& name);

// A sentence said while Logic runs and REAPER does not: the quick command it
// asks for and what is said once it is sent; nothing when it names none.
struct LogicSpoken {
  std::string quick;
  std::string sentence;
};
std::optional<LogicSpoken> logicSpokenCommand(const Heard& heard);

// The fields of the new-project script's "ok|..." answer.
struct LogicNewProjectFields {
  std::string countAtFirst;
  std::string countNow;
  std::string pressedCreate;
  std::string frontName;
  std::string stillAsking;
  bool created() const;  // the Create button was pressed or a window came
};

// What the new-project request answers, logs and notes as a mistake.
struct LogicNewProjectAnswer {
  bool created = false;
  std::string sentence;
  std::string log;
  std::string mistake;  // empty when nothing failed
};

class LogicControl {
 public:
  using Runner = std::function<ToolRun(const std::string& script)>;

  // The runner given, or osascript with its errors read beside its output.
  explicit LogicControl(Runner runner) : runner_(std::move(runner)) {}
  static Runner osascript(Runtime& runtime);

  static std::string quote(const std::string& text);
  static std::string front(const std::string& app);
  static std::string menuRef(const std::vector<std::string>& path);
  static std::string keyScript(const std::string& key, std::optional<int> code,
                               const std::vector<std::string>& mods);
  static std::string listScript(const std::vector<std::string>& path);
  static std::string hasSubmenuScript(const std::vector<std::string>& path,
                                      const std::string& item);
  static std::string clickScript(const std::vector<std::string>& path, const std::string& item);
  static std::string newProjectScript();
  static bool denied(const std::string& out);
  static const std::string needPermission;

  // Reads the new-project script's output: nothing unless it starts with "ok".
  static std::optional<LogicNewProjectFields> readNewProject(const std::string& out);
  static LogicNewProjectAnswer newProjectAnswer(const ToolRun& run);

  ToolRun osa(const std::string& script);
  ToolRun key(const std::string& key, std::optional<int> code,
              const std::vector<std::string>& mods);
  ToolRun key(const LogicQuick& quick) { return key(quick.key, quick.code, quick.mods); }
  // The names of a menu level; the menu bar's for an empty path.
  std::optional<std::vector<std::string>> list(const std::vector<std::string>& path,
                                               std::string* failure = nullptr);
  bool hasSubmenu(const std::vector<std::string>& path, const std::string& item);
  ToolRun click(const std::vector<std::string>& path, const std::string& item);
  ToolRun logicNewProject();

 private:
  Runner runner_;
};

}  // namespace orvo
