#include "core/json-file.h"

#include "platform/files.h"

namespace orvo::jsonfile {

std::optional<nlohmann::json> parseObject(const std::string& text) {
  auto document = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded() || !document.is_object()) return std::nullopt;
  return document;
}

std::optional<nlohmann::json> readObject(const std::filesystem::path& path) {
  auto text = files::readFile(path);
  if (!text) return std::nullopt;
  return parseObject(*text);
}

std::string text(const nlohmann::json& document) {
  // Replace invalid UTF-8 rather than throw: a name typed on a strange keyboard must not crash.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool write(const std::filesystem::path& path, const nlohmann::json& document) {
  return files::writeFileAtomically(path, text(document));
}

}  // namespace orvo::jsonfile
