#include "player/memory.h"

#include <algorithm>

#include "platform/files.h"
#include "player/json-file.h"

namespace orvo {

Memory Memory::load(const std::filesystem::path& file) {
  return parse(files::readFile(file));
}

Memory Memory::parse(const std::optional<std::string>& text) {
  return fromDocument(text ? jsonfile::parseObject(*text) : std::nullopt);
}

Memory Memory::fromDocument(const std::optional<nlohmann::json>& document) {
  Memory memory;
  if (!document) return memory;
  auto& doc = *document;
  memory.extra = doc;
  if (doc.contains("dropped") && doc["dropped"].is_array()) {
    for (auto& title : doc["dropped"]) {
      if (title.is_string()) memory.dropped.push_back(title);
    }
  }
  if (doc.contains("lastSong") && doc["lastSong"].is_string()) memory.lastSong = doc["lastSong"];
  if (doc.contains("lastOpened") && doc["lastOpened"].is_string()) {
    memory.lastOpened = doc["lastOpened"];
  }
  if (doc.contains("pieces") && doc["pieces"].is_array()) memory.pieces = doc["pieces"];
  auto whole = [&](const char* key, int low, int high) -> std::optional<int> {
    return doc.contains(key) ? jsonfile::wholeNumber(doc[key], low, high) : std::nullopt;
  };
  if (auto n = whole("partsLearned", 0, 1'000'000)) memory.partsLearned = *n;
  if (auto n = whole("jazzLesson", 0, 1'000)) memory.jazzLesson = *n;
  if (auto n = whole("composeIdea", 0, 1'000'000)) memory.composeIdea = *n;
  return memory;
}

bool Memory::save(const std::filesystem::path& file) const {
  return files::writeFileAtomically(file, text());
}

std::string Memory::text() const {
  nlohmann::json doc = extra.is_object() ? extra : nlohmann::json::object();
  doc["dropped"] = dropped;
  doc["lastSong"] = lastSong;
  doc["lastOpened"] = lastOpened;
  doc["pieces"] = pieces;
  doc["partsLearned"] = partsLearned;
  if (jazzLesson) {
    doc["jazzLesson"] = *jazzLesson;
  } else {
    doc.erase("jazzLesson");
  }
  doc["composeIdea"] = composeIdea;
  return jsonfile::text(doc);
}

bool Memory::drop(const std::string& title) {
  if (std::find(dropped.begin(), dropped.end(), title) != dropped.end()) return false;
  dropped.push_back(title);
  return true;
}

}  // namespace orvo
