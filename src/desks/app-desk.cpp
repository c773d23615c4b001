#include "desks/app-desk.h"

#include <algorithm>
#include <cctype>

#include "apps/command-match.h"
#include "apps/spoken-list.h"
#include "desks/app-sentences.h"
#include "engine/requests.h"
#include "engine/room-services.h"
#include "lessons/plain-words.h"
#include "platform/files.h"

namespace orvo {
namespace {

using appsentences::kCantRead;
using appsentences::names;
using appsentences::sentences;

constexpr double kAppCheckSeconds = 5.0;
constexpr double kInstalledSeconds = 60.0;
const char* kUntrusted =
    "I can't reach this desktop's accessibility service, so I can't work in other apps yet.";
const char* kNoApp = "No other app is open in front of me. Open one, or say which app you mean.";

const std::vector<std::string> kWhichApp = {
    "what app is this",    "what app am i in", "which app is this", "which app am i in",
    "what window is this", "what is in front", "whats in front",    "what am i looking at"};
const std::vector<std::string> kReadWindow = {
    "read the window",      "read the screen",         "read this window",
    "whats on the screen",  "what is on the screen",   "whats on my screen",
    "what is on my screen", "describe the window",     "describe the screen",
    "read the dialog",      "what does it say",        "what does the dialog say",
    "whats it asking",      "what is it asking",       "read that to me",
    "read it to me",        "what does the window say"};
const std::vector<std::string> kButtons = {
    "what buttons",     "which buttons",    "what can i click",     "what can i press",
    "list the buttons", "read the buttons", "what are the buttons", "what are my options here"};
const std::vector<std::string> kMenus = {"what menus",         "which menus",
                                         "list the menus",     "read the menus",
                                         "what can i do here", "what can i do in"};
const std::vector<std::string> kMenuItems = {"whats in the", "what is in the", "read me the",
                                             "read the",     "list the",       "whats under",
                                             "what is under"};
// Without the word "menu", only these name a menu: "list the songs" is no menu.
const std::vector<std::string> kMenuTitles = {
    "file",    "edit",      "view",   "window", "help",    "track",     "tools",   "format",
    "insert",  "navigate",  "mix",    "record", "history", "bookmarks", "go",      "options",
    "actions", "project",   "image",  "layer",  "effect",  "generate",  "analyze", "transport",
    "tracks",  "functions", "region", "events", "select",  "item"};
const std::vector<std::string> kClick = {"click",  "tap",       "push",   "press the",
                                         "press",  "choose",    "select", "tick",
                                         "untick", "check the", "uncheck"};
const std::vector<std::string> kControlWords = {"tap",  "push",     "press", "button",
                                                "tick", "untick",   "check", "uncheck",
                                                "box",  "checkbox", "tab",   "link"};
const std::vector<std::string> kType = {"type this", "write this", "enter the text", "dictate",
                                        "type"};
const std::vector<std::string> kSelection = {"read the selection",   "read the selected text",
                                             "read what i selected", "read what is selected",
                                             "read whats selected",  "read the highlighted",
                                             "what did i select",    "read my selection"};
const std::vector<std::string> kClipboard = {"clipboard", "what i copied", "what did i copy",
                                             "read what i copied"};

std::string joined(const std::vector<std::string>& path) {
  std::string out;
  for (const auto& name : path) out += (out.empty() ? "" : " > ") + name;
  return out;
}

// The words after the first of the phrases the text starts with.
std::optional<std::string> afterStart(const Heard& heard, const std::vector<std::string>& verbs) {
  for (const auto& verb : verbs) {
    if (heard.starts(verb)) return files::trim(heard.text.substr(verb.size()));
  }
  return std::nullopt;
}

// What to type, as it was said: the raw sentence after the verb.
std::string typedPart(const Heard& heard, const std::string& verb, const std::string& fallback) {
  std::string lower = lowerCase(heard.raw);
  std::size_t at = lower.find(verb);
  while (at != std::string::npos && at > 0 &&
         std::isalnum(static_cast<unsigned char>(lower[at - 1])))
    at = lower.find(verb, at + 1);
  if (at == std::string::npos) return fallback;
  std::string text = heard.raw.substr(at + verb.size());
  std::size_t begin = text.find_first_not_of(" \t:,");
  return begin == std::string::npos ? "" : files::trim(text.substr(begin));
}

// "click off" is the metronome and "check the clock" the time, not a press.
bool meantElse(const std::string& object) {
  std::vector<std::string> words;
  for (auto& word : plainWords(object)) {
    if (!commandNoise().count(word)) words.push_back(word);
  }
  static const std::vector<std::string> others = {"off", "on", "clock", "time"};
  return words.size() == 1 && std::find(others.begin(), others.end(), words[0]) != others.end();
}

}  // namespace

std::vector<std::string> AppDesk::phrases() {
  std::vector<std::string> out = {"where am i"};
  for (const auto* list : {&kWhichApp, &kReadWindow, &kButtons, &kMenus, &kMenuItems, &kClick,
                           &kType, &kSelection, &kClipboard}) {
    out.insert(out.end(), list->begin(), list->end());
  }
  for (const auto& title : kMenuTitles) out.push_back(title + " menu");
  return out;
}

AppDesk::AppDesk(RoomServices& engine, Parts parts, AccessBackend& access)
    : engine_(engine),
      parts_(std::move(parts)),
      access_(access),
      checks_(parts_.runtime, kAppCheckSeconds, [this] { refreshApps(); }) {}

AppDesk::~AppDesk() = default;

void AppDesk::refreshApps() {
  std::vector<DesktopEntry> installed;
  bool stale = false;
  {
    MutexLock hold(lock_);
    stale = engine_.now() - installedReadAt_ > kInstalledSeconds;
    if (!stale) installed = installed_;
  }
  if (stale) {
    if (parts_.installedApps) installed = parts_.installedApps();
    MutexLock hold(lock_);
    installed_ = installed;
    installedReadAt_ = engine_.now();
  }
  if (!access_.trusted()) return;
  std::vector<KnownApp> found;
  for (const auto& app : access_.apps()) {
    if (app.pid == parts_.ownAppPid) continue;
    // One process may run several apps: its window's title tells which.
    std::string title;
    if (auto window = access_.focusedWindow(app)) title = window->name;
    found.push_back(knownApp(app.name, title, installed));
  }
  MutexLock hold(lock_);
  known_ = std::move(found);
}

void AppDesk::startChecks() {
  checks_.start();
}

std::optional<std::string> AppDesk::lastFrontApp() {
  MutexLock hold(lock_);
  return lastFrontApp_;
}

std::optional<std::string> AppDesk::appNamed(const std::string& text, std::string* rest) {
  std::vector<KnownApp> apps;
  {
    MutexLock hold(lock_);
    apps = known_;
  }
  std::string padded = " " + text + " ";
  std::optional<std::string> best;
  std::size_t bestLength = 0;
  for (const auto& app : apps) {
    for (const auto& phrase : app.calls) {
      std::size_t at = padded.find(" in " + phrase + " ");
      if (at == std::string::npos || phrase.size() <= bestLength) continue;
      best = app.spoken;
      bestLength = phrase.size();
      std::string left = padded.substr(0, at) + " " + padded.substr(at + phrase.size() + 4);
      *rest = files::trim(Heard(left).text);
    }
  }
  return best;
}

std::optional<std::string> AppDesk::installedApp(const std::string& words) {
  const std::string wanted = plainPhrase(words);
  if (wanted.empty()) return std::nullopt;
  MutexLock hold(lock_);
  for (const auto& entry : installed_) {
    auto calls = callsOf(entry);
    if (std::find(calls.begin(), calls.end(), wanted) != calls.end() ||
        plainPhrase(entry.program) == wanted) {
      return entry.name;
    }
  }
  return std::nullopt;
}

std::optional<std::string> AppDesk::installedNamedIn(const Heard& heard) {
  // A name of one or two words after "in": "in libreoffice, word count".
  const auto& words = heard.words;
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] != "in") continue;
    std::string name = words[i + 1];
    for (std::size_t more = 0; more < 2 && i + 1 + more < words.size(); ++more) {
      if (more == 1) name += " " + words[i + 2];
      if (auto found = installedApp(name)) return found;
    }
  }
  return std::nullopt;
}

