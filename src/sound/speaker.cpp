#include "sound/speaker.h"

#include <algorithm>
#include <cctype>

#include "platform/files.h"
#include "platform/speech/word-marks.h"
#include "platform/window-lines.h"
#include "sound/kokoro.h"
#include "sound/voice-meter.h"

namespace orvo {
namespace {

std::string lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "en-GB" and "en_GB" both belong to "en"; "eng" does not.
bool ofLanguage(const std::string& code, const std::string& language) {
  std::string c = lower(code), l = lower(language);
  return c.rfind(l, 0) == 0 && (c.size() == l.size() || c[l.size()] == '-' || c[l.size()] == '_');
}

std::string baseLanguage(const std::string& code) {
  return lower(code.substr(0, code.find_first_of("-_")));
}

}  // namespace

std::string Speaker::spokenVoiceName(const std::string& name) {
  std::string base = name, variant;
  if (auto plus = name.find('+'); plus != std::string::npos) {
    base = name.substr(0, plus);
    variant = name.substr(plus + 1);
  }
  auto open = base.find(" (");
  if (open != std::string::npos && base.back() == ')') {
    std::string language = base.substr(0, open);
    std::string place = base.substr(open + 2, base.size() - open - 3);
    if (auto comma = place.rfind(", "); comma != std::string::npos) place = place.substr(comma + 2);
    static const std::map<std::string, std::string> people = {
        {"America", "American"},
        {"Great Britain", "British"},
        {"Scotland", "Scottish"},
        {"Ireland", "Irish"},
        {"Wales", "Welsh"},
        {"Australia", "Australian"},
        {"Canada", "Canadian"},
        {"India", "Indian"},
        {"Jamaica", "Jamaican"},
        {"Brazil", "Brazilian"},
        {"Portugal", "Portuguese"},
        {"France", "French"},
        {"Belgium", "Belgian"},
        {"Switzerland", "Swiss"},
        {"Spain", "Spanish"},
        {"Mexico", "Mexican"},
        {"Germany", "German"},
        {"Austria", "Austrian"},
        {"Received Pronunciation", "Received Pronunciation"}};
    auto found = people.find(place);
    base = (found != people.end() ? found->second : place) + " " + language;
  }
  return variant.empty() || lower(variant) == "none" ? base : base + ", " + variant;
}

std::vector<SynthVoice> Speaker::voiceChoices(const std::vector<SynthVoice>& all,
                                              const std::string& language) {
  struct Offered {
    SynthVoice voice;
    std::string region;  // its language code, lower case
    std::string said;    // its name as a person says it
  };
  std::string wanted = baseLanguage(language), mine = lower(language);
  std::vector<Offered> offered;
  for (const auto& voice : all) {
    if (lower(voice.id).find("eloquence") != std::string::npos) continue;
    if (ofLanguage(voice.language, wanted)) {
      offered.push_back({voice, lower(voice.language), spokenVoiceName(voice.name)});
    }
  }
  // The player's own region first, then by the name a person says: a region's
  // plain voice ("British English") comes before its variants ("British
  // English, Adam"), whose names it begins.
  std::stable_sort(offered.begin(), offered.end(), [&](const Offered& a, const Offered& b) {
    if ((a.region == mine) != (b.region == mine)) return a.region == mine;
    if (a.voice.quality != b.voice.quality) return a.voice.quality > b.voice.quality;
    return a.said < b.said;
  });
  // The first voice of each region stands for it; the rest follow.
  std::vector<SynthVoice> choices{{"", "Your own voice", language, 0}}, rest;
  std::vector<std::string> regions;
  for (auto& entry : offered) {
    entry.voice.name = entry.said;
    bool first = std::find(regions.begin(), regions.end(), entry.region) == regions.end();
    if (first) regions.push_back(entry.region);
    (first ? choices : rest).push_back(entry.voice);
  }
  choices.insert(choices.end(), rest.begin(), rest.end());
  return choices;
}

Speaker::Speaker(Parts parts)
    : parts_(std::move(parts)), speech_(parts_.runtime.serial("orvo.speech")) {
  stopSynth_ = parts_.runtime.makeWakeup([this] {
    speech_.post([this] {
      if (cancelPending_.exchange(false)) parts_.synth.stopSpeaking();
    });
  });
  parts_.synth.setDelegate(this);
  // Without a choice of ours the player's own default voice speaks; the
  // voice list that names it comes later.
  std::string chosen = files::trim(parts_.store.read("voice.txt").value_or(""));
  MutexLock guard(lock_);
  if (!chosen.empty()) voice_ = SynthVoice{chosen, spokenVoiceName(chosen), "", 0};
}

Speaker::~Speaker() {
  parts_.synth.setDelegate(nullptr);
}

void Speaker::log(const std::string& line) {
  if (parts_.log) parts_.log(line);
}

void Speaker::loadVoices(double limit) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  // After the speech link is up: two links opened at once could both try to
  // start the service, and one of them would fail.
  speech_.post([this, finished] {
    linkUp();
    parts_.runtime.async([this, finished] {
      auto choices = voiceChoices(parts_.synth.voices(), parts_.language);
      MutexLock guard(lock_);
      voices_ = std::move(choices);
      voicesLoaded_ = true;
      if (voice_) {
        std::string chosen = voice_->id;
        auto found = std::find_if(voices_.begin(), voices_.end(),
                                  [&chosen](const SynthVoice& v) { return v.id == chosen; });
        if (found != voices_.end() && !found->id.empty()) {
          voice_ = *found;
        } else if (voices_.size() > 1) {
          voice_.reset();  // a voice no longer installed: the player's own speaks
        }
      }
      *finished = true;
    });
  });
  parts_.runtime.after(limit, [this, finished, limit] {
    if (!*finished) {
      log("speech: the list of voices did not come within " +
          std::to_string(static_cast<int>(limit)) + " s; the default voice speaks");
    }
  });
}

