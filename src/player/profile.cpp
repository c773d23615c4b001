#include "player/profile.h"

#include <sstream>
#include <vector>

#include "platform/files.h"
#include "player/json-file.h"

namespace orvo {

Profile Profile::load(const std::filesystem::path& file) {
  return parse(files::readFile(file));
}

Profile Profile::parse(const std::optional<std::string>& text) {
  return fromDocument(text ? jsonfile::parseObject(*text) : std::nullopt);
}

Profile Profile::fromDocument(const std::optional<nlohmann::json>& document) {
  Profile profile;
  if (!document) return profile;
  profile.extra = *document;
  auto& doc = *document;
  if (doc.contains("user") && doc["user"].is_string()) profile.userName = doc["user"];
  if (doc.contains("assistant") && doc["assistant"].is_string() &&
      !files::trim(doc["assistant"].get<std::string>()).empty()) {
    profile.assistantName = doc["assistant"];
  }
  if (doc.contains("neuralVoice") && doc["neuralVoice"].is_boolean()) {
    profile.neuralVoice = doc["neuralVoice"];
  }
  return profile;
}

bool Profile::save(const std::filesystem::path& file) const {
  return files::writeFileAtomically(file, text());
}

std::string Profile::text() const {
  nlohmann::json doc = extra.is_object() ? extra : nlohmann::json::object();
  doc["user"] = userName;
  doc["assistant"] = assistantName;
  doc["neuralVoice"] = neuralVoice;
  return jsonfile::text(doc);
}

std::optional<Profile> Profile::withSetup(const std::string& fields) const {
  std::vector<std::string> parts;
  std::stringstream stream(fields);
  for (std::string part; std::getline(stream, part, '|');) parts.push_back(files::trim(part));
  if (parts.empty()) return std::nullopt;
  Profile result = *this;
  if (!parts[0].empty()) result.userName = parts[0];
  if (parts.size() > 1 && !parts[1].empty()) result.assistantName = parts[1];
  if (parts.size() > 2 && !parts[2].empty()) {
    const std::string& want = parts[2];
    result.neuralVoice = want == "1" || want == "yes" || want == "true" || want == "on";
  }
  return result;
}

}  // namespace orvo
