#include "engine/requests.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "compose/midi-take.h"
#include "desks/app-desk.h"
#include "desks/live-stage.h"
#include "desks/studio-desk.h"
#include "engine/engine.h"
#include "engine/request-text.h"
#include "lessons/plain-words.h"
#include "lessons/theory-answers.h"
#include "platform/files.h"
#include "platform/local-time.h"
#include "platform/platform-words.h"
#include "platform/utf8.h"
#include "player/json-file.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/logic/logic-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/reaper/reaper-room.h"
#include "rooms/talk/ai-talk.h"
#include "studio/daw-ways.h"
#include "voice/request-words.h"
#include "voice/wake-name.h"

namespace orvo {
namespace {

// A learned meaning heard again, a loose rule's request, a yes: each hears a
// sentence again. A cycle in a hand-edited "learned.json" ends here.
constexpr int kMaxDepth = 6;
constexpr double kQuestionSeconds = 20.0;
const char* kCannotYet = "I know what you're after, but I can't do that one yet.";
}  // namespace

using namespace requesttext;

Requests::Requests(Engine& engine, Parts parts)
    : engine_(engine),
      parts_(std::move(parts)),
      clock_([this] { return localTm(parts_.wallClock()); }) {}

void Requests::trace(const std::string& line) {
  if (trace_) trace_("  " + line);
}

void Requests::op(const std::string& name) {
  trace("op: " + name);
}

std::string Requests::say(const std::string& sentence, const std::string& outcome) {
  engine_.speak(sentence);
  return outcome;
}

std::string Requests::newProject() {
  StudioDesk& studio = engine_.studioDesk();
  if (studio.logicRunning()) {
    engine_.run([this](int gen) {
      const LogicNewProjectAnswer answer = engine_.logic().newProject();
      engine_.logLine(answer.log);
      if (!answer.mistake.empty()) noteMistake(answer.mistake);
      engine_.say(answer.sentence, gen);
    });
    return "logic new project";
  }
  if (studio.listening()) {
    engine_.run([this, &studio](int gen) {
      const bool done = studio.daw().adapter.newProject();
      engine_.say(done ? "A new project in REAPER. If the old one had changes, REAPER is asking "
                         "whether to save them."
                       : "REAPER did not answer.",
                  gen);
    });
    return "reaper new project";
  }
  return say("Open " + std::string(platformWords().studios) + " first, and I'll start a project.",
             "no daw");
}

std::string Requests::notYet(const std::string& operation) {
  op(operation + " (not yet)");
  engine_.logLine("not yet: " + operation);
  if (secondPass_) return "not yet";
  return say(kCannotYet, "not yet");
}

std::string Requests::hearAgain(const std::string& request) {
  std::lock_guard guard(engine_.lock);
  const bool before = secondPass_;
  secondPass_ = true;
  std::string outcome = hearAt(request, 0);
  secondPass_ = before;
  engine_.logLine("heard again \"" + cutUtf8(request, 200) + "\": " + outcome);
  return outcome;
}

std::string Requests::playerName() {
  std::string name = engine_.currentProfile().userName;
  return name.empty() ? "friend" : name;
}

bool Requests::casual() {
  return engine_.casualHearing();
}

std::string Requests::hear(const std::string& text) {
  std::lock_guard guard(engine_.lock);
  return hearAt(text, 0);
}

std::string Requests::tooDeep(const std::string& text) {
  trace("too deep: " + text);
  engine_.logLine("request went round in circles: " + text);
  if (casual()) return "ignored";
  return say("Sorry, I got myself in a loop there. Try saying it another way.", "not understood");
}

std::string Requests::hearAt(const std::string& text, int depth) {
  if (depth > kMaxDepth) return tooDeep(text);
  // Normalising does the clean-up too: the stray punctuation at the ends and a
  // leading "jarvis" or "hey" go with the other fillers.
  Heard heard(text);
  // Its own last sentence, coming back while it is still being said or has
  // only just ended. Later, the same words are a person asking again ("band
  // quieter" twice): the listener has already let its own voice go by then.
  auto speaking = engine_.speakingNow();
  if (speaking.lastSpoken != spokenKey_) {
    spokenKey_ = speaking.lastSpoken;
    spokenText_ = Heard(speaking.lastSpoken).text;
  }
  bool justSaid = engine_.now() - speaking.lastSpokenAt < 0.6;
  if (justSaid && !among(heard.text, {"stop", "quiet", "cancel", "silence"}) &&
      !heard.text.empty() && heard.text == spokenText_) {
    engine_.logLine("heard (my own voice: ignored)");
    return "echo";
  }
  engine_.ui("heard " + heard.text);
  if (depth == 0) engine_.studioDesk().newSentence();
  std::string repairs;
  for (const auto& repair : heard.repairs) repairs += (repairs.empty() ? " (" : ", ") + repair;
  trace("heard: " + heard.text + (repairs.empty() ? "" : repairs + ")"));
  std::string outcome = dispatch(heard, depth);
  // What a later "that's wrong" is about: the request acted on, not the correction.
  if (depth == 0 && !heard.text.empty() && outcome != "correcting" && outcome != "corrected") {
    lastRequest_ = heard.text;
  }
  return outcome;
}

std::string Requests::dispatch(const Heard& heard, int depth) {
  const requests::FamilyWords& words = requests::familyWords();
  const double now = engine_.now();
  // A question waiting for its yes.
  if (pendingYes_ && now <= pendingUntil_) {
    auto onYes = std::move(pendingYes_);
    auto onNo = std::move(pendingNo_);
    clearQuestion();
    if (among(heard.text, words.yes) || heard.starts("yes")) {
      trace("family: yes");
      return onYes();
    }
    if (among(heard.text, words.no) || heard.starts("no")) {
      trace("family: no");
      if (onNo) return onNo();
      return say("Okay, I'll leave it.", "dropped");
    }
  }
  // Saying again what was last said.
  if (heard.hasAnyOf(words.repeat)) {
    trace("family: repeat");
    std::string last = engine_.speakingNow().lastSpoken;
    return say(last.empty() ? "I have not said anything yet." : last, "repeated");
  }
  // How the studio assistant asks before acting.
  if (among(bare(heard), words.studioModes)) {
    trace("family: studio mode");
    const std::string mode = heard.words[0];
    op("studio mode " + mode);
    engine_.sayOnceKept("daw-mode.txt", [&](Store::Kept kept) -> std::string {
      engine_.studioDesk().setMode(dawModeFrom(mode), std::move(kept));
      if (mode == "guided") {
        return "Guided mode. I will explain every change and wait for a yes before I make it.";
      }
      if (mode == "assisted") {
        return "Assisted mode. I make ordinary changes straight away and tell you what happened. "
               "I still ask before deleting anything or running a plan of several steps.";
      }
      return "Autonomous mode. I carry out plans of several steps without asking first, and "
             "report at the end. I still ask before deleting anything.";
    });
    return "said";
  }
  if (auto corrected = correction(heard, depth)) return *corrected;
  for (const auto& handler : subHandlers_) {
    if (auto outcome = handler(heard)) return *outcome;
  }
  if (heard.text.empty()) {
    trace("family: wake");
    std::string reply = wakeReply();
    op("wake reply");
    engine_.speak(reply);
    engine_.ears().expectAnswer();
    return "woke";
  }
  // "when i say X i mean Y"
  if (heard.starts("when i say") && heard.has("i mean")) {
    std::string phrase = heard.text.substr(11, heard.text.find(" i mean ") - 11);
    std::string means = heard.after("i mean");
    if (!phrase.empty() && !means.empty() && heard.text.find(" i mean ") != std::string::npos) {
      trace("family: teach a meaning");
      learn(phrase, means, "Got it. When you say " + phrase + ", I will take it as " + means + ".");
      return "learned";
    }
  }
  return rest(heard, depth);
}

std::string Requests::hearPastStudio(const std::string& text, int depth) {
  std::lock_guard guard(engine_.lock);
  if (depth + 1 > kMaxDepth) return tooDeep(text);
  const bool before = pastStudio_;
  pastStudio_ = true;
  trace("studio: not a studio request");
  std::string outcome = rest(Heard(text), depth + 1);
  pastStudio_ = before;
  return outcome;
}

std::string Requests::rest(const Heard& heard, int depth) {
  if (auto outcome = family(heard, depth)) return *outcome;

  // Meanings the player taught, on the first pass only.
  if (!secondPass_) {
    auto found = learned_.find(heard.text);
    if (found != learned_.end()) {
      trace("learned: " + found->second);
      return hearAt(found->second, depth + 1);
    }
  }
  if (casual()) {
    trace("casual: let go");
    return "ignored";
  }
  // A question about chords, scales or keys is answered before the loose
  // rules can take its words ("what notes are in a G seven chord").
  const requests::FamilyWords& words = requests::familyWords();
  if (heard.hasAnyOf(words.theory)) {
    if (auto answer = music::theoryAnswer(
            heard.words, [&heard](const std::string& phrase) { return heard.has(phrase); })) {
      trace("family: theory");
      op("theory");
      return say(*answer);
    }
  }
  if (auto loose = loosely(heard)) {
    trace("loose " + std::to_string(loose->first) + ": " + loose->second);
    return hearAt(loose->second, depth + 1);
  }
  if (auto mood = engine_.compose().gifts().mood(heard); mood && !aboutTheScreen(heard)) {
    std::string request = "play me something " + mood->name;
    trace("mood: " + request);
    return hearAt(request, depth + 1);
  }
  if (auto answer = smallTalk(heard)) return *answer;
  if (auto answer = openApp(heard)) return *answer;
  return notUnderstood(heard);
}

std::optional<std::string> Requests::smallTalk(const Heard& heard) {
  const requests::FamilyWords& words = requests::familyWords();
  const std::pair<const requests::Words*, const char*> chat[] = {
      {&words.smallTalkThanks, "You're welcome."},
      {&words.smallTalkHow, "I'm well, thank you. Ready when you are."},
      {&words.smallTalkHello, "Hello!"},
      {&words.smallTalkWho, ""},
      {&words.smallTalkKind, "That's kind of you. Thank you."},
  };
  for (const auto& [phrases, sentence] : chat) {
    const std::string answer = sentence;
    if (!among(bare(heard), *phrases)) continue;
    trace("family: small talk");
    std::string assistant = engine_.currentProfile().assistantName;
    return say(answer.empty() ? "I'm " + assistant + ", your piano teacher." : answer);
  }
  return std::nullopt;
}

std::optional<std::string> Requests::openApp(const Heard& heard) {
  for (std::string_view said : requests::familyWords().openApp) {
    const std::string verb(said);
    if (!heard.starts(verb)) continue;
    trace("family: open an app");
    std::string name = heard.after(verb);
    if (name.rfind("the ", 0) == 0) name.erase(0, 4);
    if (name.empty()) return say("Open what? Tell me its name.", "asked");
    if (!engine_.appDesk().installedApp(name))
      return say("I cannot find an app called " + name + " on " +
                     std::string(platformWords().computer) + ".",
                 "no app");
    return notYet("opening apps");
  }
  return std::nullopt;
}

std::string Requests::notUnderstood(const Heard& heard) {
  engine_.logLine("rules did not understand: " + heard.text);
  trace("family: not understood");
  noteMistake("\"" + heard.text + "\" was not understood");
  if (auto answer = music::theoryAnswer(
          heard.words, [&heard](const std::string& phrase) { return heard.has(phrase); })) {
    op("theory");
    return say(*answer);
  }
  // A request the AI itself named is never sent back to it, nor guessed at.
  if (secondPass_) return "not understood";
  if (engine_.aiTalk().canAsk()) {
    trace("family: ai");
    op("finishAsk");
    engine_.aiTalk().finishAsk(heard.text);
    return "asked the AI";
  }
  if (auto guess = closest(heard)) {
    ask("Did you mean, " + guess->second + "?", guess->first);
    return "asked";
  }
  return say(engine_.aiTalk().noModelSentence(), "not understood");
}

std::optional<std::string> Requests::correction(const Heard& heard, int depth) {
  std::optional<std::string> meant;
  if (heard.starts("i was asking for")) {
    meant = heard.after("i was asking for");
  } else if (correcting_ && !heard.text.empty()) {
    meant = heard.text;
  }
  for (std::string_view said : requests::familyWords().correctionOpeners) {
    const std::string opener(said);
    if (!heard.starts(opener)) continue;
    trace("family: correction");
    std::string rest = heard.after(opener);
    if (rest.rfind("i was asking for ", 0) == 0) {
      meant = rest.substr(17);
      break;
    }
    noteMistake("\"" + lastRequest_ + "\" told it was wrong");
    correcting_ = lastRequest_;
    engine_.ears().expectAnswer();
    return say("Sorry about that. What did you want?", "correcting");
  }
  if (!meant || meant->empty()) return std::nullopt;
  std::string old = correcting_.value_or(lastRequest_);
  correcting_.reset();
  trace("family: corrected");
  if (!old.empty() && old != *meant) {
    noteMistake("\"" + old + "\" should have been \"" + *meant + "\"");
    learn(old, *meant);
  }
  trace("again: " + *meant);
  hearAt(*meant, depth + 1);
  lastRequest_ = Heard(*meant).text;
  return "corrected";
}

// The loose rules' phrases of several words, split once.
struct LongPhrase {
  std::size_t rule;
  std::vector<std::string> words;
};
const std::vector<LongPhrase>& longPhrases() {
  static const std::vector<LongPhrase> phrases = [] {
    std::vector<LongPhrase> all;
    const auto& rules = requests::looseRules();
    for (std::size_t r = 0; r < rules.size(); ++r) {
      for (const auto& group : rules[r].needs) {
        for (std::string_view phrase : group) {
          auto words = wake::pieces(phrase);
          if (words.size() >= 2) all.push_back({r, std::move(words)});
        }
      }
    }
    return all;
  }();
  return phrases;
}

std::optional<std::pair<int, std::string>> Requests::loosely(const Heard& heard) {
  const auto& rules = requests::looseRules();
  // Words inside a longer phrase of another rule belong to that phrase: in
  // "the band is too quiet", "quiet" is part of "too quiet" (louder), not a
  // request for less. taken[i] holds the rules whose phrase covers word i.
  std::vector<std::vector<std::size_t>> taken(heard.words.size());
  for (const auto& phrase : longPhrases()) {
    const auto& parts = phrase.words;
    for (std::size_t at = 0; at + parts.size() <= heard.words.size(); ++at) {
      if (std::equal(parts.begin(), parts.end(),
                     heard.words.begin() + static_cast<std::ptrdiff_t>(at))) {
        for (std::size_t k = 0; k < parts.size(); ++k) taken[at + k].push_back(phrase.rule);
      }
    }
  }
  auto coveredForOthers = [&](std::size_t word, std::size_t rule) {
    return std::any_of(taken[word].begin(), taken[word].end(),
                       [&](std::size_t other) { return other != rule; });
  };
  auto present = [&](std::size_t r, std::string_view phrase) {
    std::string text(phrase);
    if (!heard.has(text)) return false;
    if (text.find(' ') != std::string::npos) return true;
    bool anyWord = false;
    for (std::size_t i = 0; i < heard.words.size(); ++i) {
      if (heard.words[i] != text) continue;
      anyWord = true;
      if (!coveredForOthers(i, r)) return true;
    }
    return !anyWord;  // found through a near word only
  };
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const auto& rule = rules[i];
    bool all = std::all_of(rule.needs.begin(), rule.needs.end(), [&](const auto& group) {
      return std::any_of(group.begin(), group.end(),
                         [&](std::string_view phrase) { return present(i, phrase); });
    });
    if (!all) continue;
    if (std::any_of(rule.vetoes.begin(), rule.vetoes.end(),
                    [&](std::string_view phrase) { return heard.has(std::string(phrase)); })) {
      continue;
    }
    std::string means(rule.means);
    if (rule.keep == "number") {
      // Without a number the request stands alone: the metronome at its own
      // tempo, and a timer that asks how long.
      if (auto number = numberSaid(heard)) {
        means += " " + std::to_string(*number);
        if (heard.has("second") || heard.has("seconds")) {
          means += " seconds";
        } else if (means.rfind("timer", 0) == 0 && (heard.has("hour") || heard.has("hours"))) {
          means += " hours";
        } else if (means.rfind("timer", 0) == 0) {
          means += " minutes";
        }
      }
    } else if (rule.keep == "all") {
      means += " " + heard.text;
    }
    return std::pair{static_cast<int>(i) + 1, means};
  }
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> Requests::closest(const Heard& heard) {
  // The stems of each guessable request, found once.
  static const std::vector<std::vector<std::string>> stems = [] {
    std::vector<std::vector<std::string>> all;
    for (const auto& guess : requests::guessable()) {
      std::vector<std::string> words;
      for (const auto& word : Heard(std::string(guess.request)).words) words.push_back(stem(word));
      all.push_back(std::move(words));
    }
    return all;
  }();
  std::set<std::string> said;
  for (const auto& word : heard.words) said.insert(stem(word));
  double best = 0.0;
  std::optional<std::pair<std::string, std::string>> found;
  const auto& guesses = requests::guessable();
  for (std::size_t g = 0; g < guesses.size(); ++g) {
    if (stems[g].empty()) continue;
    int shared = 0;
    for (const auto& word : stems[g]) shared += said.count(word) > 0;
    double share = static_cast<double>(shared) / static_cast<double>(stems[g].size());
    if (share > best) {
      best = share;
      found = std::pair{std::string(guesses[g].request), std::string(guesses[g].description)};
    }
  }
  if (best < 0.5) return std::nullopt;
  return found;
}

std::string Requests::wakeReply() {
  const double now = engine_.now();
  double since = now - lastWakeAt_;
  lastWakeAt_ = now;
  const std::string name = playerName();
  std::vector<std::string> candidates;
  if (since < 12.0) {
    candidates = {"Still here, " + name + ".", "I'm listening.", "Go ahead."};
  } else if (wakeCount_ == 0 && (clock_().tm_hour < 12 || clock_().tm_hour >= 17)) {
    candidates = {clock_().tm_hour < 12 ? "Good morning, " + name + "."
                                        : "Good evening, " + name + "."};
  } else if (since > 1200.0 && wakeCount_ > 0) {
    candidates = {"Welcome back, " + name + "."};
  } else if (engine_.currentMode() == Mode::teach) {
    candidates = {"Yes? The lesson can wait."};
  } else {
    candidates = {"Yes, " + name + "?",      "I'm listening.",  "Go ahead.",
                  "At your service.",        "How can I help?", "What do you need?",
                  "I'm here, " + name + ".", "Right here."};
  }
  ++wakeCount_;
  std::vector<std::string> fresh;
  for (const auto& candidate : candidates) {
    if (candidate != lastWakeReply_) fresh.push_back(candidate);
  }
  lastWakeReply_ = engine_.pick(fresh.empty() ? candidates : fresh);
  return lastWakeReply_;
}

void Requests::ask(const std::string& question, const std::string& onYes) {
  // A yes is a new sentence of the player's: the request it hears is one level down.
  confirm(question, onYes, [this, onYes] {
    trace("again: " + onYes);
    return hearAt(onYes, 1);
  });
}

void Requests::confirm(const std::string& question, const std::string& what,
                       std::function<std::string()> onYes, std::function<std::string()> onNo) {
  pendingYes_ = std::move(onYes);
  pendingNo_ = std::move(onNo);
  pendingUntil_ = engine_.now() + kQuestionSeconds;
  trace("pending: " + what);
  engine_.speak(question);
}

bool Requests::questionPending() {
  return pendingYes_ && engine_.now() <= pendingUntil_;
}

void Requests::clearQuestion() {
  pendingYes_ = nullptr;
  pendingNo_ = nullptr;
}

void Requests::loadLearned() {
  learned_.clear();
  auto doc = jsonfile::readDocument(parts_.store, "learned.json", 4'000'000);
  if (!doc) return;
  for (auto& [phrase, means] : doc->items()) {
    if (means.is_string()) learned_[Heard(phrase).text] = Heard(means.get<std::string>()).text;
  }
}

void Requests::learn(const std::string& phrase, const std::string& means,
                     const std::string& confirmation) {
  std::string key = Heard(phrase).text;
  std::string value = Heard(means).text;
  if (key.empty() || value.empty() || key == value) {
    if (!confirmation.empty()) engine_.speak(confirmation);
    return;
  }
  learned_[key] = value;
  trace("learned: " + key + " = " + value);
  if (parts_.opt.fast) {
    if (!confirmation.empty()) engine_.speak(confirmation);
    return;
  }
  std::string text = jsonfile::text(nlohmann::json(learned_));
  if (confirmation.empty()) {
    parts_.store.write("learned.json", std::move(text));
  } else {
    engine_.keepThenSay("learned.json", std::move(text), confirmation);
  }
}

void Requests::noteMistake(const std::string& description) {
  if (parts_.opt.fast) return;
  parts_.store.append("mistakes.txt",
                      formatLocalTime(clock_(), "%Y-%m-%d %H:%M") + "  " + description + "\n");
}

}  // namespace orvo