void Speaker::say(const std::string& whole, SpeechTicket ticket) {
  const bool heard = parts_.talking && !parts_.opt.textMode;
  if (heard) parts_.talking(true);
  sayOne(whole, ticket);
  if (parts_.news) {
    if (auto news = parts_.news()) sayOne(*news, ticket);
  }
  if (heard) parts_.talking(false);
}

void Speaker::sayOne(const std::string& whole, SpeechTicket ticket) {
  std::string text = whole;
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
  bool tool;
  {
    MutexLock guard(lock_);
    if (!ticket.current()) return;  // a newer press came first
    stopsAtStart = stops_;
    tool = useProcess_;
  }
  parts_.ui(lines::say(text));
  if (usingFastVoice()) {
    // What the natural voice could not say (nothing to hear it on, a sentence
    // it could not render) goes on in the platform voice.
    Kokoro::Spoken spoken =
        parts_.neural->say(text, [this] { parts_.ui(std::string(lines::speechStart)); });
    if (spoken.any && spoken.rest.empty()) return;
    {
      MutexLock guard(lock_);
      if (!ticket.current() || stops_ != stopsAtStart) return;
    }
    if (spoken.any) text = spoken.rest;
  } else if (parts_.neural) {
    parts_.neural->revive();  // a server that went down comes back for later sentences
  }
  if (parts_.outputPresent && !parts_.outputPresent()) return parts_.print(text);
  if (tool) {
    probeLater();
    return sayWithProcess(text);
  }
  {
    MutexLock guard(lock_);
    if (stops_ != stopsAtStart) return;
    utterance.id = nextId_++;
    double now = parts_.runtime.now();
    Pending pending;
    pending.done = done;
    pending.asked = pending.lastEvent = now;
    waiting_[utterance.id] = pending;
    if (voice_) utterance.voiceId = voice_->id;
  }
  utterance.text = text;
  utterance.volume = volume_;
  if (parts_.meter && parts_.uiOn) parts_.meter->measure(text, 175);
  speech_.post([this, utterance] { startOnQueue(utterance); });

  if (auto broken = watch(utterance.id, text, *done, stopsAtStart)) {
    switchToTool(broken->why);
    sayWithProcess(broken->rest);
  }
}

