#include "window/piano-roll-view.h"

#include <atkmm/object.h>

#include <algorithm>

namespace orvo::window {

PianoRollView::PianoRollView() {
  set_size_request(-1, 160);
  get_accessible()->set_name("Piano roll");
  get_accessible()->set_description("The notes of the file that is playing");
}

void PianoRollView::show(const WindowState& state) {
  set_visible(state.rollPlaying && !state.roll.empty());
  if (state.roll.size() == shownCount_ && (state.roll.empty() || !notes_.empty())) return;
  notes_ = state.roll;
  shownCount_ = notes_.size();
  queue_draw();
}

bool PianoRollView::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  const double width = get_allocated_width();
  const double height = get_allocated_height();
  cr->set_source_rgb(0.08, 0.08, 0.08);
  cr->paint();
  if (notes_.empty()) return true;
  double end = 1;
  int low = 127, high = 0;
  for (const RollNote& note : notes_) {
    end = std::max(end, note.t + note.dur);
    low = std::min(low, note.pitch);
    high = std::max(high, note.pitch);
  }
  const double rows = std::max(1, high - low + 1);
  for (const RollNote& note : notes_) {
    const double hue = (note.track % 6) / 6.0;
    cr->set_source_rgb(0.4 + 0.6 * hue, 0.9 - 0.5 * hue, 0.3 + 0.4 * (1 - hue));
    const double x = note.t / end * width;
    const double y = (high - note.pitch) / rows * height;
    cr->rectangle(x, y, std::max(1.0, note.dur / end * width), std::max(2.0, height / rows));
    cr->fill();
  }
  return true;
}

}  // namespace orvo::window
