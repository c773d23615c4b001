#include "player/json-file.h"

#include "platform/files.h"

namespace orvo::jsonfile {
namespace {

// Our documents nest a few levels; the parser and the copies of a document
// recurse once a level, so a hostile file could otherwise use up the stack.
constexpr int kDeepest = 64;

bool nestsTooDeep(const std::string& text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kDeepest) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace

std::optional<nlohmann::json> parseObject(const std::string& text) {
  if (text.size() > kLongest || nestsTooDeep(text)) return std::nullopt;
  auto document = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded() || !document.is_object()) return std::nullopt;
  return document;
}

std::optional<nlohmann::json> readDocument(Store& store, const std::string& name,
                                           std::size_t longest) {
  auto text = store.read(name);
  if (!text) return std::nullopt;
  // An empty file is as good as none: it holds nothing to keep.
  if (text->find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
  auto document = text->size() <= longest ? parseObject(*text) : std::nullopt;
  if (!document) store.keepAsItIs(name);
  return document;
}

std::optional<nlohmann::json> readObject(const std::filesystem::path& path) {
  auto text = files::readFile(path, kLongest);
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
