#include "voice/wake-name.h"

#include "matchers.h"
#include "voice/wake-words.h"

namespace orvo::wake {
namespace {

TEST(WakeName, WordsSoundsAndEdits) {
  EXPECT_EQ(words("Hey, Jarvus! New-composition 2day"),
            (std::vector<std::string>{"hey", "jarvus", "new", "composition", "2day"}));
  EXPECT_EQ(words("Café ÉTÉ 😀 ok"), (std::vector<std::string>{"café", "été", "ok"}));
  EXPECT_TRUE(words("... !!! 😀😀").empty());
  EXPECT_EQ(words("\xff\xfe broken \xe2\x82"), (std::vector<std::string>{"broken"}));

  EXPECT_EQ(sound("jarvis"), "jarfes");
  EXPECT_EQ(sound("charvis"), "jarfes");
  EXPECT_EQ(sound("Knight"), "net");  // kn, then gh, go before the classes
  EXPECT_EQ(sound("Phoenix"), "faenes");
  EXPECT_EQ(sound("aaa"), "a");
  EXPECT_EQ(sound(""), "");

  EXPECT_EQ(steps("kitten", "sitting"), 3);
  EXPECT_EQ(steps("", "abc"), 3);
  EXPECT_EQ(steps("same", "same"), 0);
  EXPECT_TRUE(oneEditApart("jarvis", "jarbis"));
  EXPECT_TRUE(oneEditApart("jarvis", "javis"));
  EXPECT_TRUE(oneEditApart("javis", "jarvis"));
  EXPECT_FALSE(oneEditApart("jarvis", "jarvis"));
  EXPECT_FALSE(oneEditApart("jarvis", "jorbis"));
  EXPECT_FALSE(oneEditApart("jarvis", "jarvisss"));
}

TEST(WakeName, StrictAndLooseNamesForKnownAndUnknownNames) {
  // "jarvis": its list, its prefixes and one edit for 5 to 7 letters.
  for (auto word : {"jarvis", "jarvus", "travis", "jarvisss", "jervis", "harvis", "jarbis"}) {
    EXPECT_TRUE(isName(word, "jarvis")) << word;
  }
  for (auto word : {"davis", "jar", "service", "jarbisxx", ""}) {
    EXPECT_FALSE(isName(word, "jarvis")) << word;
  }
  for (auto word : {"davis", "jeeves", "jarbis", "dravis", "shervis"}) {
    EXPECT_TRUE(looseName(word, "jarvis")) << word;
  }
  for (auto word : {"travis", "gives", "thursday", "jar", "jarviseses"}) {
    EXPECT_FALSE(looseName(word, "jarvis")) << word;
  }

  // A known name relies on its lists; one edit counts only for long names.
  EXPECT_TRUE(isName("apolo", "apollo"));
  EXPECT_TRUE(isName("apollp", "apollo"));
  EXPECT_FALSE(isName("hello", "apollo"));
  EXPECT_FALSE(isName("bpollo", "apollo"));  // the first letter must agree
  EXPECT_TRUE(looseName("hello", "apollo"));
  EXPECT_TRUE(looseName("follow", "apollo"));
  EXPECT_FALSE(looseName("paul", "apollo"));

  // A name not in the table: its sound, away from everyday words.
  EXPECT_TRUE(isName("novah", "nova"));
  EXPECT_FALSE(isName("nov", "nova"));
  EXPECT_TRUE(looseName("noba", "nova"));
  EXPECT_FALSE(looseName("nover", "nova"));
  EXPECT_FALSE(looseName("the", "nova"));
  EXPECT_FALSE(looseName("kova", "nova"));  // the codes must start alike

  EXPECT_EQ(keyOf("Orvo!"), "orvo");
  EXPECT_EQ(keyOf("42"), "orvo");
}

TEST(WakeName, TidyRewritesEveryFormOfTheName) {
  EXPECT_EQ(tidy("Jar vis new composition", "jarvis"), "Jarvis new composition");
  EXPECT_EQ(tidy("Hey Jarvus, new composition", "jarvis"), "Hey Jarvis new composition");
  EXPECT_EQ(tidy("Charvis new composition", "jarvis"), "Jarvis new composition");
  EXPECT_EQ(tidy("hey davis play", "jarvis"), "hey Jarvis play");
  EXPECT_EQ(tidy("we were talking drivers new composition", "jarvis"),
            "we were talking drivers new composition");
  // The default name: its spellings, its splits, after a greeting.
  EXPECT_EQ(tidy("Orbo new composition", "orvo"), "Jarvis new composition");
  EXPECT_EQ(tidy("or vo  play jazz", "orvo"), "Jarvis play jazz");
  EXPECT_EQ(tidy("ok volvo play jazz", "orvo"), "ok Jarvis play jazz");
  EXPECT_EQ(tidy("my volvo is red", "orvo"), "my volvo is red");
  // Someone else's assistant is not ours.
  EXPECT_EQ(tidy("Jarvis play", "orvo"), "somebody play");
  EXPECT_EQ(tidy("", "orvo"), "");
}

TEST(WakeWords, ListsHoldTheirWordsAndTheDefaultNameIsKnown) {
  const WordLists& l = lists();
  EXPECT_EQ(l.everyday.size(), 93u);
  EXPECT_EQ(l.dangling.size(), 72u);
  EXPECT_EQ(l.whole.size(), 32u);
  EXPECT_EQ(l.quick.size(), 31u);
  EXPECT_EQ(l.looseNames.size(), 13u);
  EXPECT_EQ(l.neverName.size(), 23u);
  EXPECT_EQ(l.firstHalves.size(), 9u);
  EXPECT_EQ(l.secondHalves.size(), 15u);
  EXPECT_EQ(l.openers.size(), 9u);
  EXPECT_EQ(knownNames().size(), 11u);
  const KnownName* orvo = known("orvo");
  ASSERT_NE(orvo, nullptr);
  EXPECT_EQ(orvo->strict.size(), 9u);
  EXPECT_EQ(orvo->pairs.size(), 4u);
  EXPECT_EQ(orvo->loose.size(), 8u);
  EXPECT_EQ(orvo->uncertainAlone.size(), 4u);
  // Words not trusted alone are loose words, and no loose word is an everyday one.
  for (const auto& [name, entry] : knownNames()) {
    for (auto word : entry.uncertainAlone) EXPECT_TRUE(entry.loose.count(word)) << name << word;
    if (name != "orvo") continue;
    for (auto word : entry.loose) EXPECT_FALSE(l.everyday.count(word)) << word;
  }
  EXPECT_EQ(known("nobody"), nullptr);
}

}  // namespace
}  // namespace orvo::wake
