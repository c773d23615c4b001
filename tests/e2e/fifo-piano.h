#pragma once
// A piano on FIFOs for the real binary: a keyboard played in real time into
// ORVO_MIDI_IN, and what the engine sends on ORVO_MIDI_OUT, each message
// with the time it was read.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "platform/real-time-priority.h"
#include "temp-folder.h"

namespace orvo::testing {

// A lesson handing over to the player: "Your turn." and its other wordings.
inline bool isTurn(const std::string& line) {
  for (const char* turn : {"Your turn.", "Now you.", "Over to you.", "Have a go."}) {
    if (line.rfind(turn, 0) == 0) return true;
  }
  return false;
}

// Raises the calling thread to real-time priority for as long as it lives,
// then puts it back as it was.
class PunctualWhilePlaying {
 public:
  PunctualWhilePlaying() {
    saved_ = ::pthread_getschedparam(::pthread_self(), &policy_, &param_) == 0;
    if (saved_) raiseToRealTime(::pthread_self());
  }
  ~PunctualWhilePlaying() {
    if (saved_) ::pthread_setschedparam(::pthread_self(), policy_, &param_);
  }
  PunctualWhilePlaying(const PunctualWhilePlaying&) = delete;
  PunctualWhilePlaying& operator=(const PunctualWhilePlaying&) = delete;

 private:
  bool saved_ = false;
  int policy_ = SCHED_OTHER;
  sched_param param_{};
};

// A keyboard on a FIFO, played in real time.
class Keyboard {
 public:
  explicit Keyboard(const std::filesystem::path& fifo) : fd_(::open(fifo.c_str(), O_WRONLY)) {}
  ~Keyboard() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open() const { return fd_ >= 0; }
  void send(std::initializer_list<int> bytes) {
    std::string data;
    for (int byte : bytes) data.push_back(static_cast<char>(byte));
    EXPECT_EQ(::write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  }
  // Notes of the C major chord, up and down, each held for most of `step`.
  // Played at real-time priority, like the engine's reader and the output's
  // reader here: on a busy machine a note stamped and then held back before
  // it is written would come back late against its stamp.
  void phrase(int count, double step = 0.25) {
    static const int notes[] = {60, 64, 67, 72, 67, 64};
    PunctualWhilePlaying punctual;
    for (int i = 0; i < count; ++i) {
      int pitch = notes[i % 6];
      sentAt.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
              .count());
      send({0x90, pitch, 80});
      wait(step * 0.8);
      send({0x80, pitch, 0});
      wait(step * 0.2);
    }
  }
  std::vector<double> sentAt;  // when each note of a phrase was sent
  static void wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }

 private:
  int fd_;
};

// What the engine sends on ORVO_MIDI_OUT, each message with the time it was read.
class MidiOut {
 public:
  struct Message {
    double at;
    int status, key, velocity;
  };
  explicit MidiOut(const std::filesystem::path& fifo)
      : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this] { read(); }) {}
  ~MidiOut() {
    stop_ = true;
    thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  std::vector<Message> since(double from) {
    std::lock_guard guard(mutex_);
    std::vector<Message> out;
    for (const Message& message : messages_) {
      if (message.at >= from) out.push_back(message);
    }
    return out;
  }
  static double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

 private:
  void read() {
    // Stamped the moment the engine sends, however busy the machine: the
    // engine's own musical threads run at real-time priority too.
    raiseToRealTime(pthread_self());
    std::vector<int> pending;
    while (!stop_) {
      pollfd poller{fd_, POLLIN, 0};
      if (::poll(&poller, 1, 20) <= 0) continue;
      unsigned char buffer[512];
      ssize_t got = ::read(fd_, buffer, sizeof buffer);
      const double at = now();
      if (got <= 0) {
        // No writer (the engine has gone, another may come): the pipe stays
        // readable at its end, so wait rather than spin at real-time priority.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      for (ssize_t i = 0; i < got; ++i) {
        if (buffer[i] & 0x80) pending.clear();
        pending.push_back(buffer[i]);
        if (pending.size() == 3) {
          std::lock_guard guard(mutex_);
          messages_.push_back({at, pending[0], pending[1], pending[2]});
          pending.clear();
        }
      }
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Message> messages_;
  std::thread thread_;
};

struct Piano {
  TempFolder home;
  std::filesystem::path input = home / "Piano In";
  std::filesystem::path output = home / "Piano Out";
  bool made = ::mkfifo(input.c_str(), 0600) == 0 && ::mkfifo(output.c_str(), 0600) == 0 &&
              files::writeFileAtomically(home / "top-key.txt", "108\n");
  OrvoProcess::Options options() {
    return {.home = home.path(),
            .env = {{"ORVO_MIDI_IN", input.string()}, {"ORVO_MIDI_OUT", output.string()}}};
  }
};

// The binary on a fresh piano: started and welcomed, its keyboard open, and
// what it sends on the MIDI output read from before it started.
struct PianoSession {
  Piano piano;
  MidiOut out{piano.output};
  OrvoProcess orvo{piano.options()};
  bool welcomed = orvo.waitForPrefix("@welcome").has_value();
  Keyboard keys{piano.input};
  bool ready() const { return piano.made && welcomed && keys.open(); }
};

}  // namespace orvo::testing
