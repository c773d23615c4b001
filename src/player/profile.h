#pragma once
// The player's profile: who they are, what the assistant is called, and
// whether they want the neural voice. Kept in "profile.json".

#include <filesystem>
#include <optional>
#include <string>
#include "platform/window-lines.h"

#include <nlohmann/json.hpp>

namespace orvo {

struct Profile {
  std::string userName;
  std::string assistantName = "Orvo";
  bool neuralVoice = false;
  nlohmann::json extra = nlohmann::json::object();  // fields of later versions, kept as they were

  // Defaults when the file is missing or corrupt.
  static Profile load(const std::filesystem::path& file);
  // From the text of its file; defaults for what is missing or malformed.
  static Profile parse(const std::optional<std::string>& text);
  // From its document, already read.
  static Profile fromDocument(const std::optional<nlohmann::json>& document);
  std::string text() const;
  bool save(const std::filesystem::path& file) const;

  // The first-run setup line's fields, "user|assistant|voice"; missing fields
  // keep their current values. Nothing when there is no field at all.
  std::optional<Profile> withSetup(const std::string& fields) const;

  // What the player has said about themselves, for the AI's prompts ("about").
  std::string about() const {
    auto found = extra.is_object() ? extra.find("about") : extra.end();
    return found != extra.end() && found->is_string() ? found->get<std::string>() : "";
  }

  // The window line with both names.
  std::string nameLine() const { return lines::name(userName, assistantName); }
};

}  // namespace orvo