std::optional<Speaker::Broken> Speaker::watch(std::uint64_t id, const std::string& text,
                                              Semaphore& done, std::uint64_t stopsAtStart) {
  const std::size_t wordCount = WordMarks(text).words().size();
  for (;;) {
    done.wait(0.25);
    bool linked = parts_.synth.connected();
    MutexLock guard(lock_);
    auto it = waiting_.find(id);
    if (it == waiting_.end()) return std::nullopt;  // finished, cancelled or stopped
    Pending& pending = it->second;
    double now = parts_.runtime.now();
    // Without word reports a sentence is given time for its words.
    double quiet = marksSeen_ ? stallLimit : beginLimit + 0.8 * wordCount;
    std::string why;
    if (!pending.failure.empty()) {
      why = pending.failure;
    } else if (!pending.begun && now - pending.asked >= beginLimit) {
      why = "no sentence began within 3 s";
    } else if (pending.begun && !linked) {
      why = "the speech service went away";
    } else if (pending.begun && now - pending.lastEvent >= quiet) {
      why = "a sentence stopped part way";
    } else if (now - pending.asked >= longestWait) {
      waiting_.erase(it);
      return std::nullopt;
    }
    if (why.empty()) continue;
    Broken broken{why, wordsFrom(text, pending.words)};
    waiting_.erase(it);
    if (stops_ != stopsAtStart) return std::nullopt;
    return broken;
  }
}

bool Speaker::openLink() {
  if (!parts_.synth.connect()) return false;
  MutexLock guard(lock_);
  everConnected_ = true;
  return true;
}

bool Speaker::linkUp() {
  if (parts_.synth.connected()) return true;
  {
    MutexLock guard(lock_);
    if (everConnected_) return false;
  }
  return openLink();
}

void Speaker::startOnQueue(const SynthUtterance& utterance) {
  // An older stop is carried out before the look at what is waiting: a stop
  // that comes after the look sets the flag again, and the job it queues
  // behind this one silences the sentence started here.
  if (cancelPending_.exchange(false)) parts_.synth.stopSpeaking();
  bool first;
  {
    MutexLock guard(lock_);
    if (!waiting_.count(utterance.id)) return;  // stopped before it could start
    first = !everConnected_;
  }
  // The first sentence opens the link; a link that broke later is opened
  // again in the background while the tool speaks.
  if (!linkUp()) {
    return fail(utterance.id,
                first ? "the speech service cannot be reached" : "the speech service went away");
  }
  if (!parts_.synth.speak(utterance)) fail(utterance.id, "the speech service refused a sentence");
}

void Speaker::fail(std::uint64_t id, const std::string& why) {
  std::shared_ptr<Semaphore> done;
  {
    MutexLock guard(lock_);
    auto it = waiting_.find(id);
    if (it == waiting_.end()) return;
    it->second.failure = why;
    done = it->second.done;
  }
  done->signal();
}

void Speaker::switchToTool(const std::string& why) {
  bool first;
  {
    MutexLock guard(lock_);
    first = !useProcess_;
    useProcess_ = true;
    nextProbe_ = parts_.runtime.now() + probeGap_;
  }
  if (first) log("speech: espeak-ng speaks from now on, because " + why);
  speech_.post([this] {
    parts_.synth.stopSpeaking();
    openLink();
  });
}

void Speaker::probeLater() {
  {
    MutexLock guard(lock_);
    if (probing_ || parts_.runtime.now() < nextProbe_) return;
    probing_ = true;
  }
  parts_.runtime.async([this] { probe(); });
}

void Speaker::probe() {
  std::uint64_t id;
  {
    MutexLock guard(lock_);
    id = probeId_ = nextId_++;
    probeBegun_ = false;
  }
  // Said at no volume: only its begin event is wanted.
  speech_.post([this, id] {
    if (parts_.synth.connected() || openLink())
      parts_.synth.speak(SynthUtterance{id, "ok", 0.0f, ""});
  });
  double start = parts_.runtime.now();
  bool answered = false;
  while (!answered && parts_.runtime.now() - start < beginLimit) {
    parts_.runtime.sleep(0.25);
    MutexLock guard(lock_);
    answered = probeBegun_;
  }
  // Cut the test sentence off before any real one can be queued behind it.
  if (answered) speech_.post([this] { parts_.synth.stopSpeaking(); });
  {
    MutexLock guard(lock_);
    probing_ = false;
    probeId_ = 0;
    if (answered) {
      useProcess_ = false;
      probeGap_ = firstRetry;
    } else {
      probeGap_ = std::min(latestRetry, probeGap_ * 2);
      nextProbe_ = parts_.runtime.now() + probeGap_;
    }
  }
  if (answered) log("speech: speech-dispatcher answers again and speaks from now on");
}

