#include "platform/speech/speech-dispatcher/speech-dispatcher-synth.h"

#include <poll.h>
#include <pthread.h>
#include <speech-dispatcher/libspeechd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "platform/utf8.h"

namespace orvo {
namespace {

std::atomic<SpeechDispatcherSynth*> instance{nullptr};

void onEvent(size_t messageId, size_t, SPDNotificationType type) {
  if (auto* synth = instance.load()) synth->notify(messageId, static_cast<int>(type), nullptr);
}

void onMark(size_t messageId, size_t, SPDNotificationType type, char* mark) {
  if (auto* synth = instance.load()) synth->notify(messageId, static_cast<int>(type), mark);
}

// Asks the service and returns the lines of its answer (the text after
// "NNN-"), none when it refused or the link broke. libspeechd's own
// getters and lists read an answer that is not there when the link broke
// while they waited, and crash the program: a service slow to start, or one
// that goes away, must never do that.
std::vector<std::string> ask(SPDConnection* connection, const char* command) {
  char* reply = nullptr;
  pthread_mutex_lock(&connection->ssip_mutex);  // one command at a time on a link
  const int result = spd_execute_command_with_reply(connection, command, &reply);
  pthread_mutex_unlock(&connection->ssip_mutex);
  std::string text = reply ? reply : "";
  free(reply);
  std::vector<std::string> lines;
  if (result != 0) return lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line.size() > 4 && line[3] == '-') lines.push_back(line.substr(4));
    at = end + 2;
  }
  return lines;
}

std::optional<std::string> askOne(SPDConnection* connection, const char* command) {
  auto lines = ask(connection, command);
  if (lines.empty()) return std::nullopt;
  return lines.front();
}

// The rate, language and voice type a new client starts with: the player's
// own defaults from their speech-dispatcher settings. What is not answered
// stays as it is.
PlayerSpeech readPlayerSpeech(SPDConnection* connection) {
  PlayerSpeech settings;
  if (auto rate = askOne(connection, "GET RATE")) {
    char* end = nullptr;
    const long value = std::strtol(rate->c_str(), &end, 10);
    if (end != rate->c_str() && *end == '\0' && value >= -100 && value <= 100)
      settings.rate = static_cast<int>(value);
  }
  if (auto language = askOne(connection, "GET LANGUAGE")) settings.language = *language;
  // Answered by name ("MALE1", "CHILD_FEMALE").
  if (auto type = askOne(connection, "GET VOICE_TYPE")) {
    static const std::set<std::string> kTypes = {
        "male1", "male2", "male3", "female1", "female2", "female3", "child_male", "child_female"};
    std::string name;
    for (char c : *type) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (kTypes.count(name)) settings.voiceType = name;
  }
  return settings;
}

}  // namespace

SpeechDispatcherSynth::SpeechDispatcherSynth() {
  instance = this;
}

SpeechDispatcherSynth::~SpeechDispatcherSynth() {
  instance = nullptr;
  if (auto* connection = static_cast<SPDConnection*>(connection_.load());
      connection && connected()) {
    spd_close(connection);
  }
}

void SpeechDispatcherSynth::setDelegate(Delegate* delegate) {
  std::lock_guard guard(mutex_);
  delegate_ = delegate;
}

// An old link is silenced and left open, never closed: when the service died,
// libspeechd's event thread winds down on its own and still uses the
// connection (closing it then frees what that thread holds). A link is left
// behind only when the service failed, and costs a few hundred bytes.
void SpeechDispatcherSynth::close() {
  stopSpeaking();
  socket_ = -1;
  connection_ = nullptr;
}

PlayerSpeech SpeechDispatcherSynth::playerSpeech() {
  std::lock_guard guard(mutex_);
  return playerSpeech_;
}

