#include "sound/output-route.h"

#include <nlohmann/json.hpp>

namespace orvo {

std::string OutputChoice::json() const {
  return nlohmann::json{{"voice", voice}, {"music", music}}.dump(2) + "\n";
}

OutputChoice OutputChoice::fromJson(const std::optional<std::string>& text) {
  if (!text) return {};
  auto parsed = nlohmann::json::parse(*text, nullptr, false);
  if (!parsed.is_object()) return {};
  auto field = [&](const char* name) {
    auto it = parsed.find(name);
    return it != parsed.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  return {field("voice"), field("music")};
}

}  // namespace orvo
