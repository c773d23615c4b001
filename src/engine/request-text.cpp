#include "engine/request-text.h"

#include "platform/local-time.h"

#include <algorithm>

#include "platform/files.h"
#include "voice/request-words.h"

namespace orvo::requesttext {

std::string bare(const Heard& heard) {
  std::string text = heard.text;
  for (const char* tail : {" please", " now", " thanks", " thank you"}) {
    std::string end = tail;
    if (text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) {
      text.erase(text.size() - end.size());
    }
  }
  return text;
}

bool among(const std::string& text, const Words& phrases) {
  return std::find(phrases.begin(), phrases.end(), text) != phrases.end();
}

bool hasAny(const Heard& heard, const Words& phrases) {
  return heard.hasAnyOf(phrases);
}

std::string stem(const std::string& word) {
  return word.size() > 3 && word.back() == 's' ? word.substr(0, word.size() - 1) : word;
}

std::string clockText(const std::tm& local, const char* format) {
  std::string out = formatLocalTime(local, format);
  if (!out.empty() && out[0] == '0') out.erase(0, 1);  // "3:05 PM", not "03:05 PM"
  return out;
}

bool aboutText(const Heard& heard) {
  return heard.hasAnyOf(requests::familyWords().screenText);
}

bool aboutTheScreen(const Heard& heard) {
  return aboutText(heard) || heard.hasAnyOf(requests::familyWords().screenWindow);
}

std::optional<std::string> pieceName(const Heard& heard) {
  for (std::string_view phrase : requests::familyWords().pieceName) {
    if (heard.has(std::string(phrase))) return heard.after(std::string(phrase));
  }
  return std::nullopt;
}

std::string titleCase(std::string name) {
  bool start = true;
  for (char& c : name) {
    if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    start = c == ' ';
  }
  return name;
}

std::string reminderLabel(const Heard& heard) {
  const std::string& text = heard.text;
  const auto remind = text.find("remind me");
  if (remind == std::string::npos) return "";
  const auto to = text.find(" to ", remind);
  if (to == std::string::npos) return "";
  std::string label = text.substr(to + 4);
  // A time said after the label belongs to the timer.
  for (const char* cut : {" in ", " after "}) {
    const auto at = label.rfind(cut);
    if (at != std::string::npos && Heard(label.substr(at)).number()) label.resize(at);
  }
  return files::trim(label);
}

std::optional<int> numberSaid(const Heard& heard) {
  if (heard.hasAny({"second", "seconds", "minute", "minutes", "hour", "hours"})) {
    return heard.number();
  }
  std::string strong;
  for (const auto& word : heard.words) {
    if (word != "a" && word != "an") strong += word + " ";
  }
  return Heard(strong).number();
}

std::optional<double> timerSeconds(const Heard& heard) {
  auto number = numberSaid(heard);
  if (!number) return std::nullopt;
  const bool seconds = heard.hasAny({"second", "seconds"});
  const bool hours = heard.hasAny({"hour", "hours"});
  return *number * (seconds ? 1.0 : hours ? 3600.0 : 60.0);
}

}  // namespace orvo::requesttext
