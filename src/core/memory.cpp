#include "core/memory.h"

#include <algorithm>

#include "core/json-file.h"
#include "platform/files.h"

namespace orvo {

Memory Memory::load(const std::filesystem::path& file) {
  return parse(files::readFile(file));
}

Memory Memory::parse(const std::optional<std::string>& text) {
  Memory memory;
  auto document = text ? jsonfile::parseObject(*text) : std::nullopt;
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
  if (doc.contains("partsLearned") && doc["partsLearned"].is_number_integer()) {
    memory.partsLearned = std::max(0, doc["partsLearned"].get<int>());
  }
  if (doc.contains("jazzLesson") && doc["jazzLesson"].is_number_integer()) {
    memory.jazzLesson = doc["jazzLesson"].get<int>();
  }
  if (doc.contains("composeIdea") && doc["composeIdea"].is_number_integer()) {
    memory.composeIdea = doc["composeIdea"];
  }
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
