#pragma once
// The link to the MIDI world: every keyboard merged into one input, decoded
// into note and pedal callbacks, and every note the system plays sent to the
// virtual source "Orvo" (and, when asked, to the player's piano). It remembers
// which notes it started so that everything can be silenced at once.
//
// Threads: parse() and the callbacks run on the backend's input thread and
// must stay quick (no allocation with the window detached, no I/O, no
// speech); send(), sendAt() and allOff() may be called from any thread;
// connectSources() runs on the main queue.

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/midi/midi-backend.h"
#include "platform/runtime.h"
#include "sound/sampler.h"

namespace orvo {

class MidiIO {
 public:
  struct Callbacks {
    std::function<void(int pitch, int velocity)> onNote;  // velocity 0: note off
    std::function<void(bool down)> onPedal;
    // A keyboard came (true) or went (false), after start-up; on the main queue.
    std::function<void(bool connected)> onKeyboard = nullptr;
  };
  // `ui` sends a window line; `uiOn` says whether the window is attached.
  // `mirror`, when given, also receives everything published on the virtual source.
  MidiIO(MidiBackend& backend, Runtime& runtime, std::function<void(const std::string&)> ui,
         bool uiOn, MidiBackend* mirror = nullptr);

  // Sources whose names hold one of these words are other programs' echoes of
  // our notes (a studio, the app window), never a keyboard. Before start().
  void ignoreSources(std::vector<std::string> words) { ignoredWords_ = std::move(words); }

  // Creates the client, ports and virtual source, then connects the keyboards.
  void start();
  void connectSources();

  // Notes that arrive before the callbacks are set are dropped.
  void setCallbacks(Callbacks callbacks);
  // The built-in sound; until it is set (or while it is not ready) every note goes out as MIDI.
  void setSampler(Sampler* sampler) { sampler_ = sampler; }

  void parse(const std::uint8_t* bytes, std::size_t size);
  void send(const std::uint8_t* bytes, std::size_t size);
  void send(std::initializer_list<std::uint8_t> bytes) { send(bytes.begin(), bytes.size()); }
  // Sends it at `due` on the runtime's clock: at once when that has passed,
  // else through the backend's timed output. A note-off given ahead still
  // counts its note as sounding, so allOff() (which forgets what has not gone
  // out) releases it either way.
  void sendAt(const std::uint8_t* bytes, std::size_t size, double due);
  // Every note off, and nothing given ahead goes out afterwards.
  void allOff();

  std::vector<std::pair<int, int>> sounding();  // [channel, note], lowest first
  std::vector<std::string> keyboards();
  // Why no keyboard is connected, for the log; empty when one is.
  std::string whyNoKeyboards();

  // A band playback is running, so the piano part is mixed into the built-in sound.
  std::atomic<bool> pianoHere{false};
  // A studio sounds the piano's notes, so the built-in sound leaves them to it.
  std::atomic<bool> studioSoundsPiano{false};
  // Also send every note to the player's piano, to sound on its own speakers.
  std::atomic<bool> alsoToPiano{false};

  // Names that are never taken as a keyboard: our own source and its echoes.
  bool ignoredSource(const std::string& name) const;

 private:
  void windowNote(const char* verb, int note, int velocity);
  // What the sampler, the window and allOff() keep of a message going out.
  // False when the built-in sound took it, so it does not go out as MIDI.
  bool account(const std::uint8_t* bytes, std::size_t size, bool ahead);
  // Note-offs for every key still held and the pedal up, as if the player let go.
  void releaseHeld();

  MidiBackend& backend_;
  std::atomic<Sampler*> sampler_{nullptr};
  MidiBackend* mirror_;
  Runtime& runtime_;
  std::vector<std::string> ignoredWords_;
  std::function<void(const std::string&)> ui_;
  bool uiOn_;

  std::atomic<const Callbacks*> callbacks_{nullptr};
  std::mutex callbacksMutex_;
  std::vector<std::unique_ptr<Callbacks>> allCallbacks_;  // kept alive for the input thread

  std::atomic<std::uint64_t> allOffs_{0};  // a message waiting on a timer from before is not sent
  std::mutex soundLock_;
  std::bitset<16 * 128> sounding_;

  std::mutex keyboardsMutex_;
  std::vector<std::string> keyboards_;
  bool started_ = false;
  bool announce_ = false;  // keyboard changes send their window line (after start-up's own)

  // What the player holds, as the input last said (written on the input thread).
  std::array<std::atomic<bool>, 128> held_{};
  std::atomic<bool> pedalDown_{false};
};

}  // namespace orvo
