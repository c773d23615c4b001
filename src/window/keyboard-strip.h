#pragma once
// The piano's 88 keys drawn in a strip: keys the player holds lit in one
// colour, keys Orvo sounds in another, the button keys marked. It draws from
// the window's state and nothing else.
//
// Threads: GTK's main loop only.

#include <gtkmm/drawingarea.h>

#include "window/window-state.h"

namespace orvo::window {

class KeyboardStrip final : public Gtk::DrawingArea {
 public:
  KeyboardStrip();
  void show(const WindowState& state);

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;

 private:
  std::bitset<128> played_;
  std::bitset<128> sounded_;
  std::bitset<128> buttons_;
  bool contrast_ = false;
};

}  // namespace orvo::window
