#include "voice/ears.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "lessons/plain-words.h"
#include "platform/files.h"
#include "platform/local-time.h"
#include "voice/wake-name.h"
#include "voice/wake-words.h"

namespace orvo {
namespace {

constexpr std::string_view kName = "jarvis";
// How long a name alone, heard in a partial result, waits for a request to
// follow before it is answered as the bare name: people pause after a name
// (a comma, a breath, 0.2 to 0.8 s), and the recogniser's next partial result
// comes some tenths of a second after the next word begins.
constexpr double kBreathAfterName = 1.5;
// How long after acting on a partial result the recogniser's re-decoding of
// the same utterance may still come: its final result came 0.05 to 0.25 s
// after the act in the recorded replays, and at most half a second after the
// end of speech.
constexpr double kSameUtterance = 1.0;

bool has(const std::vector<std::string>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

int count(const std::vector<std::string>& words, std::string_view word) {
  return static_cast<int>(std::count(words.begin(), words.end(), word));
}

std::string join(const std::vector<std::string>& words, std::size_t from = 0) {
  std::string text;
  for (std::size_t i = from; i < words.size(); ++i) {
    if (!text.empty()) text.push_back(' ');
    text += words[i];
  }
  return text;
}

std::string trimmed(const std::string& text, std::string_view junk) {
  std::size_t first = text.find_first_not_of(junk);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(junk) - first + 1);
}

// Where the later of "hey jarvis" and "jarvis" starts, and how many words it is.
std::optional<std::pair<std::size_t, std::size_t>> findName(const std::string& text) {
  std::string lower = lowerCase(text);
  std::size_t hey = lower.find("hey jarvis");
  std::size_t bare = lower.find(kName);
  if (bare == std::string::npos) return std::nullopt;
  if (hey != std::string::npos && hey > bare) return std::pair{hey, std::size_t{2}};
  return std::pair{bare, std::size_t{1}};
}

// The pause after a request that may go on, from "voice-pause.txt".
double readPause(const std::filesystem::path& baseDir) {
  auto text = files::readFile(baseDir / "voice-pause.txt");
  if (!text) return 0.45;
  std::string number = files::trim(*text);
  char* end = nullptr;
  double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != '\0' || !std::isfinite(value)) return 0.45;
  return value;
}

}  // namespace

Ears::Ears(Parts parts) : parts_(std::move(parts)), self_(std::make_shared<Ears*>(this)) {
  MutexLock guard(mutex_);
  key_ = wake::keyOf(parts_.assistantName);
}

void Ears::setAssistantName(const std::string& name) {
  MutexLock guard(mutex_);
  key_ = wake::keyOf(name);
}

double Ears::wait(const std::string& request, bool final, double pause) {
  const wake::WordLists& lists = wake::lists();
  std::vector<std::string> words = wake::words(request);
  // The bare name: at once once the utterance is over, but in a partial
  // result only after longer than a breath, since the request may follow.
  if (words.empty()) return final ? 0.35 : kBreathAfterName;
  bool single = words.size() == 1;
  bool wholeWord = single && lists.whole.count(words[0]) > 0;
  if ((lists.dangling.count(words.back()) > 0 && !wholeWord) || (single && !wholeWord)) {
    return final ? 0.9 : 1.5;
  }
  if (lists.quick.count(join(words)) > 0) return final ? 0.02 : 0.22;
  if (lists.openers.count(words[0]) > 0 && words.size() < 4 &&
      std::none_of(words.begin(), words.end(), [](const std::string& word) {
        return word == "spotify" || word == "youtube" || word == "band" || word == "book" ||
               word == "album";
      })) {
    return final ? 0.5 : 1.1;
  }
  return final ? 0.02 : std::clamp(pause, 0.25, 2.5);
}

std::string Ears::partial(const std::string& text, bool final) {
  const EarsLink::Speaking speaking = parts_.link.speaking();
  const bool naming = parts_.link.naming();
  Calls calls;
  std::optional<Next> next;
  std::string outcome;
  {
    MutexLock guard(mutex_);
    outcome = decide(text, final, speaking, naming, calls, next);
  }
  std::string line = std::string("ear ") + (final ? "1" : "0") + " \"" + text + "\" -> ";
  if (!parts_.fast) trace(line + outcome);
  for (auto& call : calls) call();
  if (next && next->wait < 0) next->wait = wait(next->request, final, readPause(parts_.baseDir));
  if (next) outcome = follow(*next);
  if (parts_.fast) trace(line + outcome);
  return outcome;
}

