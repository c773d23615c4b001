#pragma once
// Matching a spoken sentence to a menu command: the words of both sides
// brought to one form (synonyms, plurals), the filler words dropped, and a
// score that prefers an item whose every word was said. Pure functions.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "apps/access-backend.h"

namespace orvo {

// The words of a text in the form matching compares: lower case, split at
// every character that is not a letter or digit ("Logic's" is "logic" and
// "s"), each looked up in the synonym table as heard, else with a final "s"
// trimmed ("ss" stays) and looked up again ("tracks" is "track", "prefs" is
// "settings").
std::vector<std::string> commandWords(std::string_view text);
// Words ignored when matching ("the", "please", "menu" ...).
const std::unordered_set<std::string>& commandNoise();
// A command with one of these words always asks first.
const std::unordered_set<std::string>& riskyCommandWords();
bool isRiskyCommand(std::string_view name);

struct CommandMatch {
  std::size_t index = 0;  // into the entries
  bool sure = false;
  double score = 0.0;
};

// The best entry for the sentence, or none. Filler words count on neither
// side, so "zoom in" is all of "Zoom In". `ignoring`: words that name the app
// rather than the command. `strict`: the app was not named, so a sure
// match needs nearly every spoken word to be on the item or its menu.
std::optional<CommandMatch> matchCommand(std::string_view text,
                                         const std::vector<MenuEntry>& entries,
                                         const std::vector<std::string>& ignoring, bool strict);

// The control whose name best matches the sentence: the most of its name
// said, then the most of the sentence on it; the first on a tie. None when
// no word is shared.
std::optional<std::size_t> matchControl(std::string_view text,
                                        const std::vector<std::string>& names,
                                        const std::vector<std::string>& ignoring);

}  // namespace orvo
