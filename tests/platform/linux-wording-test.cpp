// Every sentence the engine can say on Linux, read from the sources: none
// names the Mac, its apps or its settings. The Mac's own wording lives in
// platform/macos/, the one place left out.

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "matchers.h"
#include "platform/files.h"

namespace orvo {
namespace {

struct Literal {
  std::string text;
  int line;
};

// The string literals of a C++ or Lua source, adjacent ones joined as the
// compiler joins them, comments left out.
std::vector<Literal> literals(const std::string& source, bool lua) {
  std::vector<Literal> out;
  bool joinNext = false;
  int line = 1;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\n') ++line;
    const bool lineComment = lua ? source.compare(i, 2, "--") == 0 : source.compare(i, 2, "//") == 0;
    if (lineComment) {
      while (i < source.size() && source[i] != '\n') ++i;
      --i;
      continue;
    }
    if (!lua && source.compare(i, 2, "/*") == 0) {
      const auto end = source.find("*/", i + 2);
      i = end == std::string::npos ? source.size() : end + 1;
      continue;
    }
    if (c == '\'' && !lua) {  // a character literal: '"' is no string
      i += source[i + 1] == '\\' ? 3 : 2;
      continue;
    }
    if (c == '"' || (lua && c == '\'')) {
      std::string text;
      std::size_t j = i + 1;
      for (; j < source.size() && source[j] != c && source[j] != '\n'; ++j) {
        if (source[j] == '\\' && j + 1 < source.size()) ++j;
        text += source[j];
      }
      if (joinNext && !out.empty()) {
        out.back().text += text;
      } else {
        out.push_back({text, line});
      }
      joinNext = true;
      i = j;
      continue;
    }
    if (!std::isspace(static_cast<unsigned char>(c))) joinNext = false;
  }
  return out;
}

TEST(LinuxWording, NoSentenceNamesTheMacItsAppsOrItsSettings) {
  const std::filesystem::path src = std::filesystem::path(ORVO_SOURCE_DIR) / "src";
  const std::regex mac(R"(\bMac\b|Apple|Finder|System Settings|macOS)");
  int read = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    const auto& path = entry.path();
    const auto ext = path.extension();
    if (ext != ".cpp" && ext != ".h" && ext != ".lua") continue;
    if (path.string().find("/platform/macos/") != std::string::npos) continue;
    auto source = files::readFile(path);
    ASSERT_TRUE(source) << path;
    ++read;
    for (const Literal& literal : literals(*source, ext == ".lua")) {
      // A word alone is a name (a menu's title), not a sentence.
      if (literal.text.find(' ') == std::string::npos) continue;
      EXPECT_FALSE(std::regex_search(literal.text, mac))
          << path.lexically_relative(src).string() << ":" << literal.line << ": " << literal.text;
    }
  }
  EXPECT_GT(read, 100);
  // The check itself finds what it looks for.
  auto found = literals("say(\"On this \"\n  \"Mac.\"); // a Mac\n", false);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(std::regex_search(found[0].text, mac));
}

}  // namespace
}  // namespace orvo
