#include "engine/button-keys.h"

namespace orvo {

// Asked for every note the piano sends, so it must not allocate.
bool ButtonKeys::isCommandKey(int key) const {
  if (key < 0) return false;
  return key == hear || key == notes || key == next || key == back || key == talk || key == pause ||
         key == compose || key == help || key == keep || key == home;
}

std::vector<int> ButtonKeys::commandKeys() const {
  std::vector<int> keys = topButtons();
  if (keep >= 0) keys.push_back(keep);
  if (home >= 0) keys.push_back(home);
  return keys;
}

bool ButtonKeys::setTopKey(int top) {
  std::vector<int> whites;
  for (int key = top; key >= 0 && whites.size() < 8; --key) {
    int pc = key % 12;
    if (pc == 0 || pc == 2 || pc == 4 || pc == 5 || pc == 7 || pc == 9 || pc == 11) {
      whites.push_back(key);
    }
  }
  if (whites.size() < 8) return false;
  hear = whites[0];
  notes = whites[1];
  next = whites[2];
  back = whites[3];
  talk = whites[4];
  pause = whites[5];
  compose = whites[6];
  help = whites[7];
  keep = top - 87;
  home = top - 85;
  return true;
}

}  // namespace orvo