bool AppDesk::namesOtherApp(const Heard& heard) {
  if (heard.hasAny({"in logic", "in logic pro"})) return true;
  auto notReaper = [](const std::optional<std::string>& app) {
    return app && plainPhrase(*app) != "reaper";
  };
  std::string rest;
  return notReaper(appNamed(heard.text, &rest)) || notReaper(installedNamedIn(heard));
}

RunningApp AppDesk::spokenAs(RunningApp app) {
  MutexLock hold(lock_);
  for (const auto& known : known_) {
    if (known.process == app.name) {
      app.name = known.spoken;
      break;
    }
  }
  return app;
}

std::optional<AppDesk::Step> AppDesk::claim(const Heard& heard, bool inherits) {
  Step step;
  std::string rest = heard.text;
  step.app = appNamed(heard.text, &rest);
  Heard words(rest);
  words.raw = heard.raw;
  step.words = words.text;
  auto either = [&](const std::vector<std::string>& phrases) {
    return heard.hasAny(phrases) || words.hasAny(phrases);
  };
  auto is = [&](Ask ask) {
    step.ask = ask;
    return std::optional<Step>(step);
  };
  if (either({"where am i"})) return is(Ask::where);
  if (either(kWhichApp)) return is(Ask::whichApp);
  if (either(kReadWindow)) return is(Ask::readWindow);
  if (either(kButtons)) return is(Ask::buttons);
  if (either(kMenus)) return is(Ask::menus);
  if (auto menu = afterStart(words, kMenuItems)) {
    Heard named(*menu);
    bool titled =
        !named.words.empty() &&
        std::find(kMenuTitles.begin(), kMenuTitles.end(), named.words[0]) != kMenuTitles.end() &&
        named.words.size() <= 2;
    if (!menu->empty() && (named.hasAny({"menu", "menus"}) || titled)) {
      step.words = *menu;
      return is(Ask::menuItems);
    }
  }
  if (auto what = afterStart(words, kClick); what && !what->empty() && !meantElse(*what)) {
    step.words = *what;
    return is(Ask::click);
  }
  for (const auto& verb : kType) {
    if (!words.starts(verb)) continue;
    step.typed = typedPart(heard, verb, files::trim(words.text.substr(verb.size())));
    return is(Ask::type);
  }
  if (either(kSelection)) return is(Ask::selection);
  if (either(kClipboard)) return is(Ask::clipboard);
  step.inherited = !step.app && inherits;
  if ((step.app || inherits) && !step.words.empty()) return is(Ask::menu);
  return std::nullopt;
}

