#pragma once
// The window: large, high-contrast captions of what Orvo says and hears, its
// state, the keyboard strip and the piano roll, and a text entry for typed
// requests. Keys pressed with the captions in front go to the engine as the
// single keys they are in a terminal. Every part has an accessible name; the
// captions change quietly, so a screen reader does not read them over Orvo's
// own voice unless the player asks it to. Buttons send the voice and the
// music to the sound outputs there are; each acts only when pressed.
//
// Threads: GTK's main loop. takeLine() may be called from any thread: lines
// wait in order in a queue the main loop empties, so the engine's reader is
// never held up by drawing.

#include <glibmm/dispatcher.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "window/keyboard-strip.h"
#include "window/piano-roll-view.h"
#include "window/window-state.h"

namespace orvo::window {

class CaptionsWindow final : public Gtk::Window {
 public:
  // `send` writes bytes to the engine.
  explicit CaptionsWindow(std::function<bool(std::string_view)> send);

  // A line from the engine, in order; any thread.
  void takeLine(std::string_view line);
  // Something is wrong on the window's side (no microphone, an engine that
  // stopped): shown in the caption area; any thread.
  void tell(const std::string& sentence);
  // Lines received to be told to a listener (the recogniser needs "earreset",
  // "name", "vocab", "start" and "say"): called on the main loop.
  void onLine(std::function<void(std::string_view line)> watcher) { watcher_ = std::move(watcher); }

  const WindowState& state() const { return state_; }

 protected:
  bool on_key_press_event(GdkEventKey* event) override;

 private:
  void drain();
  void refresh();
  void styleFor(const WindowState& state);
  void sendTyped();
  // A row of buttons per sound output ("Voice on ...", "Music on ..."), made
  // again only when the outputs change; hidden when there are none.
  void refreshOutputs();

  std::function<bool(std::string_view)> send_;
  std::function<void(std::string_view)> watcher_;

  std::mutex queueMutex_;
  std::deque<std::string> queue_;
  bool drainPosted_ = false;
  Glib::Dispatcher wake_;

  WindowState state_;
  int shownFlashes_ = 0;
  int shownWindowRequests_ = 0;
  sigc::connection flashOff_;

  Glib::RefPtr<Gtk::CssProvider> css_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 12};
  Gtk::Label caption_;
  Gtk::Label heard_;
  Gtk::Label status_;
  Gtk::Label typing_;
  KeyboardStrip strip_;
  PianoRollView roll_;
  Gtk::Entry entry_;
  Gtk::Box outputs_{Gtk::ORIENTATION_VERTICAL, 4};
  std::vector<std::unique_ptr<Gtk::Widget>> outputWidgets_;
  std::vector<std::string> shownOutputs_;
};

}  // namespace orvo::window
