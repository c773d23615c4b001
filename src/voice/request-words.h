#pragma once
// The words requests are understood by: the recogniser's known mishearings
// and everyday sayings (both rewritten before any rule runs), the known words
// a misspelt long word is matched against, the loose intent rules, and the
// requests a sentence nobody understood may be a guess at. Plain data:
// read-only, any thread.

#include <string>
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

using Words = std::vector<std::string_view>;

// The phrases each request family listens for, by family, in the families'
// order. "Whole" lists match the whole sentence (a trailing "please" or
// "now" aside); the others match anywhere in it.
struct FamilyWords {
  Words yes, no, repeat, studioModes, correctionOpeners;
  Words earsOff, stopWhole, metronomeOffWhole, pauseWhole, resumeWhole, homeWhole, goodbyeWhole,
      help, helpWhole, clock, notTheClock, date;
  Words reaperControlWhole, logicControlWhole, newProject;
  Words namesAStudio, otherApps;
  Words screenText, screenWindow, bigger, smaller, wholeScreen, leaveWholeScreen;
  Words album, jam, restyles, restyleVideoGame, restyleEpic, gift, songVerbs, hands;
  Words cantHear, notTheHearing, cantSee, timer, metronomeFaster, metronomeSlower;
  Words bandHow, classicBand, fullBand, smallBand, bandLouderWhole, bandQuieterWhole;
  Words voiceLouderWhole, voiceQuieterWhole, otherVoice, talkSlower, talkFaster, liveBand;
  Words outputs, voiceOutputOpeners, musicOutputOpeners, outputsTogether, duckMusic, keepMusicUp;
  Words restart, newComposition, composingIdea, keep, pieceName, save, playBack, variation;
  Words holding, describe, studioWordsWhole, studioWords, earTraining, jazzWhole, talkWhole;
  Words songList, notes, notTheNotes, againWhole, nextWhole, backWhole, slowerWhole, fasterWhole,
      dropSong, lessonWhole, theory, smallTalkThanks, smallTalkHow, smallTalkHello, smallTalkWho,
      smallTalkKind, openApp;
};
const FamilyWords& familyWords();

// Every phrase the request rules know, each once: the families', the loose
// rules', the sayings' and mishearings' meanings, the known words and the
// guessable requests. For the window's recogniser.
std::vector<std::string> everyPhrase();

}  // namespace orvo::requests