std::string Ears::decide(const std::string& text, bool final, const EarsLink::Speaking& speaking,
                         bool naming, Calls& calls, std::optional<Next>& next) {
  const double now = parts_.runtime.now();
  const double sinceSpoke = now - speaking.lastSpokenAt;
  lastText_ = text;
  // A final result ends its utterance: whatever comes next is a new one, even
  // when it repeats the words of the last ("Orvo stop", twice).
  if (lastFinal_) {
    handled_.clear();
    actedBeforeFinal_ = -100.0;
  }
  lastFinal_ = final;
  // An offline recogniser decodes the whole utterance again for its final
  // result ("orvo release something sad", then "orvo me something sad"):
  // once a request was acted on, what comes within a second and does not
  // continue it is that utterance again, never a second request. Later
  // results are a new utterance (the window resets its recogniser on acting).
  if (now - actedBeforeFinal_ < kSameUtterance && text.rfind(handled_, 0) != 0) {
    if (final) actedBeforeFinal_ = -100.0;
    return "already acted on";
  }
  if (naming) {
    handled_ = text;
    return "busy";
  }
  // Text that does not continue what was dealt with is a new utterance.
  std::string fresh = text.rfind(handled_, 0) == 0 ? text.substr(handled_.size()) : text;
  fresh = wake::tidy(trimmed(fresh, " \t\r\n"), key_);
  const std::vector<std::string> own = wake::words(wake::tidy(speaking.lastSpoken, key_));
  const bool quiet = sinceSpoke >= 0.6 && speaking.lastSpokenAt <= now;
  std::string outcome;
  if (!quiet) {
    if (auto done = ownVoice(text, fresh, own, speaking.lastSpoken, now, calls)) return *done;
  } else if (openUntil_ > now && sinceSpoke < 8.0) {
    // The person began the request while the answer was still being spoken.
    std::vector<std::string> parts = wake::pieces(fresh);
    std::size_t drop = 0;
    while (drop < parts.size()) {
      auto first = wake::words(parts[drop]);
      if (first.empty() || !has(own, first[0])) break;
      ++drop;
    }
    fresh = join(parts, drop);
  }
  if (fresh.empty()) return "nothing new";

  std::vector<std::string> heard = wake::words(fresh);
  followName(fresh, heard, now);
  if (quiet && sinceSpoke < 5.0 && echoOfOwnVoice(heard, own, sinceSpoke)) {
    handled_ = text;
    logCall(calls, "ignored my own voice");
    return "echo";
  }

  auto found = findRequest(fresh, heard, sinceSpoke, now, calls, next, outcome);
  if (!found) return outcome;
  ++token_;
  // Any other wait needs the pause file, read once the lock is released.
  double delay = found->bareGuess ? (final ? 0.25 : 0.7) : -1.0;
  next = Next{.soft = false,
              .token = token_,
              .wait = delay,
              .request = found->request,
              .casual = found->casual,
              .guessedName = found->guessedName};
  return "waiting";
}

void Ears::followName(std::string& fresh, std::vector<std::string>& heard, double now) {
  // The recogniser sometimes rewrites the name in a later partial result: it
  // is put back when it was heard with words after it, more than once, or
  // the word in its place sounds like it. A name heard once, as a result's
  // last word and gone from the next ("open composition orvo", then "open
  // composition mode"), was the recogniser's guess at the word to come.
  const bool nameWasSure = !nameOnlyLast_ || nameResults_ >= 2 ||
                           (nameAt_ >= 0 && nameAt_ < static_cast<int>(heard.size()) &&
                            wake::looseName(heard[static_cast<std::size_t>(nameAt_)], key_));
  if (!has(heard, kName) && nameAt_ >= 0 && now - nameSeen_ < 5.0 && nameWasSure &&
      nameAt_ < static_cast<int>(heard.size()) && openUntil_ <= now) {
    std::vector<std::string> parts = wake::pieces(fresh);
    if (parts.size() == heard.size()) {
      parts[static_cast<std::size_t>(nameAt_)] = std::string(wake::token);
      fresh = join(parts);
      heard = wake::words(fresh);
    }
  }
  auto at = std::find(heard.begin(), heard.end(), kName);
  if (at != heard.end()) {
    if (nameAt_ < 0 || now - nameSeen_ > 5.0) {
      nameAt_ = static_cast<int>(at - heard.begin());
      nameResults_ = 0;
      nameOnlyLast_ = true;
    }
    ++nameResults_;
    nameOnlyLast_ = nameOnlyLast_ && at + 1 == heard.end();
    nameSeen_ = now;
  } else if (!nameWasSure) {
    nameAt_ = -1;  // the name came and went: it was never said
  }
}

