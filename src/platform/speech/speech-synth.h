#pragma once
// The platform's speech synthesiser, as the Speaker drives it: speak an
// utterance, stop at once, and report through a delegate when an utterance
// starts, reaches a word, finishes or is cancelled. The service behind it may
// die, hang or come back, so the link can be opened again at any time.
//
// connect(), speak() and stopSpeaking() are called on one serial queue (a
// call into a frozen service may block it), except the stopSpeaking() of the
// quit, which may not wait for that queue; connected() from any thread;
// voices() from any thread, on a link of its own, and it may never return;
// delegate calls arrive on the synthesiser's own thread.

#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

struct SynthVoice {
  std::string id;        // what selects it
  std::string name;      // what the player hears it called
  std::string language;  // "en", "en-US" ...
  int quality = 0;       // higher is better, where the synthesiser says
};

struct SynthUtterance {
  std::uint64_t id = 0;
  std::string text;
  float volume = 1.0f;  // 0 to 1; 1 leaves the player's own setting alone
  std::string voiceId;  // empty: the player's own default voice
};

// The player's own speech settings, as far as the synthesiser tells them:
// what a voice of ours copies so it sounds like the one they chose.
struct PlayerSpeech {
  int rate = 0;           // -100 (slowest) to 100 (fastest); 0 is the synthesiser's normal
  std::string language;   // "en", "en-US"; empty when not told
  std::string voiceType;  // "male1" ... "female3", "child_male"; empty when not told
};

class SpeechSynth {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    virtual void synthDidStart(std::uint64_t id) = 0;
    virtual void synthWillSpeakWord(std::uint64_t id, const std::string& word) = 0;
    virtual void synthDidFinish(std::uint64_t id) = 0;
    virtual void synthDidCancel(std::uint64_t id) = 0;
  };

  virtual ~SpeechSynth() = default;
  virtual void setDelegate(Delegate* delegate) = 0;
  // Opens the link to the service, closing an old one first (starting the
  // service when it is not running); false when it cannot be reached.
  virtual bool connect() = 0;
  // The link is open and the service at its other end has not gone away.
  virtual bool connected() = 0;
  virtual std::vector<SynthVoice> voices() = 0;
  // False when the service did not take the utterance.
  virtual bool speak(const SynthUtterance& utterance) = 0;
  virtual void stopSpeaking() = 0;
  // The player's settings as read when the link was last opened; any thread.
  virtual PlayerSpeech playerSpeech() { return {}; }
};

}  // namespace orvo

namespace orvo {

// No synthesiser: text mode, where nothing is spoken and no service is started.
class NoSpeechSynth final : public SpeechSynth {
 public:
  void setDelegate(Delegate*) override {}
  bool connect() override { return false; }
  bool connected() override { return false; }
  std::vector<SynthVoice> voices() override { return {}; }
  bool speak(const SynthUtterance&) override { return false; }
  void stopSpeaking() override {}
};

}  // namespace orvo
