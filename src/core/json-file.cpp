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

std::optional<int> wholeNumber(const nlohmann::json& value, int low, int high) {
  if (value.is_number_unsigned()) {
    auto n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(std::max(high, 0))) return std::nullopt;
    int whole = static_cast<int>(n);
    if (whole < low) return std::nullopt;
    return whole;
  }
  if (!value.is_number_integer()) return std::nullopt;
  auto n = value.get<std::int64_t>();
  if (n < low || n > high) return std::nullopt;
  return static_cast<int>(n);
}

}  // namespace orvo::jsonfile