// Just after a sentence of ours, words that are all its own (the name and the
// urgent words excepted), or its last words, are our voice coming back.
bool Ears::echoOfOwnVoice(const std::vector<std::string>& heard,
                          const std::vector<std::string>& own, double sinceSpoke) {
  const auto& urgent = wake::lists().urgent;
  bool allOwn = std::all_of(heard.begin(), heard.end(),
                            [&](const std::string& word) { return has(own, word); });
  bool called = std::any_of(heard.begin(), heard.end(), [&](const std::string& word) {
    return word == kName || urgent.count(word) > 0;
  });
  bool ownEnding = sinceSpoke < 2.2 && heard.size() >= 2 && heard.size() <= own.size() &&
                   std::equal(heard.begin(), heard.end(), own.end() - heard.size());
  return (allOwn && !called) || ownEnding;
}

std::optional<std::string> Ears::ownVoice(const std::string& text, std::string& fresh,
                                          const std::vector<std::string>& own,
                                          const std::string& lastSpoken, double now, Calls& calls) {
  if (ownKey_ != lastSpoken) {
    ownKey_ = lastSpoken;
    namesHeard_ = 0;
  }
  std::vector<std::string> heard = wake::words(fresh);
  namesHeard_ += count(heard, kName);
  int ownNames = count(own, kName);
  bool person = has(heard, kName) && (ownNames == 0 || ownNames < namesHeard_);
  bool stopped = false;
  for (auto stop : wake::lists().stopWords) {
    if (!has(heard, stop)) continue;
    // The assistant's own "stop" coming back counts only when said more often,
    // unless someone is talking over it.
    bool counts =
        has(own, stop) && overUntil_ <= now ? count(heard, stop) > count(own, stop) : true;
    if (!counts) continue;
    stopped = true;
    break;
  }
  if (stopped || person) {
    overUntil_ = 0.0;
    interruptCall(calls);
    logCall(calls, "interrupted while speaking");
  }
  if (stopped && !person) {
    fresh = "jarvis stop";
    return std::nullopt;
  }
  if (!person) {
    // An answer begun while a short question is being finished is kept.
    if (!(awaiting_ && own.size() <= 6)) handled_ = text;
    return "busy";
  }
  // The request after the name, without the assistant's own words around it.
  auto name = findName(fresh);
  std::vector<std::string> after = wake::words(fresh.substr(name ? name->first : 0));
  std::size_t skip = name ? std::min(name->second, after.size()) : 0;
  std::vector<std::string> kept;
  const auto& urgent = wake::lists().urgent;
  for (std::size_t i = skip; i < after.size(); ++i) {
    if (!has(own, after[i]) || urgent.count(after[i]) > 0) kept.push_back(after[i]);
  }
  fresh = join(kept).empty() ? "jarvis" : "jarvis " + join(kept);
  return std::nullopt;
}

