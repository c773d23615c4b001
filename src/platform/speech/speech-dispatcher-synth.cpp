#include "platform/speech/speech-dispatcher-synth.h"

#include <speech-dispatcher/libspeechd.h>

#include <cmath>
#include <sstream>
#include <tuple>

#include "platform/utf8.h"

namespace orvo {
namespace {

SpeechDispatcherSynth* instance = nullptr;

void onEvent(size_t messageId, size_t, SPDNotificationType type) {
  if (instance) instance->notify(messageId, static_cast<int>(type), nullptr);
}

void onMark(size_t messageId, size_t, SPDNotificationType type, char* mark) {
  if (instance) instance->notify(messageId, static_cast<int>(type), mark);
}

}  // namespace

SpeechDispatcherSynth::SpeechDispatcherSynth() {
  char* error = nullptr;
  SPDConnection* connection =
      spd_open2("orvo", "speech", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
  free(error);
  if (!connection) return;
  connection_ = connection;
  instance = this;
  connection->callback_begin = onEvent;
  connection->callback_end = onEvent;
  connection->callback_cancel = onEvent;
  connection->callback_im = onMark;
  spd_set_notification_on(connection, SPD_BEGIN);
  spd_set_notification_on(connection, SPD_END);
  spd_set_notification_on(connection, SPD_CANCEL);
  spd_set_notification_on(connection, SPD_INDEX_MARKS);
  spd_set_data_mode(connection, SPD_DATA_SSML);
}

SpeechDispatcherSynth::~SpeechDispatcherSynth() {
  if (!connection_) return;
  instance = nullptr;
  spd_close(static_cast<SPDConnection*>(connection_));
}

void SpeechDispatcherSynth::setDelegate(Delegate* delegate) {
  std::lock_guard guard(mutex_);
  delegate_ = delegate;
}

bool SpeechDispatcherSynth::available() {
  return connection_ != nullptr;
}

std::vector<SynthVoice> SpeechDispatcherSynth::voices() {
  std::vector<SynthVoice> found;
  if (!connection_) return found;
  SPDVoice** list = spd_list_synthesis_voices(static_cast<SPDConnection*>(connection_));
  for (SPDVoice** voice = list; voice && *voice; ++voice) {
    std::string name = (*voice)->name ? (*voice)->name : "";
    std::string language = (*voice)->language ? (*voice)->language : "";
    if (!name.empty()) found.push_back({name, name, language, 0});
  }
  if (list) free_spd_voices(list);
  return found;
}

void SpeechDispatcherSynth::speak(const SynthUtterance& utterance) {
  auto* connection = static_cast<SPDConnection*>(connection_);
  if (!connection) return;
  Spoken spoken{utterance.id, {}};
  std::ostringstream ssml;
  ssml << "<speak>";
  std::istringstream words(utterance.text);
  for (std::string word; words >> word;) {
    ssml << "<mark name=\"" << spoken.words.size() << "\"/>" << escapeMarkup(word) << ' ';
    spoken.words.push_back(word);
  }
  ssml << "</speak>";
  if (!utterance.voiceId.empty()) spd_set_synthesis_voice(connection, utterance.voiceId.c_str());
  if (utterance.volume < 1.0f) {
    spd_set_volume(connection, static_cast<int>(std::lround((utterance.volume - 1.0f) * 100)));
  } else {
    spd_set_volume(connection, 0);
  }
  // Never hold our lock across the call: its reply and our callbacks share a thread.
  int messageId = spd_say(connection, SPD_MESSAGE, ssml.str().c_str());
  if (messageId < 0) {
    Delegate* delegate;
    {
      std::lock_guard guard(mutex_);
      delegate = delegate_;
    }
    if (delegate) delegate->synthDidCancel(utterance.id);
    return;
  }
  std::vector<std::tuple<std::size_t, int, std::string>> early;
  {
    std::lock_guard guard(mutex_);
    spoken_[static_cast<std::size_t>(messageId)] = spoken;
    for (auto it = early_.begin(); it != early_.end();) {
      if (std::get<0>(*it) == static_cast<std::size_t>(messageId)) {
        early.push_back(*it);
        it = early_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Replayed the way late ones arrive, so an early end also forgets the message.
  for (auto& [id, event, mark] : early) notify(id, event, mark.empty() ? nullptr : mark.c_str());
}

void SpeechDispatcherSynth::stopSpeaking() {
  if (connection_) spd_cancel(static_cast<SPDConnection*>(connection_));
}

void SpeechDispatcherSynth::notify(std::size_t messageId, int event, const char* mark) {
  Spoken spoken;
  {
    std::lock_guard guard(mutex_);
    auto it = spoken_.find(messageId);
    if (it == spoken_.end()) {
      if (early_.size() < 64) early_.emplace_back(messageId, event, mark ? mark : "");
      return;
    }
    spoken = it->second;
    if (event == SPD_EVENT_END || event == SPD_EVENT_CANCEL) spoken_.erase(it);
  }
  deliver(spoken, event, mark);
}

void SpeechDispatcherSynth::deliver(const Spoken& spoken, int event, const char* mark) {
  Delegate* delegate;
  {
    std::lock_guard guard(mutex_);
    delegate = delegate_;
  }
  if (!delegate) return;
  switch (event) {
    case SPD_EVENT_BEGIN:
      delegate->synthDidStart(spoken.id);
      break;
    case SPD_EVENT_END:
      delegate->synthDidFinish(spoken.id);
      break;
    case SPD_EVENT_CANCEL:
      delegate->synthDidCancel(spoken.id);
      break;
    case SPD_EVENT_INDEX_MARK: {
      std::size_t index = mark ? std::strtoul(mark, nullptr, 10) : spoken.words.size();
      if (index < spoken.words.size()) delegate->synthWillSpeakWord(spoken.id, spoken.words[index]);
      break;
    }
    default:
      break;
  }
}

}  // namespace orvo
