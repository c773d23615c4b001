#pragma once
// What the memory keeps of each saved piece, for comparing new ones with it.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvo {

struct SavedPiece {
  double date = 0;         // seconds since 1970 when saved
  std::string key;         // "E flat major"
  std::vector<int> roots;  // the root path
  int seconds = 0;         // the analysed length, truncated
};

// The memory's "pieces", oldest first; entries that are not pieces are skipped.
std::vector<SavedPiece> savedPieces(const nlohmann::json& pieces);
nlohmann::json toJson(const SavedPiece& piece);

}  // namespace orvo