std::optional<Ears::Found> Ears::findRequest(const std::string& fresh,
                                             const std::vector<std::string>& heard,
                                             double sinceSpoke, double now, Calls& calls,
                                             std::optional<Next>& next, std::string& outcome) {
  if (auto name = findName(fresh)) {
    std::size_t end = name->first + (name->second == 2 ? 10 : 6);
    std::string after = fresh.substr(std::min(end, fresh.size()));
    if (!wake::words(after).empty()) return Found{.request = trimmed(after, " ")};
    std::string before = fresh.substr(0, name->first);
    auto words = wake::words(before);
    auto spoken = std::count_if(words.begin(), words.end(),
                                [](const std::string& word) { return word != "hey"; });
    // The name said last: "open composition mode Jarvis".
    if (spoken >= 2 && spoken <= 9) return Found{.request = trimmed(before, " ")};
    return Found{};
  }
  if (openUntil_ > now) return Found{.request = fresh};
  if (casualUntil_ > now && heard.size() < 10) {
    return Found{.request = fresh, .casual = true, .guessedName = now < softUntil_};
  }
  // A misheard name at the start: "service new composition".
  auto first = std::find_if(heard.begin(), heard.end(), [](const std::string& word) {
    return word != "hey" && word != "ok" && word != "okay";
  });
  if (first != heard.end() && first - heard.begin() <= 1 && heard.size() >= 2 &&
      heard.size() <= 12 && wake::looseName(*first, key_)) {
    return Found{.request = join(heard, static_cast<std::size_t>(first - heard.begin()) + 1),
                 .casual = true,
                 .guessedName = true};
  }
  const auto& fillers = wake::lists().fillers;
  std::vector<std::string> rest;
  for (const auto& word : heard) {
    if (fillers.count(word) == 0) rest.push_back(word);
  }
  if (rest.size() == 1) {
    const std::string& word = rest[0];
    const wake::KnownName* entry = wake::known(key_);
    bool uncertain = entry && entry->uncertainAlone.count(word) > 0;
    // "jarbis" on its own is answered; "Thursday" is not.
    if (heard.size() < 3 && wake::looseName(word, key_) && !(uncertain && heard.size() == 1)) {
      return Found{.request = "", .casual = false, .guessedName = false, .bareGuess = true};
    }
    if (uncertain && heard.size() == 1 && sinceSpoke > 8.0 && now - lastChatter_ > 4.0 &&
        casualUntil_ <= now) {
      ++token_;
      next = Next{.soft = true,
                  .token = token_,
                  .wait = 0.7,
                  .request = "",
                  .casual = false,
                  .guessedName = false};
      outcome = "soft";
      return std::nullopt;
    }
  }
  if (!heard.empty() && heard[0] == "hey" && heard.size() >= 3 && heard.size() <= 10) {
    return Found{.request = join(heard, 1), .casual = true, .guessedName = true};
  }
  nameAt_ = -1;
  if (heard.size() >= 2) lastChatter_ = now;
  ++token_;
  if (heard.size() < 3 && now - lastMiss_ > 3.0) {
    lastMiss_ = now;
    logCall(calls, "a word or two went by that did not sound like my name");
  }
  outcome = "not for me";
  return std::nullopt;
}

std::string Ears::follow(const Next& next) {
  if (parts_.fast) {
    if (!next.soft) return act(next);
    listenQuietly(next);
    return "soft";
  }
  std::weak_ptr<Ears*> self = self_;
  parts_.runtime.after(next.wait, [self, next] {
    auto alive = self.lock();
    if (!alive) return;
    if (next.soft) {
      (*alive)->listenQuietly(next);
    } else {
      (*alive)->act(next);
    }
  });
  return next.soft ? "soft" : "waiting";
}

std::string Ears::act(const Next& next) {
  std::string request;
  {
    MutexLock guard(mutex_);
    if (token_ != next.token) return "stale";
    double now = parts_.runtime.now();
    request = trimmed(next.request, " ,.!?");
    awaiting_ = request.empty();
    openUntil_ = request.empty() ? now + 10.0 : 0.0;
    handled_ = lastText_;
    nameAt_ = -1;
    if (!request.empty() && !lastFinal_) actedBeforeFinal_ = now;
  }
  log("acting on: " + (request.empty() ? std::string("(just the name)") : request));
  trace("@earreset");
  parts_.link.ui("earreset");
  if (!next.casual) {
    if (!request.empty() && !parts_.fast) {
      trace("chime 96");
      parts_.link.chime({96}, 30, 0.06);
    }
    trace("hear \"" + request + "\"");
    parts_.link.hear(request, false, false);
    return "acted";
  }
  std::string result = "ignored";
  if (!request.empty()) {
    trace(std::string(next.guessedName ? "hear casual guessed \"" : "hear casual \"") + request +
          "\"");
    result = parts_.link.hear(request, true, next.guessedName);
  }
  if (result != "ignored") return "acted";
  log("let a remark go by");
  return "ignored";
}