bool SpeechDispatcherSynth::connect() {
  close();
  {
    // A new service numbers its messages from the start again.
    std::lock_guard guard(mutex_);
    spoken_.clear();
    early_.clear();
  }
  SPDConnection* connection = nullptr;
  // Another client starting the service at the same moment (a screen reader
  // at login) makes our own start fail while the service comes up: once more.
  for (int attempt = 0; attempt < 2 && !connection; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    char* error = nullptr;
    connection = spd_open2("orvo", "speech", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    free(error);
  }
  if (!connection) return false;
  connection->callback_begin = onEvent;
  connection->callback_end = onEvent;
  connection->callback_cancel = onEvent;
  connection->callback_im = onMark;
  spd_set_notification_on(connection, SPD_BEGIN);
  spd_set_notification_on(connection, SPD_END);
  spd_set_notification_on(connection, SPD_CANCEL);
  spd_set_notification_on(connection, SPD_INDEX_MARKS);
  spd_set_data_mode(connection, SPD_DATA_SSML);
  PlayerSpeech settings = readPlayerSpeech(connection);
  {
    std::lock_guard guard(mutex_);
    playerSpeech_ = std::move(settings);
  }
  connection_ = connection;
  socket_ = connection->socket;
  return true;
}

// A service that died closed its end of the socket: poll sees it without
// reading anything the event thread is waiting for.
bool SpeechDispatcherSynth::connected() {
  int fd = socket_;
  if (fd < 0) return false;
  pollfd probe{fd, POLLRDHUP, 0};
  if (::poll(&probe, 1, 0) < 0) return true;
  return !(probe.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

std::vector<SynthVoice> SpeechDispatcherSynth::voices() {
  std::vector<SynthVoice> found;
  char* error = nullptr;
  SPDConnection* lister = spd_open2("orvo", "voices", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
  free(error);
  if (!lister) return found;
  // Each line: name, language and variant, between tabs.
  for (const std::string& line : ask(lister, "LIST SYNTHESIS_VOICES")) {
    const std::size_t tab = line.find('\t');
    std::string name = line.substr(0, tab);
    std::string language;
    if (tab != std::string::npos)
      language = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
    if (!name.empty()) found.push_back({name, name, language, 0});
  }
  spd_close(lister);
  return found;
}

bool SpeechDispatcherSynth::speak(const SynthUtterance& utterance) {
  auto* connection = static_cast<SPDConnection*>(connection_.load());
  if (!connection || !connected()) return false;
  Spoken spoken{utterance.id, WordMarks(utterance.text)};
  std::ostringstream ssml;
  ssml << "<speak>";
  for (std::size_t i = 0; i < spoken.words.words().size(); ++i) {
    ssml << "<mark name=\"" << i << "\"/>" << escapeMarkup(spoken.words.words()[i]) << ' ';
  }
  ssml << "</speak>";
  if (!utterance.voiceId.empty()) spd_set_synthesis_voice(connection, utterance.voiceId.c_str());
  int volume =
      utterance.volume < 1.0f ? static_cast<int>(std::lround((utterance.volume - 1.0f) * 100)) : 0;
  if (spd_set_volume(connection, volume) < 0) return false;
  // Never hold our lock across the call: its reply and our callbacks share a thread.
  int messageId = spd_say(connection, SPD_MESSAGE, ssml.str().c_str());
  if (messageId < 0) return false;
  std::vector<std::tuple<std::size_t, int, std::string>> early;
  {
    std::lock_guard guard(mutex_);
    spoken_.insert_or_assign(static_cast<std::size_t>(messageId), std::move(spoken));
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
  return true;
}

// A link the service has hung up on is left alone: libspeechd's event thread
// closes its socket then, and a command written at that moment could reach
// whatever file is opened next under the same number.
void SpeechDispatcherSynth::stopSpeaking() {
  void* connection = connection_.load();
  if (connection && connected()) spd_cancel(static_cast<SPDConnection*>(connection));
}

void SpeechDispatcherSynth::notify(std::size_t messageId, int event, const char* mark) {
  std::uint64_t id;
  std::vector<std::string> words;
  Delegate* delegate;
  {
    std::lock_guard guard(mutex_);
    auto it = spoken_.find(messageId);
    if (it == spoken_.end()) {
      if (early_.size() < 64) early_.emplace_back(messageId, event, mark ? mark : "");
      return;
    }
    id = it->second.id;
    if (event == SPD_EVENT_INDEX_MARK && mark) {
      words = it->second.words.reach(std::strtoul(mark, nullptr, 10));
    } else if (event == SPD_EVENT_END) {
      words = it->second.words.rest();  // marks lost at the very end still get their words
    }
    if (event == SPD_EVENT_END || event == SPD_EVENT_CANCEL) spoken_.erase(it);
    delegate = delegate_;
  }
  if (!delegate) return;
  switch (event) {
    case SPD_EVENT_BEGIN:
      delegate->synthDidStart(id);
      break;
    case SPD_EVENT_END:
      for (const auto& word : words) delegate->synthWillSpeakWord(id, word);
      delegate->synthDidFinish(id);
      break;
    case SPD_EVENT_CANCEL:
      delegate->synthDidCancel(id);
      break;
    case SPD_EVENT_INDEX_MARK:
      for (const auto& word : words) delegate->synthWillSpeakWord(id, word);
      break;
    default:
      break;
  }
}

}  // namespace orvo
