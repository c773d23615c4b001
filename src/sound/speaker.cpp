#include "sound/speaker.h"
#include "platform/window-lines.h"

#include <algorithm>

#include "platform/files.h"
#include "sound/voice-meter.h"

namespace orvo {

std::vector<SynthVoice> Speaker::englishVoices(std::vector<SynthVoice> all) {
  std::vector<SynthVoice> english;
  for (auto& voice : all) {
    if (voice.language.rfind("en", 0) == 0) english.push_back(std::move(voice));
  }
  std::stable_sort(english.begin(), english.end(), [](const SynthVoice& a, const SynthVoice& b) {
    if (a.quality != b.quality) return a.quality > b.quality;
    return (a.language == "en-US") > (b.language == "en-US");
  });
  return english;
}

Speaker::Speaker(Parts parts) : parts_(std::move(parts)) {
  stopSynth_ = parts_.runtime.makeWakeup(
      [this] { parts_.runtime.onMain([this] { parts_.synth.stopSpeaking(); }); });
  parts_.synth.setDelegate(this);
  voices_ = englishVoices(parts_.synth.voices());
  // Without a choice of ours the player's own default voice speaks.
  std::string chosen = files::trim(parts_.store.read("voice.txt").value_or(""));
  for (const auto& voice : voices_) {
    if (!chosen.empty() && voice.id == chosen) voice_ = voice;
  }
}

Speaker::~Speaker() {
  parts_.synth.setDelegate(nullptr);
}

void Speaker::say(const std::string& text, SpeechTicket ticket) {
  if (parts_.opt.textMode) {
    {
      MutexLock guard(lock_);
      if (!ticket.current()) return;
    }
    parts_.print(text);
    return;
  }
  std::shared_ptr<Semaphore> done = parts_.runtime.makeSemaphore();
  SynthUtterance utterance;
  std::uint64_t stopsAtStart;
  {
    MutexLock guard(lock_);
    if (!ticket.current()) return;  // a newer press came first
    stopsAtStart = stops_;
    if (!useProcess_ && !parts_.synth.available()) useProcess_ = true;
    if (useProcess_) {
      // fall through to the tool below, outside the lock
    } else {
      utterance.id = nextId_++;
      waiting_[utterance.id] = done;
    }
  }
  parts_.ui(lines::say(text));
  if (utterance.id == 0) return sayWithProcess(text);

  utterance.text = text;
  utterance.volume = volume_;
  {
    MutexLock guard(lock_);
    if (voice_) utterance.voiceId = voice_->id;
  }
  if (parts_.meter && parts_.uiOn) parts_.meter->measure(text, 175);
  parts_.runtime.onMain([this, utterance] { startOnMain(utterance); });

  if (done->wait(3.0)) return;
  bool started;
  {
    MutexLock guard(lock_);
    started = startedAny_;
  }
  if (started) {
    done->wait(120.0);  // a sentence that never finishes holds its caller at most this long
    MutexLock guard(lock_);
    waiting_.erase(utterance.id);
    return;
  }
  // The synthesiser is not working: the tool speaks from now on.
  {
    MutexLock guard(lock_);
    useProcess_ = true;
    waiting_.erase(utterance.id);
    if (stops_ != stopsAtStart) return;  // stopped meanwhile: nothing more to say
  }
  parts_.runtime.onMain([this] { parts_.synth.stopSpeaking(); });
  sayWithProcess(text);
}

void Speaker::startOnMain(const SynthUtterance& utterance) {
  {
    MutexLock guard(lock_);
    if (!waiting_.count(utterance.id)) return;  // stopped before it could start
  }
  parts_.synth.speak(utterance);
}

void Speaker::sayWithProcess(const std::string& text) {
  if (parts_.tool.speak(text, volume_) == SpeechTool::Result::cannotSpeak) {
    parts_.print(text);
  }
}

// Called for every right note of a lesson: when nothing is being said it
// touches no queue at all.
void Speaker::stop() {
  std::map<std::uint64_t, std::shared_ptr<Semaphore>> released;
  {
    MutexLock guard(lock_);
    released.swap(waiting_);
    ++stops_;
  }
  for (auto& [id, semaphore] : released) semaphore->signal();
  parts_.tool.stop();
  if (!released.empty()) stopSynth_->wake();
}

void Speaker::silenceNow() {
  stop();
  parts_.synth.stopSpeaking();
}

std::string Speaker::voiceName() {
  MutexLock guard(lock_);
  return voice_ ? voice_->name : "";
}

bool Speaker::usingTool() {
  MutexLock guard(lock_);
  return useProcess_;
}

std::string Speaker::nextVoice() {
  SynthVoice next;
  {
    MutexLock guard(lock_);
    if (voices_.empty()) return "No other voices";
    std::size_t index = 0;
    for (std::size_t i = 0; i < voices_.size(); ++i) {
      if (voice_ && voices_[i].id == voice_->id) index = (i + 1) % voices_.size();
    }
    voice_ = voices_[index];
    next = *voice_;
  }
  parts_.ui(lines::voice(next.name));
  parts_.store.write("voice.txt", next.id + "\n");
  return next.name;
}

void Speaker::synthDidStart(std::uint64_t) {
  parts_.ui(std::string(lines::speechStart));
  MutexLock guard(lock_);
  startedAny_ = true;
}

void Speaker::synthWillSpeakWord(std::uint64_t, const std::string& word) {
  parts_.ui(lines::word(word));
}

void Speaker::synthDidFinish(std::uint64_t id) {
  release(id);
}
void Speaker::synthDidCancel(std::uint64_t id) {
  release(id);
}

void Speaker::release(std::uint64_t id) {
  std::shared_ptr<Semaphore> semaphore;
  {
    MutexLock guard(lock_);
    auto it = waiting_.find(id);
    if (it == waiting_.end()) return;
    semaphore = it->second;
    waiting_.erase(it);
  }
  semaphore->signal();
}

}  // namespace orvo