void Ears::listenQuietly(const Next& next) {
  {
    MutexLock guard(mutex_);
    if (token_ != next.token) return;
    double now = parts_.runtime.now();
    casualUntil_ = now + 7.0;
    softUntil_ = now + 7.0;
    handled_ = lastText_;
  }
  log("may have heard my name: listening quietly for a request");
  trace("@flash good");
  parts_.link.ui("flash good");
  if (!parts_.fast) {
    trace("chime 84 91");
    parts_.link.chime({84, 91}, 26, 0.07);
  }
}

void Ears::level(double value) {
  if (!std::isfinite(value) || value < 0) value = 0;
  const EarsLink::Speaking speaking = parts_.link.speaking();
  Calls calls;
  {
    MutexLock guard(mutex_);
    const double now = parts_.runtime.now();
    const bool talking = now < speaking.lastSpokenAt;
    auto unduck = [&] { calls.push_back([this] { parts_.link.duck(false); }); };
    if (talking != wasSpeaking_) {
      wasSpeaking_ = talking;
      if (!talking) {
        // A sentence ended: its loudness is what the assistant sounds like here.
        if (thisPeak_ > 0) ownPeak_ = ownPeak_ == 0 ? thisPeak_ : 0.3 * thisPeak_ + 0.7 * ownPeak_;
        if (overUntil_ > 0) {
          overUntil_ = 0;
          unduck();
        }
      } else {
        speechStart_ = now;
        thisPeak_ = 0;
        overCount_ = 0;
        fruitless_ = 0;
      }
    }
    if (talking && overUntil_ <= 0) {
      double reference = std::max(ownPeak_, 0.8 * thisPeak_);
      if (now - speechStart_ >= 0.7 && ownPeak_ > 0 && fruitless_ < 2 && reference > 0.004 &&
          value > 1.45 * reference) {
        ++overCount_;
        overLevel_ = std::max(overLevel_, value);
        if (overCount_ == 2) {
          overCount_ = 0;
          overUntil_ = now + 2.2;
          calls.push_back([this] { parts_.link.duck(true); });
          logCall(calls, "someone is talking over me: voice turned down to listen");
        }
      } else {
        thisPeak_ = std::max(thisPeak_, value);
        overCount_ = 0;
        overLevel_ = 0;
      }
    } else if (talking && overUntil_ < now) {
      overUntil_ = 0;
      ++fruitless_;
      ownPeak_ = std::max(ownPeak_, overLevel_);
      unduck();
      logCall(calls, "carried on speaking");
    }
  }
  for (auto& call : calls) call();
}

void Ears::voiceFinished() {
  auto text = files::readFile(parts_.baseDir / "follow-up.txt");
  const bool followUpOff = text && files::trim(*text) == "0";
  std::optional<int> recheck;
  {
    MutexLock guard(mutex_);
    const double now = parts_.runtime.now();
    if (awaiting_) {
      openUntil_ = now + 8.0;
      recheck = token_;
    }
    casualUntil_ = followUpOff ? 0.0 : now + 6.0;
  }
  if (!recheck) return;
  // The answer may have been said over the end of the question.
  std::weak_ptr<Ears*> self = self_;
  parts_.runtime.after(0.65, [self, token = *recheck] {
    auto alive = self.lock();
    if (!alive) return;
    Ears& ears = **alive;
    std::string again;
    {
      MutexLock guard(ears.mutex_);
      if (ears.token_ != token || !ears.awaiting_ || ears.lastText_ == ears.handled_) return;
      again = ears.lastText_;
    }
    ears.partial(again, false);
  });
}

void Ears::expectAnswer() {
  MutexLock guard(mutex_);
  awaiting_ = true;
  openUntil_ = parts_.runtime.now() + 12.0;
}

void Ears::interruptCall(Calls& calls) {
  calls.push_back([this] {
    trace("interrupt");
    parts_.link.interrupt();
  });
}

void Ears::logCall(Calls& calls, const std::string& line) {
  calls.push_back([this, line] { log(line); });
}

void Ears::log(const std::string& line) {
  if (parts_.fast) return;
  trace("log: " + line);
  files::appendToFile(parts_.baseDir / "voice-log.txt", localTimeText(false) + "  " + line + "\n");
}

void Ears::trace(const std::string& line) {
  if (parts_.trace) parts_.trace(line);
}

}  // namespace orvo
