#pragma once
// Small JSON documents in the data folder. A missing, unreadable or corrupt
// file reads as nothing, and the caller falls back to its defaults.

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/store.h"

namespace orvo::jsonfile {

// Longer than any document of ours could grow (a memory of thousands of
// pieces is under a megabyte): a longer file is not read.
constexpr std::size_t kLongest = 8u << 20;

// The document when the file holds a JSON object.
std::optional<nlohmann::json> readObject(const std::filesystem::path& path);

// The document when the text is a JSON object, nested no deeper than ours
// ever are and no longer than kLongest.
std::optional<nlohmann::json> parseObject(const std::string& text);
// A document of ours from the store: the object it holds, nothing when it is
// missing or empty. One that is there but garbled (nested too deep, longer
// than `longest`) is kept as it is, never written over: the player may want it back.
std::optional<nlohmann::json> readDocument(Store& store, const std::string& name,
                                           std::size_t longest = kLongest);
// The document as the text of its file (invalid UTF-8 replaced, never thrown).
std::string text(const nlohmann::json& document);
// A whole number within [low, high]; nothing for anything else (a value that
// would wrap round an int, a fraction, text), which falls back like a corrupt one.
std::optional<int> wholeNumber(const nlohmann::json& value, int low, int high);
// Written atomically; false when the write failed.
bool write(const std::filesystem::path& path, const nlohmann::json& document);

}  // namespace orvo::jsonfile