std::optional<std::string> AppDesk::axHear(const Heard& heard, const std::function<void()>& taken) {
  auto step = claim(heard, false);
  if (!step) return std::nullopt;
  if (taken) taken();
  return start({*step}, "");
}

std::optional<std::string> AppDesk::sequenceHear(const Heard& heard) {
  if (heard.hasAny({"spotify", "youtube"})) return std::nullopt;
  const std::string& text = heard.text;
  std::size_t at = text.find(" and then ");
  std::size_t gap = 10;
  if (at == std::string::npos) {
    at = text.find(" then ");
    gap = 6;
  }
  if (at == std::string::npos) return std::nullopt;
  std::string first = text.substr(0, at);
  std::string second = files::trim(text.substr(at + gap));
  auto one = claim(Heard(first), false);
  if (!one || second.empty()) return std::nullopt;
  auto two = claim(Heard(second), one->app.has_value());
  engine_.logLine("sequence: " + first + " | " + second);
  std::vector<Step> steps = {*one};
  if (two) steps.push_back(*two);
  return start(std::move(steps), two ? "" : second);
}

std::string AppDesk::start(std::vector<Step> steps, std::string then) {
  // Diagnostic runs act at once, so the trace shows the whole decision.
  if (parts_.opt.fast) {
    std::string outcome;
    engine_.run([&](int gen) { outcome = runSteps(gen, steps, 0, std::nullopt, then); });
    return outcome;
  }
  engine_.run([this, steps = std::move(steps), then = std::move(then)](int gen) {
    runSteps(gen, steps, 0, std::nullopt, then);
  });
  return "app";
}

