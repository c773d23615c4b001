#include "sound/output-route.h"

#include <nlohmann/json.hpp>

namespace orvo {

std::string OutputChoice::json() const {
  nlohmann::json document{{"voice", voice}, {"music", music}};
  if (duck) document["duck"] = *duck;
  return document.dump(2) + "\n";
}

OutputChoice OutputChoice::fromJson(const std::optional<std::string>& text) {
  if (!text) return {};
  auto parsed = nlohmann::json::parse(*text, nullptr, false);
  if (!parsed.is_object()) return {};
  auto field = [&](const char* name) {
    auto it = parsed.find(name);
    return it != parsed.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  auto duck = parsed.find("duck");
  return {field("voice"), field("music"),
          duck != parsed.end() && duck->is_boolean() ? std::optional<bool>(duck->get<bool>())
                                                     : std::nullopt};
}

}  // namespace orvo
