#pragma once
// The words requests are understood by: the recogniser's known mishearings
// and everyday sayings (both rewritten before any rule runs), the known words
// a misspelt long word is matched against, the loose intent rules, and the
// requests a sentence nobody understood may be a guess at. Plain data:
// read-only, any thread.

#include <string_view>
#include <utility>
#include <vector>

namespace orvo::requests {

using Rewrite = std::pair<std::string_view, std::string_view>;  // heard, meant

const std::vector<Rewrite>& mishearings();
const std::vector<Rewrite>& sayings();
const std::vector<std::string_view>& knownWords();

// One loose rule: it matches when every group of `needs` has a phrase
// present and no veto is; it then stands for `means`, with the sentence's
// number ("number") or the whole sentence ("all") carried over.
struct LooseRule {
  std::string_view means;
  std::vector<std::vector<std::string_view>> needs;
  std::vector<std::string_view> vetoes;
  std::string_view keep;
};
const std::vector<LooseRule>& looseRules();

// A request that a sentence may be a guess at, and how the question names it.
struct Guessable {
  std::string_view request;
  std::string_view description;
};
const std::vector<Guessable>& guessable();

}  // namespace orvo::requests
