#pragma once
// The live band: a bass that follows the lowest notes the player plays, a
// soft pad (the strings channel) gathering the chord tones above it, and a
// cello, all swelling while the player plays and fading when the player
// stops. No take, no analysis: each note is read as it comes.
//
// Every message has an exact due time, handed to the output with it. The
// band never waits for a tick to act: advance() does what is due up to now
// (a root change 80 ms after its candidate, a scheduled note-off) and says
// when it is next needed; the swell and the silence check keep to an
// absolute 25 ms grid, so waking between grid points never moves the swell.
//
// Threads: note() and release() from the MIDI thread, advance() from the
// band's clock, the rest from any thread; all state under the band's own
// lock, taken after the engine's lock and never before it. No allocation
// after construction: fixed rings and arrays.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>

namespace orvo {

class LiveBand {
 public:
  // A 3-byte channel message and the time it is due.
  using Out = std::function<void(const std::uint8_t* bytes, std::size_t size, double due)>;
  static constexpr double kGrid = 0.025;
  static constexpr double kNever = std::numeric_limits<double>::infinity();

  LiveBand();

  // Where messages go (set before switching on).
  void setOut(Out out);
  bool on();
  // Switching on starts the grid at `now`; switching off silences.
  void setOn(bool on, double now);

  // A player's note and its release (non-button notes, in the modes the
  // band follows). note() gives the earliest time the band is needed.
  double note(int pitch, int velocity, double t);
  void release(int pitch);
  // Everything due up to `now`, each at its own time; the next due time
  // (kNever while off).
  double advance(double now);
  double nextDue();
  // Every band note off, and back to the start.
  void silence(double now);

  // For tests and the window: what sounds.
  struct Sounding {
    std::optional<int> root, bass, cello;
    std::array<int, 3> pad{};
    int padCount = 0;
    double swell = 0.0;
  };
  Sounding sounding();

 private:
  struct Off {
    double at;
    int channel;
    int pitch;
  };

  double nextDueLocked() const;
  std::optional<double> rootDue() const;
  void changeRoot(double now);
  void grid(double now);
  void gather(int pitchClass, double t);
  void play(int channel, int pitch, double velocity, double at);
  void scheduleOff(double at, int channel, int pitch);
  void send(std::uint8_t status, int data1, int data2, double at);
  void silenceLocked(double now);
  void dropOld(double t);

  std::mutex lock_;
  Out out_;
  bool on_ = false;

  // Note-ons of the last 3 s, oldest first, in a ring.
  static constexpr std::size_t kRecent = 1024;
  std::array<std::pair<double, int>, kRecent> recent_{};
  std::size_t recentStart_ = 0, recentCount_ = 0;
  std::optional<int> root_;
  double rootAt_ = -10.0;
  std::array<double, 128> down_{};  // when each held key went down; < 0 when not held
  std::optional<std::pair<int, double>> waiting_;
  std::optional<int> bass_;
  std::array<int, 3> pad_{};
  int padCount_ = 0;
  std::optional<int> cello_;
  bool hasThird_ = false;
  int padCentre_ = 62;
  int celloLast_ = 55;
  static constexpr std::size_t kOffs = 64;
  std::array<Off, kOffs> offs_{};
  std::size_t offCount_ = 0;
  double lastPlay_ = 0.0;
  double loud_ = 0.7;
  double swell_ = 0.0;
  double aim_ = 0.0;
  int sentCC_ = -1;
  // The grid: its origin and the index of the next point.
  double gridOrigin_ = 0.0;
  long gridIndex_ = 0;
  double nextGrid_ = kNever;
};

// The pitch of `pitchClass` within low..high nearest to `target`, the lower
// on a tie; none when the range holds no such pitch.
std::optional<int> nearestPitch(int pitchClass, int low, int high, int target);

}  // namespace orvo
