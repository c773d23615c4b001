#pragma once
// What the system remembers of the player between runs, in "memory.json":
// the songs they dropped, the last song, when the app was last opened, their
// saved pieces, how many parts they have learned, the jazz lesson reached and
// the next composing idea.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvo {

struct Memory {
  std::vector<std::string> dropped;
  std::string lastSong;
  std::string lastOpened;  // local time "yyyy-MM-dd HH:mm:ss"; empty before the first run
  nlohmann::json pieces = nlohmann::json::array();  // saved pieces, newest last
  int partsLearned = 0;
  std::optional<int> jazzLesson;
  int composeIdea = 0;
  nlohmann::json extra = nlohmann::json::object();  // fields of later versions, kept as they were

  static Memory load(const std::filesystem::path& file);
  // From the text of its file; defaults for what is missing or malformed.
  static Memory parse(const std::optional<std::string>& text);
  // From its document, already read.
  static Memory fromDocument(const std::optional<nlohmann::json>& document);
  std::string text() const;
  bool save(const std::filesystem::path& file) const;

  // Adds the title to the dropped songs unless it is there already; true when added.
  bool drop(const std::string& title);
};

}  // namespace orvo
