#pragma once
// Every word list the listener works with, and the table of assistant names
// it knows how recognisers mishear. Plain data: read-only, any thread.

#include <map>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvo::wake {

using WordSet = std::unordered_set<std::string_view>;
using WordList = std::vector<std::string_view>;

struct WordLists {
  WordList wakeWords;
  WordSet urgent;
  WordList stopWords;
  WordSet fillers;
  WordSet greetings;
  WordSet looseNames;
  WordSet neverName;
  WordSet firstHalves;
  WordSet secondHalves;
  WordSet openers;
  WordSet everyday;
  WordSet dangling;
  WordSet whole;
  WordSet quick;
};

const WordLists& lists();

// How recognisers write one assistant name: exact mishearings taken as the
// name, two-word splits taken as the name, words taken as the name only in
// the loose sense, and words of those not trusted when heard on their own.
struct KnownName {
  WordSet strict;
  WordSet pairs;  // "first second"
  WordSet loose;
  WordSet uncertainAlone;
};

// By the lower-case name.
const std::map<std::string_view, KnownName>& knownNames();
// The entry for a lower-case name; nothing for a name not in the table.
const KnownName* known(std::string_view key);

}  // namespace orvo::wake