std::string AppDesk::runSteps(int gen, std::vector<Step> steps, std::size_t from,
                              std::optional<RunningApp> carried, std::string then) {
  const bool inSequence = steps.size() > 1;
  for (std::size_t i = from; i < steps.size(); ++i) {
    const Step& step = steps[i];
    if (step.ask != Ask::clipboard && !access_.trusted()) {
      engine_.logLine("app control: the accessibility service does not answer");
      say(gen, kUntrusted);
      return "untrusted";
    }
    std::optional<RunningApp> app;
    if (step.ask == Ask::whichApp && !step.app) {
      // Our own window in front is no other app.
      app = access_.frontApp();
      if (app && app->pid == parts_.ownAppPid) {
        say(gen,
            "Just me, " + engine_.currentProfile().assistantName + ". No other app is in front.");
        return "said";
      }
      if (!app) app = targetApp(gen, std::nullopt);
    } else if (step.ask != Ask::clipboard) {
      app = step.app || !carried ? targetApp(gen, step.app) : carried;
    }
    if (step.ask != Ask::clipboard && !app) return "no app";
    Onwards onwards = [this, steps, i, app, then](int later) {
      runSteps(later, steps, i + 1, app, then);
    };
    Went went = runStep(gen, step, app, inSequence, onwards);
    if (went == Went::nothing) {
      then = step.words;
      break;
    }
    if (went == Went::asked) return "asked";
    if (went != Went::done) return "failed";
    if (app) carried = app;
    if (!engine_.alive(gen)) return "superseded";
  }
  if (!then.empty()) return engine_.requests().hear(then);
  return "acted";
}

std::optional<RunningApp> AppDesk::running(const std::string& name) {
  for (auto& app : access_.apps()) {
    RunningApp spoken = spokenAs(app);
    if (app.name == name || spoken.name == name) return spoken;
  }
  return std::nullopt;
}

std::optional<RunningApp> AppDesk::targetApp(int gen, const std::optional<std::string>& name) {
  if (name) {
    auto app = running(*name);
    if (!app) say(gen, *name + " isn't open any more.");
    return app;
  }
  auto front = access_.frontApp();
  if (front && front->pid != parts_.ownAppPid) {
    RunningApp app = spokenAs(*front);
    MutexLock hold(lock_);
    lastFrontApp_ = app.name;
    return app;
  }
  if (auto last = lastFrontApp()) {
    if (auto app = running(*last)) return app;
  }
  say(gen, kNoApp);
  return std::nullopt;
}

AppDesk::Went AppDesk::runStep(int gen, const Step& step, std::optional<RunningApp>& target,
                               bool inSequence, const Onwards& onwards) {
  auto tell = [&](const std::string& sentence) {
    say(gen, sentence);
    return Went::done;
  };
  if (step.ask == Ask::clipboard) {
    std::optional<std::string> text;
    if (parts_.clipboard) text = parts_.clipboard();
    if (!text) engine_.logLine("clipboard: neither wl-paste nor xclip is installed");
    return tell(appsentences::clipboard(text.value_or("")));
  }
  const RunningApp& app = *target;
  const std::string& name = app.name;
  switch (step.ask) {
    case Ask::where:
    case Ask::whichApp: {
      auto front = access_.focusedWindow(app);
      std::optional<Focus> focus;
      if (front && step.ask == Ask::where) focus = access_.focusedElement(app);
      return tell(appsentences::where(name, front, focus));
    }
    case Ask::readWindow: {
      auto dialog = access_.dialog(app);
      auto shown = dialog ? dialog : access_.focusedWindow(app);
      auto contents = shown ? access_.contents(shown->element) : WindowContents{};
      return tell(appsentences::window(name, dialog, shown, contents));
    }
    case Ask::buttons: {
      auto shown = access_.dialog(app);
      if (!shown) shown = access_.focusedWindow(app);
      auto controls = shown ? access_.contents(shown->element).controls : std::vector<ScreenItem>{};
      return tell(appsentences::buttons(name, controls));
    }
    case Ask::menus:
      return tell(appsentences::menus(name, access_.menus(app)));
    case Ask::menuItems:
      return tell(appsentences::menuItems(name, access_.menus(app), step.words));
    case Ask::selection:
      return tell(appsentences::selection(name, access_.selectedText(app)));
    case Ask::click:
      return click(gen, app, step, inSequence, onwards);
    case Ask::type:
      return typeInto(gen, app, step.typed);
    case Ask::menu: {
      Went went = menuHear(gen, app, true, step.words, inSequence, onwards);
      if (went == Went::nothing && step.inherited) return went;
      if (went == Went::nothing) {
        say(gen, "I can't find that in " + name + "'s menus.");
        return Went::failed;
      }
      return went;
    }
    case Ask::clipboard:
      break;
  }
  return Went::failed;
}

