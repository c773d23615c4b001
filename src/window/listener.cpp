#include "window/listener.h"

#include <malloc.h>

#include <cstdio>
#include <fstream>

#include "window/microphone.h"
#include "window/recogniser-model.h"

namespace orvo::window {
namespace {

std::string_view restAfter(std::string_view line, std::string_view verb) {
  return line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string_view();
}

bool starts(std::string_view line, std::string_view verb) {
  return line.substr(0, verb.size()) == verb &&
         (line.size() == verb.size() || line[verb.size()] == ' ');
}

}  // namespace

Listener::Listener(Parts parts) : parts_(std::move(parts)) {}

Listener::~Listener() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void Listener::start() {
  thread_ = std::thread([this] { listen(); });
}

void Listener::engineLine(std::string_view line) {
  if (!line.empty() && line.front() == '@') line.remove_prefix(1);
  std::lock_guard guard(mutex_);
  const auto now = Clock::now();
  if (starts(line, "name")) {
    const std::string_view rest = restAfter(line, "name");
    const auto bar = rest.find('|');
    if (bar != std::string_view::npos && std::string(rest.substr(bar + 1)) != name_) {
      name_ = std::string(rest.substr(bar + 1));
      modelChanged_ = true;
    }
  } else if (starts(line, "vocab")) {
    heardVocabulary_ = true;
    const std::string words(restAfter(line, "vocab"));
    if (words != vocabulary_) {
      vocabulary_ = words;
      modelChanged_ = true;
    }
  } else if (starts(line, "earreset")) {
    resetAsked_ = true;
  } else if (starts(line, "say")) {
    captionLength_ = restAfter(line, "say").size();
  } else if (starts(line, "start")) {
    // No line says a sentence has ended: it sounds for about its length.
    const auto seconds = 0.5 + 0.075 * static_cast<double>(captionLength_);
    soundingUntil_ = now + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  } else if (starts(line, "out")) {
    const std::string_view rest = restAfter(line, "out");
    const bool on = rest.size() > 2 && rest.substr(rest.find(' ') + 1) != "0";
    notesOut_ = std::max(0, notesOut_ + (on ? 1 : -1));
    if (notesOut_ == 0)
      soundingUntil_ = std::max(soundingUntil_, now + std::chrono::milliseconds(300));
  }
}

bool Listener::orvoSounding() {
  std::lock_guard guard(mutex_);
  return notesOut_ > 0 || Clock::now() < soundingUntil_;
}

std::unique_ptr<SpeechRecogniser> Listener::makeRecogniser() {
  RecogniserWords words;
  words.phrases = parts_.phrases;
  {
    std::lock_guard guard(mutex_);
    words.name = name_;
    words.vocabulary = vocabulary_;
    modelChanged_ = false;
  }
  std::string why;
  auto recogniser = window::makeRecogniser(words, parts_.workFolder, &why);
  if (!recogniser) parts_.tell(why);
  return recogniser;
}

void Listener::listen() {
  std::unique_ptr<Microphone> microphone;
  std::unique_ptr<SpeechRecogniser> recogniser;
  std::vector<std::int16_t> block;
  bool toldMissing = false;
  // The engine sends its name and words at once: the model waits for them
  // (a few seconds at most) rather than being made twice.
  const auto started = Clock::now();
  while (!stopping_) {
    bool remake = false, reset = false;
    {
      std::lock_guard guard(mutex_);
      remake =
          modelChanged_ && (heardVocabulary_ || Clock::now() - started > std::chrono::seconds(3));
      reset = resetAsked_;
      resetAsked_ = false;
    }
    if (remake) {
      // The old model goes before the new one is made, so the two are never held together.
      recogniser.reset();
      recogniser = makeRecogniser();
      // Building the model leaves freed memory behind; it goes back to the system.
      ::malloc_trim(0);
      if (parts_.trace) parts_.trace(recogniser ? "model ready" : "no model");
    }
    if (reset && recogniser) recogniser->reset();
    if (!microphone) {
      std::string why;
      microphone = Microphone::open(parts_.microphone, &why);
      if (!microphone && parts_.trace) parts_.trace("no microphone: " + why);
      if (!microphone) {
        if (!toldMissing) parts_.tell(why);
        toldMissing = true;
        for (int i = 0; i < 20 && !stopping_; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        continue;
      }
      if (toldMissing) parts_.tell("I can hear the microphone again.");
      toldMissing = false;
    }
    if (!microphone->read(block)) {
      microphone.reset();
      parts_.tell("The microphone went away. I'll listen again as soon as it is back.");
      toldMissing = true;
      continue;
    }
    if (!parts_.record.empty()) {
      std::ofstream out(parts_.record, std::ios::binary | std::ios::app);
      out.write(reinterpret_cast<const char*>(block.data()),
                static_cast<std::streamsize>(block.size() * sizeof(std::int16_t)));
    }
    const double level = levelOf(block);
    char line[40];
    std::snprintf(line, sizeof line, "~lvl %.4f\n", level);
    parts_.send(line);
    if (!recogniser) continue;
    const bool sounding = orvoSounding();
    gate_.level(level, sounding, recogniser->inSpeech());
    for (const Recognised& heard : recogniser->feed(block.data(), block.size())) {
      const bool passes = gate_.passes();
      if (heard.final) gate_.nextUtterance();
      if (parts_.trace) {
        parts_.trace(std::string(passes ? "" : "held back (Orvo's own sound): ") +
                     (heard.final ? "final " : "partial ") + heard.text);
      }
      if (!passes) continue;
      parts_.send(std::string("~ear ") + (heard.final ? "1" : "0") + " " + heard.text + "\n");
    }
  }
}

}  // namespace orvo::window
