#pragma once
// The piano roll of a file that plays: every note as a bar in time and pitch,
// shown while the file plays and hidden when it stops.
//
// Threads: GTK's main loop only.

#include <gtkmm/drawingarea.h>

#include "window/window-state.h"

namespace orvo::window {

class PianoRollView final : public Gtk::DrawingArea {
 public:
  PianoRollView();
  void show(const WindowState& state);

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;

 private:
  std::vector<RollNote> notes_;
  std::size_t shownCount_ = 0;
};

}  // namespace orvo::window
