#pragma once
// The piano keys that act as buttons.

#include <vector>

namespace orvo {
// MIDI keys of the buttons: the top white keys of an 88-key piano, the lowest
// key and the white key next to it. Learning the real top key moves the top ones.
struct ButtonKeys {
  int hear = 108;
  int notes = 107;
  int next = 105;
  int back = 103;
  int talk = 101;
  int pause = 100;
  int compose = 98;
  int help = 96;
  int keep = 21;
  int home = 23;

  // The eight top buttons, from the top down (the window's "buttons" line).
  std::vector<int> topButtons() const {
    return {hear, notes, next, back, talk, pause, compose, help};
  }
  // Every button key; the lowest two only when the keyboard reaches them.
  std::vector<int> commandKeys() const;
  bool isCommandKey(int key) const;

  // Moves every button for a keyboard whose highest key is `top`: the eight
  // white keys from it downwards, the lowest key and the white key above it of
  // an 88-key piano with that top. False (nothing changed) with fewer than
  // eight white keys at or below it.
  bool setTopKey(int top);
};

}  // namespace orvo
