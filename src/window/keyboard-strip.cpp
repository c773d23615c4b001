#include "window/keyboard-strip.h"

#include <atkmm/object.h>

namespace orvo::window {
namespace {

constexpr int kLowest = 21;    // A0
constexpr int kHighest = 108;  // C8

bool black(int key) {
  const int pc = key % 12;
  return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

}  // namespace

KeyboardStrip::KeyboardStrip() {
  set_size_request(-1, 90);
  get_accessible()->set_name("Keyboard");
  get_accessible()->set_description("The piano's keys: what you play and what Orvo plays light up");
}

void KeyboardStrip::show(const WindowState& state) {
  std::bitset<128> buttons;
  for (int key : state.buttons) buttons.set(static_cast<std::size_t>(key));
  if (state.played == played_ && state.sounded == sounded_ && buttons == buttons_ &&
      state.highContrast == contrast_) {
    return;
  }
  played_ = state.played;
  sounded_ = state.sounded;
  buttons_ = buttons;
  contrast_ = state.highContrast;
  queue_draw();
}

bool KeyboardStrip::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  const double width = get_allocated_width();
  const double height = get_allocated_height();
  int whites = 0;
  for (int key = kLowest; key <= kHighest; ++key) whites += black(key) ? 0 : 1;
  const double keyWidth = width / whites;
  auto fill = [&](int key, bool isBlack) {
    const auto k = static_cast<std::size_t>(key);
    if (played_.test(k)) {
      cr->set_source_rgb(0.1, 0.5, 1.0);  // the player's
    } else if (sounded_.test(k)) {
      cr->set_source_rgb(1.0, 0.6, 0.0);  // Orvo's
    } else if (isBlack) {
      cr->set_source_rgb(0.05, 0.05, 0.05);
    } else {
      cr->set_source_rgb(1, 1, 1);
    }
  };
  int white = 0;
  for (int key = kLowest; key <= kHighest; ++key) {
    if (black(key)) continue;
    const double x = white * keyWidth;
    fill(key, false);
    cr->rectangle(x, 0, keyWidth, height);
    cr->fill();
    cr->set_source_rgb(0.3, 0.3, 0.3);
    cr->rectangle(x, 0, keyWidth, height);
    cr->stroke();
    if (buttons_.test(static_cast<std::size_t>(key))) {
      cr->set_source_rgb(contrast_ ? 1.0 : 0.8, contrast_ ? 1.0 : 0.0, 0.0);
      cr->rectangle(x + 2, height - 12, keyWidth - 4, 10);
      cr->fill();
    }
    ++white;
  }
  white = 0;
  for (int key = kLowest; key <= kHighest; ++key) {
    if (!black(key)) {
      ++white;
      continue;
    }
    const double x = white * keyWidth - keyWidth * 0.3;
    fill(key, true);
    cr->rectangle(x, 0, keyWidth * 0.6, height * 0.6);
    cr->fill();
  }
  return true;
}

}  // namespace orvo::window
