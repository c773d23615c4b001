#include "compose/moods.h"

#include <algorithm>

namespace orvo {

const std::vector<Mood>& moods() {
  static const std::vector<Mood> table = {
      {"sad",
       true,
       {{0, true},
        {8, false},
        {3, false},
        {10, false},
        {0, true},
        {8, false},
        {5, true},
        {7, false}},
       2.6,
       0.5,
       {"sad", "melancholy", "melancholic", "blue", "rainy", "lonely", "heartbroken", "emotional",
        "cry"}},
      {"happy",
       false,
       {{0, false},
        {7, false},
        {9, true},
        {5, false},
        {0, false},
        {7, false},
        {5, false},
        {7, false}},
       1.7,
       0.8,
       {"happy", "joyful", "bright", "cheerful", "upbeat", "sunny", "fun"}},
      {"calm",
       false,
       {{0, false},
        {5, false},
        {0, false},
        {7, false},
        {9, true},
        {5, false},
        {0, false},
        {7, false}},
       3.0,
       0.35,
       {"calm", "peaceful", "relaxing", "relax", "gentle", "soft", "quiet", "sleep", "sleepy",
        "soothing", "chill"}},
      {"epic",
       true,
       {{0, true},
        {10, false},
        {8, false},
        {7, false},
        {0, true},
        {10, false},
        {8, false},
        {7, false}},
       2.0,
       0.7,
       {"epic", "dramatic", "powerful", "heroic", "intense", "cinematic", "movie", "battle",
        "big"}},
      {"dreamy",
       false,
       {{0, false},
        {2, false},
        {0, false},
        {2, false},
        {9, true},
        {2, false},
        {5, false},
        {0, false}},
       2.8,
       0.45,
       {"dreamy", "dream", "magical", "mysterious", "floating", "space", "wonder", "starry",
        "night"}},
      {"hopeful",
       true,
       {{0, true},
        {5, false},
        {0, true},
        {5, false},
        {8, false},
        {10, false},
        {0, true},
        {5, false}},
       2.3,
       0.6,
       {"hopeful", "hope", "bittersweet", "nostalgic", "nostalgia", "warm", "beautiful", "pretty",
        "lovely"}},
  };
  return table;
}

const Mood* moodNamed(const std::string& name) {
  for (const Mood& mood : moods()) {
    if (mood.name == name) return &mood;
  }
  return nullptr;
}

std::optional<Mood> moodIn(const std::vector<std::string>& heardWords,
                           const std::vector<std::string>& (*extra)(const std::string& mood)) {
  auto heard = [&](const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
      return std::find(heardWords.begin(), heardWords.end(), word) != heardWords.end();
    });
  };
  for (const Mood& mood : moods()) {
    if (heard(mood.words)) return mood;
  }
  if (extra) {
    for (const Mood& mood : moods()) {
      if (heard(extra(mood.name))) return mood;
    }
  }
  return std::nullopt;
}

}  // namespace orvo
