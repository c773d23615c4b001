#include "apps/app-names.h"

#include <algorithm>
#include <cctype>

namespace orvo {
namespace {

// Words too general to name one app alone.
bool generic(const std::string& word) {
  static const std::vector<std::string> words = {
      "the",  "and",    "for",    "app",     "apps",    "editor", "viewer", "player",
      "tool", "tools",  "client", "manager", "program", "browser", "office", "settings",
      "application"};
  return word.size() < 3 || std::find(words.begin(), words.end(), word) != words.end();
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool runs(const DesktopEntry& entry, const std::string& process) {
  const std::string p = lower(process);
  for (const std::string* each :
       {&entry.program, &entry.programFile, &entry.windowClass, &entry.name}) {
    if (!each->empty() && lower(*each) == p) return true;
  }
  // "soffice.bin" runs what "soffice" names.
  return !entry.programFile.empty() && lower(entry.programFile) + ".bin" == p;
}

void add(std::vector<std::string>& calls, const std::string& phrase) {
  if (phrase.empty() || std::find(calls.begin(), calls.end(), phrase) != calls.end()) return;
  calls.push_back(phrase);
}

}  // namespace

std::string plainPhrase(const std::string& text) {
  std::string out;
  bool gap = false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || byte >= 0x80) {
      if (gap && !out.empty()) out += ' ';
      out += static_cast<char>(std::tolower(byte));
      gap = false;
    } else {
      gap = true;
    }
  }
  return out;
}

std::vector<std::string> callsOf(const DesktopEntry& entry) {
  std::vector<std::string> calls;
  const std::string whole = plainPhrase(entry.name);
  add(calls, whole);
  add(calls, plainPhrase(entry.genericName));
  std::size_t start = 0;
  while (start < whole.size()) {
    std::size_t space = whole.find(' ', start);
    if (space == std::string::npos) space = whole.size();
    const std::string word = whole.substr(start, space - start);
    if (!generic(word)) add(calls, word);
    start = space + 1;
  }
  return calls;
}

KnownApp knownApp(const std::string& process, const std::string& windowTitle,
                  const std::vector<DesktopEntry>& entries) {
  KnownApp app{process, process, {}};
  std::vector<const DesktopEntry*> running;
  for (const DesktopEntry& entry : entries) {
    if (runs(entry, process)) running.push_back(&entry);
  }
  const std::string title = lower(windowTitle);
  // The longest entry name the title holds ("LibreOffice Writer", not
  // "LibreOffice"), else the shortest of them.
  const DesktopEntry* named = nullptr;
  for (const DesktopEntry* entry : running) {
    const bool inTitle = !title.empty() && title.find(lower(entry->name)) != std::string::npos;
    if (inTitle && (!named || entry->name.size() > named->name.size())) named = entry;
  }
  for (const DesktopEntry* entry : running) {
    const bool titled = named && title.find(lower(named->name)) != std::string::npos;
    if (!titled && (!named || entry->name.size() < named->name.size())) named = entry;
  }
  if (named) {
    app.spoken = named->name;
    for (const DesktopEntry* entry : running) {
      for (const std::string& call : callsOf(*entry)) add(app.calls, call);
    }
    add(app.calls, plainPhrase(named->program));
  }
  const std::string whole = plainPhrase(process);
  add(app.calls, whole);
  // Unknown to the desktop, "Logic Pro" is still "logic".
  if (!named && whole.find(' ') != std::string::npos &&
      !generic(whole.substr(0, whole.find(' ')))) {
    add(app.calls, whole.substr(0, whole.find(' ')));
  }
  std::stable_sort(app.calls.begin(), app.calls.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return app;
}

}  // namespace orvo
