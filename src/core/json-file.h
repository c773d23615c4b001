#pragma once
// Small JSON documents in the data folder. A missing, unreadable or corrupt
// file reads as nothing, and the caller falls back to its defaults.

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

namespace orvo::jsonfile {

// The document when the file holds a JSON object.
std::optional<nlohmann::json> readObject(const std::filesystem::path& path);

// Written atomically; false when the write failed.
bool write(const std::filesystem::path& path, const nlohmann::json& document);

}  // namespace orvo::jsonfile