AppDesk::Went AppDesk::typeInto(int gen, const RunningApp& app, const std::string& text) {
  if (text.empty()) {
    say(gen, "What shall I type? Say type, and the words.");
    return Went::failed;
  }
  switch (access_.typeText(app, text)) {
    case Typed::passwordBox:
      engine_.logLine("type refused");
      say(gen, "That's a password box. I don't type into those. Please type it yourself.");
      return Went::failed;
    case Typed::failed:
      failed(gen, "I couldn't type into " + app.name + ".");
      return Went::failed;
    case Typed::typed:
      engine_.logLine("typed into " + app.name);
      say(gen, "Typed, in " + app.name + ".");
      return Went::done;
  }
  return Went::failed;
}

AppDesk::Went AppDesk::menuHear(int gen, const RunningApp& app, bool named,
                                const std::string& words, bool inSequence, const Onwards& onwards) {
  auto menus = access_.menus(app);
  if (!menus || (menus->entries.empty() && !menus->complete)) {
    say(gen, app.name + "." + kCantRead);
    return Went::failed;
  }
  const auto& entries = menus->entries;
  auto match = matchCommand(words, entries, {app.name}, !named);
  if (!match || !match->sure) {
    // "show the library" while the menu offers "Hide Library": it shows already.
    auto spoken = commandWords(words);
    bool show = std::count(spoken.begin(), spoken.end(), "show") > 0;
    bool hide = std::count(spoken.begin(), spoken.end(), "hide") > 0;
    if (show != hide) {
      std::vector<std::string> wanted;
      for (auto& word : spoken) {
        if (word != "show" && word != "hide" && !commandNoise().count(word)) wanted.push_back(word);
      }
      std::sort(wanted.begin(), wanted.end());
      for (const auto& entry : entries) {
        auto item = commandWords(entry.path.back());
        if (item.empty() || item[0] != (show ? "hide" : "show")) continue;
        std::vector<std::string> rest(item.begin() + 1, item.end());
        std::sort(rest.begin(), rest.end());
        if (rest.empty() || rest != wanted) continue;
        std::string what = entry.path.back().substr(5);
        say(gen,
            what + (show ? " is already showing in " : " is already hidden in ") + app.name + ".");
        return Went::done;
      }
    }
  }
  if (!match) return Went::nothing;
  const MenuEntry entry = entries[match->index];
  const std::string& item = entry.path.back();
  auto choose = [this, app, entry, inSequence](int later) {
    return chooseMenu(later, app, entry, inSequence);
  };
  if (!match->sure) {
    return askFirst("The closest thing in " + app.name + " is " + item + ". Shall I choose it?",
                    "menu " + joined(entry.path), choose, onwards);
  }
  if (isRiskyCommand(item)) {
    engine_.logLine("menu? " + app.name + ": " + joined(entry.path));
    return askFirst(item + ", in " + app.name + ". Shall I go ahead?", "menu " + joined(entry.path),
                    choose, onwards);
  }
  return chooseMenu(gen, app, entry, inSequence);
}

AppDesk::Went AppDesk::chooseMenu(int gen, const RunningApp& app, const MenuEntry& entry,
                                  bool inSequence) {
  const std::string& item = entry.path.back();
  if (!access_.trusted()) {
    say(gen, kUntrusted);
    return Went::failed;
  }
  auto enabled = access_.enabled(entry.element);
  if (enabled && !*enabled) {
    say(gen, item + " is greyed out in " + app.name + " right now, so it can't be chosen.");
    return Went::failed;
  }
  engine_.logLine("menu " + app.name + ": " + joined(entry.path));
  return pressAndTell(gen, app, entry.element, item, inSequence);
}

