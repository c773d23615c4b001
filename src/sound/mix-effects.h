#pragma once
// The effects of the band's two buses: a stereo room reverb (Schroeder-
// Moorer: eight parallel damped combs and four allpasses per side, as in
// Freeverb) and biquad filters (high shelf, high-pass) for the hall's
// equaliser. Buffers are sized at construction; processing never allocates.
// One thread at a time (the audio thread).

#include <array>
#include <vector>

namespace orvo {

class Reverb {
 public:
  struct Preset {
    float roomSize;  // 0 to 1: the length of the tail
    float damping;   // 0 to 1: how fast the highs die away
    float wet;       // 0 to 1: the share of reverberated sound in the output
  };
  static constexpr Preset mediumHall{0.72f, 0.45f, 0.24f};
  static constexpr Preset largeHall{0.86f, 0.35f, 0.40f};

  Reverb(int sampleRate, Preset preset);
  // In place: left and right become the bus's output.
  void process(float* left, float* right, int frames);

  // A delay line with its read position; a comb also keeps its damping's last value.
  struct Comb {
    std::vector<float> buffer;
    std::size_t at = 0;
    float store = 0;
  };
  struct Allpass {
    std::vector<float> buffer;
    std::size_t at = 0;
  };

 private:
  // One side's combs and allpasses: `out` becomes the wet signal of `in`.
  void side(std::array<Comb, 8>& combs, std::array<Allpass, 4>& allpasses, const float* in,
            float* out, std::size_t frames);
  Preset preset_;
  float feedback_;
  std::array<Comb, 8> combsL_, combsR_;
  std::array<Allpass, 4> allpassL_, allpassR_;
};

class Biquad {
 public:
  static Biquad highShelf(int sampleRate, double hz, double gainDB);
  static Biquad highPass(int sampleRate, double hz);
  void process(float* samples, int frames);
  // `first` then `second` on each side, the four filters side by side: the
  // same samples as four calls to process(), in a fraction of the time.
  static void processStereoChain(std::array<Biquad, 2>& first, std::array<Biquad, 2>& second,
                                 float* left, float* right, int frames);

 private:
  double step(double x);
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

}  // namespace orvo
