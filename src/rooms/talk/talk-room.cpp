#include "rooms/talk/talk-room.h"
#include "platform/store.h"

#include <sstream>

#include "engine/room-services.h"
#include "platform/files.h"

namespace orvo {

TalkRoom::TalkRoom(RoomServices& engine, Parts parts) : engine_(engine), parts_(std::move(parts)) {
  load();
}

void TalkRoom::load() {
  std::map<int, std::string> sentences;
  if (auto text = parts_.store.read("sentences.txt")) {
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
  sentences_ = std::move(sentences);
  cache_.clear();
}

std::map<int, std::string> TalkRoom::sentences() {
  std::lock_guard guard(engine_.lock);
  return sentences_;
}

std::string TalkRoom::helpText() {
  return "Talk mode. Middle C, D, E, F and G each say a sentence. Counting white keys down from "
         "the top, with the computer key after each. One, or space, starts a lesson. Five, or t, "
         "leaves talk mode. Seven, or c, is composition mode. Eight, or h, this help. The second "
         "lowest white key, or zero, goes home.";
}

void TalkRoom::note(int key) {
  if (!sentences_.count(key)) return;
  engine_.run([this, key](int gen) {
    std::vector<Ev> events;
    std::string sentence;
    {
      std::lock_guard guard(engine_.lock);
      auto cached = cache_.find(key);
      if (cached != cache_.end()) events = cached->second;
      sentence = sentences_[key];
    }
    if (events.empty()) {
      // Worked out once per sentence, here on the activity's thread, never on the note path.
      auto worked = parts_.pianoSpeech(sentence);
      if (!worked || worked->empty()) {
        engine_.logLine("piano speech unavailable for: " + sentence);
        return engine_.say(sentence, gen);
      }
      events = std::move(*worked);
      std::lock_guard guard(engine_.lock);
      cache_[key] = events;
    }
    engine_.play(events, gen);
  });
}

}  // namespace orvo
