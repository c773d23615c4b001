#include "core/json-file.h"

#include "platform/files.h"

namespace orvo::jsonfile {

std::optional<nlohmann::json> readObject(const std::filesystem::path& path) {
  auto text = files::readFile(path);
  if (!text) return std::nullopt;
  auto document = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded() || !document.is_object()) return std::nullopt;
  return document;
}

bool write(const std::filesystem::path& path, const nlohmann::json& document) {
  // Replace invalid UTF-8 rather than throw: a name typed on a strange keyboard must not crash.
  std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  return files::writeFileAtomically(path, text + "\n");
}

}  // namespace orvo::jsonfile
