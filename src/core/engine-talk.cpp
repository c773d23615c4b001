// Talk mode: middle C, D, E, F and G each say a sentence in piano notes.

#include <sstream>

#include "core/engine.h"
#include "platform/files.h"

namespace orvo {

void Engine::loadTalkSentences() {
  std::map<int, std::string> sentences;
  if (auto text = files::readFile(dataFile("sentences.txt"))) {
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
      auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string key = files::trim(line.substr(0, equals));
      std::string sentence = files::trim(line.substr(equals + 1));
      char* end = nullptr;
      long number = std::strtol(key.c_str(), &end, 10);
      if (key.empty() || *end != '\0' || number < 0 || number > 127 || sentence.empty()) continue;
      sentences[static_cast<int>(number)] = sentence;
    }
  }
  if (sentences.empty()) {
    sentences = {{60, "Hello. I am your piano, and I can talk."},
                 {62, "Shall we play a song together?"},
                 {64, "Listen closely, and you can hear the words."},
                 {65, "Every key has a story to tell."},
                 {67, "Thank you for playing with me today!"}};
  }
  std::lock_guard guard(lock);
  talkMap_ = std::move(sentences);
  talkCache_.clear();
}

std::map<int, std::string> Engine::talkSentences() {
  std::lock_guard guard(lock);
  return talkMap_;
}

void Engine::playTalk(int key) {
  run([this, key](int gen) {
    std::vector<Ev> events;
    std::string sentence;
    {
      std::lock_guard guard(lock);
      auto cached = talkCache_.find(key);
      if (cached != talkCache_.end()) events = cached->second;
      sentence = talkMap_[key];
    }
    if (events.empty()) {
      // Worked out once per sentence, here on the activity's thread, never on the note path.
      auto worked = parts_.pianoSpeech(sentence);
      if (!worked || worked->empty()) {
        logLine("piano speech unavailable for: " + sentence);
        return say(sentence, gen);
      }
      events = std::move(*worked);
      std::lock_guard guard(lock);
      talkCache_[key] = events;
    }
    play(events, gen);
  });
}

}  // namespace orvo
