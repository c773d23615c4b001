#include "lessons/jazz-course.h"

#include "lessons/music-words.h"

namespace orvo {
namespace {

std::set<int> with(std::set<int> scale, std::initializer_list<int> more) {
  scale.insert(more);
  return scale;
}

}  // namespace

const std::vector<JazzChord>& bluesBars() {
  static const std::vector<JazzChord> bars = {{0, "7"}, {0, "7"}, {0, "7"}, {0, "7"},
                                              {5, "7"}, {5, "7"}, {0, "7"}, {0, "7"},
                                              {7, "7"}, {5, "7"}, {0, "7"}, {7, "7"}};
  return bars;
}

const std::vector<JazzChord>& twoFiveOne() {
  static const std::vector<JazzChord> bars = {{2, "m7"}, {7, "7"}, {0, "maj7"}, {0, "maj7"}};
  return bars;
}

const std::set<int>& bluesScale() {
  static const std::set<int> scale = {0, 3, 5, 6, 7, 10};
  return scale;
}

const std::set<int>& whiteKeys() {
  static const std::set<int> scale = {0, 2, 4, 5, 7, 9, 11};
  return scale;
}

const std::vector<JazzLesson>& jazzLessons() {
  static const std::vector<JazzLesson> lessons = {
      {.title = "Swing",
       .talk = "Jazz starts with the feel, not the notes. Swing means notes come in pairs, long "
               "then short. The first leans back, the second skips into the next beat. Say doo, "
               "bah, doo, bah.",
       .right = "C4/.67 C4/.33 Eb4/.67 F4/.33 G4/2 G4/.67 F4/.33 Eb4/.67 C4/.33 C4/2",
       .left = "",
       .bars = bluesBars(),
       .bpm = 88,
       .choruses = 2,
       .scale = bluesScale(),
       .goal = JamGoal::swing,
       .tip = "Now with the band. Play long, short pairs on C, E flat, F and G.",
       .comp = true,
       .calls = {}},
      {.title = "The blues scale",
       .talk = "Six notes: C, E flat, F, F sharp, G, B flat. Over a blues, every one of them "
               "sounds right, so you cannot play a wrong note. F sharp is the blue note. Pass "
               "through it, do not rest on it.",
       .right = "C4 Eb4 F4 F#4 G4 Bb4 C5/2 C5 Bb4 G4 F#4 F4 Eb4 C4/2",
       .left = "",
       .bars = bluesBars(),
       .bpm = 96,
       .choruses = 2,
       .scale = bluesScale(),
       .goal = JamGoal::scale,
       .tip = "Now improvise. Any of the six notes, in any order.",
       .comp = true,
       .calls = {}},
      {.title = "Less is more",
       .talk = "Beginners play too much. Miles Davis was famous for what he left out. A phrase, "
               "then silence, then another phrase. The silence is part of the solo. Try it with "
               "only three notes.",
       .right = "C4/.67 Eb4/.33 F4/2 r/1 F4/.67 Eb4/.33 C4/2 r/1 Eb4/.67 F4/.33 Eb4/.67 C4/.33 "
                "C4/2",
       .left = "",
       .bars = bluesBars(),
       .bpm = 96,
       .choruses = 2,
       .scale = {0, 3, 5},
       .goal = JamGoal::space,
       .tip = "Only C, E flat and F. Play a short phrase, then stop and listen for a whole bar.",
       .comp = true,
       .calls = {}},
      {.title = "Call and response",
       .talk = "Jazz is a conversation. I play two bars, then you get two bars. Copy what I "
               "said, or answer it your own way. Start by copying my rhythm.",
       .right = "",
       .left = "",
       .bars = bluesBars(),
       .bpm = 88,
       .choruses = 2,
       .scale = bluesScale(),
       .goal = JamGoal::calls,
       .tip = "I go first. You answer in the gap.",
       .comp = true,
       .calls = {"C4/.67 Eb4/.33 F4/2", "G4/.67 F4/.33 Eb4/.67 C4/1.33", "C5 Bb4/.67 G4/.33 F4/2",
                 "Eb4/.67 F4/.33 F#4/.67 G4/1.33", "G4/.67 Bb4/.33 C5/2", "F4/.67 Eb4/.33 C4/2"}},
      {.title = "The twelve bar blues, and shells",
       .talk = "The blues is twelve bars: four of C seven, two of F seven, two of C seven, then "
               "G seven, F seven, C seven, G seven. In the left hand, jazz pianists play shells: "
               "just the third and seventh of each chord. C seven is E and B flat. F seven is E "
               "flat and A. G seven is F and B. Notice each note only moves one step.",
       .right = "",
       .left = "E3+Bb3/4 E3+Bb3/4 E3+Bb3/4 E3+Bb3/4 Eb3+A3/4 Eb3+A3/4 E3+Bb3/4 E3+Bb3/4 F3+B3/4 "
               "Eb3+A3/4 E3+Bb3/4 F3+B3/4",
       .bars = bluesBars(),
       .bpm = 84,
       .choruses = 2,
       .scale = bluesScale(),
       .goal = JamGoal::shells,
       .tip = "Now play the shells with the bass and drums. One shell at the start of each bar.",
       .comp = false,
       .calls = {}},
      {.title = "Land on the third",
       .talk = "A solo sounds like jazz when it lands on the third of each new chord, right as "
               "the chord changes. That is E for C seven, A for F seven, and B for G seven. The "
               "notes in between matter much less than where you land.",
       .right = "E4/3 r/1 E4/3 r/1 E4/3 r/1 E4/3 r/1 A4/3 r/1 A4/3 r/1 E4/3 r/1 E4/3 r/1 B4/3 "
                "r/1 A4/3 r/1 E4/3 r/1 B4/3 r/1",
       .left = "",
       .bars = bluesBars(),
       .bpm = 88,
       .choruses = 2,
       .scale = with(bluesScale(), {4, 9, 11}),
       .goal = JamGoal::targets,
       .tip = "Improvise, and at each chord change, land on the third. I will tell you how many "
              "you caught.",
       .comp = true,
       .calls = {}},
      {.title = "The two five one",
       .talk = "Three chords are in nearly every jazz tune: two, five, one. In C that is D minor "
               "seven, G seven, C major seven. As shells: F and C, then F and B, then E and B. "
               "One finger moves at a time.",
       .right = "",
       .left = "F3+C4/4 F3+B3/4 E3+B3/8 F3+C4/4 F3+B3/4 E3+B3/8",
       .bars = twoFiveOne(),
       .bpm = 92,
       .choruses = 6,
       .scale = whiteKeys(),
       .goal = JamGoal::shells,
       .tip = "Play the three shells with the band, round and round.",
       .comp = false,
       .calls = {}},
      {.title = "One idea, three ways",
       .talk = "Great solos are not a stream of new ideas. They take one small idea and play "
               "with it: repeat it, move it higher, change its ending. Here is a lick over the "
               "two five one that ends by sliding onto the third.",
       .right = "D4/.67 F4/.33 A4/.67 C5/.33 B4/.67 A4/.33 G4/.67 F4/.33 E4/4",
       .left = "",
       .bars = twoFiveOne(),
       .bpm = 92,
       .choruses = 6,
       .scale = whiteKeys(),
       .goal = JamGoal::targets,
       .tip = "White keys only. Play the lick, then change one thing about it each time round. "
              "Aim for F, then B, then E as the chords change.",
       .comp = true,
       .calls = {}},
      {.title = "Jam session",
       .talk = "Everything together: swing, the blues scale, space, and landing on the thirds. "
               "Three times through the blues, and we trade: I play two bars, you play two.",
       .right = "",
       .left = "",
       .bars = bluesBars(),
       .bpm = 100,
       .choruses = 3,
       .scale = with(bluesScale(), {4, 9, 11}),
       .goal = JamGoal::free,
       .tip = "Here we go.",
       .comp = true,
       .calls = {"E4/.67 G4/.33 Bb4/.67 C5/1.33", "C5/.67 Bb4/.33 G4/.67 F#4/.33 F4/.67 Eb4/.33 C4",
                 "G4/.67 F4/.33 E4/2", "Eb4/.33 E4/.67 G4/.67 C5/1.33",
                 "Bb4/.67 G4/.33 F4/.67 Eb4/.33 C4/2", "C4/.67 Eb4/.33 F4/.67 F#4/.33 G4/2"}},
  };
  return lessons;
}

const std::vector<ComposeIdea>& composeIdeas() {
  static const std::vector<ComposeIdea> ideas = {
      {"The four chord loop",
       "C, G, A minor, F. Hundreds of songs live on these four chords. Loop them in your left "
       "hand and hunt for a melody on top.",
       {"C", "G", "Am", "F"},
       ""},
      {"Start on the sad one",
       "The same four chords, starting on A minor: A minor, F, C, G. Nothing changed but the "
       "starting point, and hopeful became wistful.",
       {"Am", "F", "C", "G"},
       ""},
      {"The sigh",
       "F major, then F minor, then home to C. One note drops a half step, A to A flat, and the "
       "whole chord sighs. You already reach for this by instinct.",
       {"F", "Fm", "C", "C"},
       ""},
      {"The falling bass",
       "Keep the chords simple and let the bass walk down one step at a time: C, B, A, G, F. "
       "The harmony barely moves but the ground keeps falling.",
       {"C", "C/B", "Am", "C/G", "F"},
       ""},
      {"Minor, but hopeful",
       "C minor to F major. A minor key normally has F minor here. The brighter F major is the "
       "Dorian sound, and it lets light into a sad key.",
       {"Cm", "F", "Cm", "F"},
       ""},
      {"The spotlight chord",
       "C, E seven, A minor, F. E seven does not belong to C major. Its G sharp pulls hard into "
       "A minor, like a spotlight swinging onto the next chord.",
       {"C", "E7", "Am", "F"},
       ""},
      {"The Spanish walk down",
       "A minor, G, F, E. Each chord steps down, and the last one, E major, aches to go back to "
       "the start. It is called the Andalusian cadence.",
       {"Am", "G", "F", "E"},
       ""},
      {"A note that will not move",
       "Hold C in the bass and change the chords above it: C, F, G, C. The stubborn bass note "
       "is called a pedal point. It builds tension without going anywhere.",
       {"C", "F/C", "G/C", "C"},
       ""},
      {"The swerve",
       "C, F, G, and then, where the ear expects home, A minor. Setting up an ending and dodging "
       "it is called a deceptive cadence. It buys you another phrase.",
       {"C", "F", "G", "Am"},
       ""},
      {"Question and answer",
       "A melody idea. Play a phrase that ends up in the air, on D. Then play it again and end "
       "on C. The first asks, the second answers.",
       {"C", "G", "C", "G", "C"},
       "E5 E5 F5 G5 G5 F5 E5 D5/1 E5 E5 F5 G5 G5 F5 D5 E5 C5/4"},
      {"One idea, three times",
       "Another melody idea. Take three notes. Play them, play them one step higher, then "
       "change the ending. Repeating with small changes is what makes a tune stick.",
       {"C", "Dm", "Em", "G", "C"},
       "E5 G5 C5/2 F5 A5 D5/2 G5 B5 E5/2 D5 B4 G4/2 C5/4"},
  };
  return ideas;
}

std::optional<std::vector<int>> ideaChord(const std::string& name) {
  const auto slash = name.find('/');
  const std::string chord = name.substr(0, slash);
  if (chord.empty()) return std::nullopt;
  std::size_t rootLength = chord.size() > 1 && (chord[1] == '#' || chord[1] == 'b') ? 2 : 1;
  const auto root = music::parseNoteName(chord.substr(0, rootLength) + "3");
  if (!root) return std::nullopt;
  const std::string quality = chord.substr(rootLength);
  std::vector<int> shape;
  if (quality.empty()) {
    shape = {0, 4, 7};
  } else if (quality == "m") {
    shape = {0, 3, 7};
  } else if (quality == "7") {
    shape = {0, 4, 7, 10};
  } else if (quality == "m7") {
    shape = {0, 3, 7, 10};
  } else {
    return std::nullopt;
  }
  int bass = *root - 12;
  if (slash != std::string::npos) {
    const auto below = music::parseNoteName(name.substr(slash + 1) + "2");
    if (!below) return std::nullopt;
    bass = *below;
  }
  std::vector<int> notes = {bass};
  for (int step : shape) notes.push_back(*root + step);
  return notes;
}

const std::vector<std::string>& ideaInvitations() {
  static const std::vector<std::string> sentences = {
      "Your turn. Make it yours.", "Now you. Change anything you like.", "Try it your own way."};
  return sentences;
}

}  // namespace orvo