AppDesk::Went AppDesk::click(int gen, const RunningApp& app, const Step& step, bool inSequence,
                             const Onwards& onwards) {
  auto shown = access_.dialog(app);
  if (!shown) shown = access_.focusedWindow(app);
  auto controls = shown ? access_.contents(shown->element).controls : std::vector<ScreenItem>{};
  std::vector<std::string> ignoring = kControlWords;
  ignoring.push_back(app.name);
  if (auto index = matchControl(step.words, names(controls), ignoring)) {
    const ScreenItem control = controls[*index];
    auto press = [this, app, control, inSequence](int later) {
      return pressAndTell(later, app, control.element, control.name, inSequence);
    };
    if (isRiskyCommand(control.name)) {
      return askFirst("Press " + control.name + ", in " + app.name + "? Say yes or no.",
                      "press " + control.name, press, onwards);
    }
    return press(gen);
  }
  // A name that is a menu command is chosen from the menus.
  Went went = menuHear(gen, app, step.app.has_value(), step.words, inSequence, onwards);
  if (went != Went::nothing) return went;
  if (controls.empty()) {
    say(gen, "I can't find anything to click in " + app.name + "'s window.");
  } else {
    say(gen, "I can't find that in " + app.name + ". I can see: " + spokenList(names(controls), 8) +
                 ".");
  }
  return Went::failed;
}

AppDesk::Went AppDesk::pressAndTell(int gen, const RunningApp& app, AccessNode element,
                                    const std::string& name, bool inSequence) {
  auto before = access_.dialog(app);
  if (!access_.press(element)) {
    failed(gen, "I found " + name + " in " + app.name + ", but it wouldn't respond.");
    return Went::failed;
  }
  // A dialog the press opened may take a moment to appear.
  std::string report;
  for (int look = 0; look < 5; ++look) {
    auto now = access_.dialog(app);
    if (now && (!before || now->element != before->element)) {
      report = " " + dialogReport(app);
      break;
    }
    parts_.runtime.sleep(0.1);
  }
  say(gen, (inSequence ? name + ", in " + app.name + ". Done."
                       : "Done: " + name + ", in " + app.name + ".") +
               report);
  return Went::done;
}

std::string AppDesk::dialogReport(const RunningApp& app) {
  auto dialog = access_.dialog(app);
  if (!dialog) return "";
  auto contents = access_.contents(dialog->element);
  std::string texts = sentences(contents.texts, 12);
  if (texts.empty() && contents.controls.empty())
    return app.name + " opened a window I can't read.";
  std::string report = app.name + " is now asking: " +
                       (texts.empty() ? (dialog->name.empty() ? "something, with no words."
                                                              : sentences({dialog->name}, 1))
                                      : texts);
  if (!contents.controls.empty()) {
    report += " The buttons are " + spokenList(names(contents.controls), 8) +
              ". Say click, and the one you want.";
  }
  return report;
}

AppDesk::Went AppDesk::askFirst(const std::string& question, const std::string& what,
                                std::function<Went(int gen)> action, const Onwards& onwards) {
  auto work = [action = std::move(action), onwards](int gen) {
    Went went = action(gen);
    if (went == Went::done && onwards) onwards(gen);
    return went;
  };
  std::lock_guard guard(engine_.lock);
  engine_.requests().confirm(question, what, [this, work] {
    if (parts_.opt.fast) {
      std::string outcome;
      engine_.run([&](int gen) { outcome = work(gen) == Went::done ? "acted" : "failed"; });
      return outcome;
    }
    engine_.run([work](int gen) { work(gen); });
    return std::string("app");
  });
  return Went::asked;
}

void AppDesk::say(int gen, const std::string& sentence) {
  engine_.say(sentence, gen);
}

void AppDesk::failed(int gen, const std::string& sentence) {
  engine_.logLine("app action failed: " + sentence);
  {
    std::lock_guard guard(engine_.lock);
    engine_.requests().noteMistake("an app action failed");
  }
  say(gen, sentence);
}

}  // namespace orvo
