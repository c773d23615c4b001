#include "compose/saved-piece.h"

namespace orvo {

std::vector<SavedPiece> savedPieces(const nlohmann::json& pieces) {
  std::vector<SavedPiece> out;
  if (!pieces.is_array()) return out;
  for (const auto& each : pieces) {
    if (!each.is_object()) continue;
    SavedPiece piece;
    if (auto date = each.find("date"); date != each.end() && date->is_number()) {
      piece.date = date->get<double>();
    }
    if (auto key = each.find("key"); key != each.end() && key->is_string()) {
      piece.key = key->get<std::string>();
    }
    if (auto roots = each.find("roots"); roots != each.end() && roots->is_array()) {
      for (const auto& root : *roots) {
        if (root.is_number_integer()) piece.roots.push_back(root.get<int>());
      }
    }
    if (auto seconds = each.find("seconds"); seconds != each.end() && seconds->is_number()) {
      piece.seconds = static_cast<int>(seconds->get<double>());
    }
    out.push_back(std::move(piece));
  }
  return out;
}

nlohmann::json toJson(const SavedPiece& piece) {
  return {
      {"date", piece.date}, {"key", piece.key}, {"roots", piece.roots}, {"seconds", piece.seconds}};
}

}  // namespace orvo