void Speaker::sayWithProcess(const std::string& text) {
  if (text.empty()) return;
  // The window hears when the tool's sound begins, as it does for the service's.
  auto began = [this] { parts_.ui(std::string(lines::speechStart)); };
  if (parts_.tool.speak(text, volume_, began) == SpeechTool::Result::cannotSpeak) {
    parts_.print(text);
  }
}

// Called for every right note of a lesson: when nothing is being said it
// touches no queue at all.
void Speaker::stop() {
  if (parts_.neural) parts_.neural->stop();
  std::map<std::uint64_t, Pending> released;
  {
    MutexLock guard(lock_);
    released.swap(waiting_);
    ++stops_;
  }
  for (auto& [id, pending] : released) pending.done->signal();
  parts_.tool.stop();
  if (!released.empty()) {
    cancelPending_ = true;
    stopSynth_->wake();
  }
}

bool Speaker::usingFastVoice() {
  return parts_.neural && parts_.neural->usable();
}

std::optional<double> Speaker::stepRate(int direction, Store::Kept kept) {
  // Without the natural voice, the platform voice's own rate: nothing to change.
  if (!parts_.neural || !parts_.neural->installed())
    return SpeechOutput::stepRate(direction, std::move(kept));
  return parts_.neural->stepRate(direction, std::move(kept));
}

void Speaker::silenceNow() {
  stop();
  parts_.synth.stopSpeaking();
}

std::string Speaker::voiceName() {
  if (usingFastVoice()) return parts_.neural->name();
  MutexLock guard(lock_);
  return voice_ && !voice_->id.empty() ? voice_->name : "";
}

bool Speaker::usingTool() {
  MutexLock guard(lock_);
  return useProcess_;
}

std::string Speaker::nextVoice(Store::Kept kept) {
  if (parts_.neural && parts_.neural->state() == Kokoro::State::ready) {
    if (auto name = parts_.neural->nextVoice(std::move(kept))) {
      parts_.ui(lines::voice(*name + " (Kokoro)"));
      return *name;
    }
    // Past the last natural voice: the platform voice as it was.
    std::string platform = voiceName();
    parts_.ui(lines::voice(platform.empty() ? "default" : platform));
    return platform.empty() ? "the computer's own voice" : platform;
  }
  SynthVoice next;
  const char* unchanged = nullptr;
  {
    MutexLock guard(lock_);
    if (!voicesLoaded_) {
      unchanged = kVoicesLoading;
    } else if (voices_.size() <= 1) {
      unchanged = kNoOtherVoices;
    } else {
      std::size_t index = 0;
      std::string current = voice_ ? voice_->id : "";
      for (std::size_t i = 0; i < voices_.size(); ++i) {
        if (voices_[i].id == current) index = (i + 1) % voices_.size();
      }
      voice_ = voices_[index];
      next = *voice_;
    }
  }
  if (unchanged) {
    if (kept) kept(std::nullopt);  // nothing changed, nothing to keep
    return unchanged;
  }
  parts_.ui(lines::voice(next.id.empty() ? "default" : next.name));
  parts_.store.write("voice.txt", next.id + "\n", nullptr, std::move(kept));
  return next.name;
}

void Speaker::synthDidStart(std::uint64_t id) {
  {
    MutexLock guard(lock_);
    if (id == probeId_) {
      probeBegun_ = true;
      return;
    }
    auto it = waiting_.find(id);
    if (it != waiting_.end()) {
      it->second.begun = true;
      it->second.lastEvent = parts_.runtime.now();
    }
  }
  parts_.ui(std::string(lines::speechStart));
}

void Speaker::synthWillSpeakWord(std::uint64_t id, const std::string& word) {
  {
    MutexLock guard(lock_);
    if (id == probeId_) return;
    marksSeen_ = true;
    auto it = waiting_.find(id);
    if (it != waiting_.end()) {
      ++it->second.words;
      it->second.lastEvent = parts_.runtime.now();
    }
  }
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
    semaphore = it->second.done;
    waiting_.erase(it);
  }
  semaphore->signal();
}

}  // namespace orvo
