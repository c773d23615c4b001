#include "window/captions-window.h"

#include <atkmm/object.h>
#include <glibmm/main.h>
#include <gtkmm/stylecontext.h>

#include "window/key-bytes.h"

namespace orvo::window {
namespace {

// Lines applied in one turn of the main loop: a flood is drawn in steps, the
// window answering between them.
constexpr std::size_t kLinesATurn = 2000;

const char* kCss = R"(
window { background: #000000; }
label { color: #ffffff; font-size: 20px; }
label.caption { font-size: 34px; font-weight: bold; color: #ffff00; padding: 12px; }
label.heard { color: #9fd4ff; }
window.large label { font-size: 32px; }
window.large label.caption { font-size: 64px; }
window.contrast label { color: #ffffff; }
window.contrast label.caption { color: #ffffff; background: #000000; }
label.flash-good { background: #006400; }
label.flash-wrong { background: #8b0000; }
entry { font-size: 24px; background: #ffffff; color: #000000; }
)";

std::string joinState(const WindowState& s) {
  std::string text = "Mode: " + modeWords(s.mode);
  if (s.paused) text += ", paused";
  if (!s.now.empty()) text += ". Now: " + s.now;
  text += ". " + describeKeyboards(s) + ".";
  if (!s.voice.empty()) text += " Voice: " + s.voice + ".";
  if (!s.bandStyle.empty()) text += " Band: " + s.bandStyle;
  if (!s.bandLevel.empty()) text += ", " + s.bandLevel;
  if (!s.bandStyle.empty() || !s.bandLevel.empty()) text += ".";
  if (s.liveBand) text += " Live band on.";
  if (s.beat >= 0) text += " Beat " + std::to_string(s.beat % 4 + 1) + ".";
  if (s.earsOff) text += " Not listening.";
  if (!s.voiceOutput.empty()) text += " Voice on " + s.voiceOutput + ".";
  if (!s.musicOutput.empty()) text += " Music on " + s.musicOutput + ".";
  return text;
}

}  // namespace

CaptionsWindow::CaptionsWindow(std::function<bool(std::string_view)> send)
    : send_(std::move(send)) {
  set_title("Orvo");
  set_default_size(900, 560);
  css_ = Gtk::CssProvider::create();
  css_->load_from_data(kCss);
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css_,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

  caption_.set_line_wrap(true);
  caption_.set_xalign(0);
  caption_.get_style_context()->add_class("caption");
  caption_.get_accessible()->set_name("Caption");
  caption_.get_accessible()->set_description("What Orvo is saying");
  caption_.set_text("Starting Orvo...");
  heard_.set_line_wrap(true);
  heard_.set_xalign(0);
  heard_.get_style_context()->add_class("heard");
  heard_.get_accessible()->set_name("Heard");
  status_.set_line_wrap(true);
  status_.set_xalign(0);
  status_.get_accessible()->set_name("Status");
  typing_.set_xalign(0);
  typing_.get_accessible()->set_name("Typing");
  entry_.set_placeholder_text("Type a request, then press Enter");
  entry_.get_accessible()->set_name("Type a request");
  entry_.signal_activate().connect([this] { sendTyped(); });

  column_.set_border_width(16);
  column_.pack_start(caption_, Gtk::PACK_EXPAND_WIDGET);
  column_.pack_start(heard_, Gtk::PACK_SHRINK);
  column_.pack_start(typing_, Gtk::PACK_SHRINK);
  column_.pack_start(status_, Gtk::PACK_SHRINK);
  column_.pack_start(roll_, Gtk::PACK_SHRINK);
  column_.pack_start(strip_, Gtk::PACK_SHRINK);
  column_.pack_start(entry_, Gtk::PACK_SHRINK);
  outputs_.get_accessible()->set_name("Sound outputs");
  column_.pack_start(outputs_, Gtk::PACK_SHRINK);
  add(column_);
  show_all();
  outputs_.hide();
  roll_.hide();
  typing_.hide();
  // Keys go to the engine until the player tabs to the entry.
  caption_.set_can_focus(true);
  caption_.grab_focus();

  wake_.connect([this] { drain(); });
}

void CaptionsWindow::takeLine(std::string_view line) {
  bool post = false;
  {
    std::lock_guard guard(queueMutex_);
    queue_.emplace_back(line);
    post = !drainPosted_;
    drainPosted_ = true;
  }
  if (post) wake_.emit();
}

void CaptionsWindow::tell(const std::string& sentence) {
  takeLine("@say " + sentence);
}

void CaptionsWindow::drain() {
  std::deque<std::string> lines;
  {
    std::lock_guard guard(queueMutex_);
    const std::size_t take = std::min(queue_.size(), kLinesATurn);
    lines.assign(std::make_move_iterator(queue_.begin()),
                 std::make_move_iterator(queue_.begin() + static_cast<long>(take)));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(take));
    drainPosted_ = !queue_.empty();
  }
  for (const std::string& line : lines) {
    applyLine(state_, line);
    if (watcher_) watcher_(line);
  }
  refresh();
  if (drainPosted_) Glib::signal_idle().connect_once([this] { drain(); });
}

void CaptionsWindow::refresh() {
  caption_.set_text(state_.caption.empty() ? state_.welcome : state_.caption);
  heard_.set_text(state_.heard.empty() ? "" : "Heard: " + state_.heard);
  status_.set_text(joinState(state_));
  typing_.set_visible(state_.typingNow);
  typing_.set_text("Typing: " + state_.typing);
  strip_.show(state_);
  roll_.show(state_);
  styleFor(state_);
  refreshOutputs();
  set_title(state_.assistantName.empty() ? "Orvo" : state_.assistantName);
}

void CaptionsWindow::styleFor(const WindowState& state) {
  auto style = get_style_context();
  auto toggle = [&](const char* name, bool on) {
    if (on) {
      style->add_class(name);
    } else {
      style->remove_class(name);
    }
  };
  toggle("large", state.largeText);
  toggle("contrast", state.highContrast);
  if (state.flashes != shownFlashes_) {
    shownFlashes_ = state.flashes;
    auto captionStyle = caption_.get_style_context();
    captionStyle->remove_class("flash-good");
    captionStyle->remove_class("flash-wrong");
    captionStyle->add_class(state.flash == WindowState::Flash::good ? "flash-good" : "flash-wrong");
    flashOff_.disconnect();
    flashOff_ = Glib::signal_timeout().connect(
        [this] {
          caption_.get_style_context()->remove_class("flash-good");
          caption_.get_style_context()->remove_class("flash-wrong");
          return false;
        },
        400);
  }
  if (state.windowRequests != shownWindowRequests_) {
    shownWindowRequests_ = state.windowRequests;
    int width = 0, height = 0;
    get_size(width, height);
    if (state.windowRequest == "full") fullscreen();
    if (state.windowRequest == "normal") unfullscreen();
    if (state.windowRequest == "bigger") resize(width * 5 / 4, height * 5 / 4);
    if (state.windowRequest == "smaller") resize(width * 4 / 5, height * 4 / 5);
  }
}

void CaptionsWindow::sendTyped() {
  const std::string text = entry_.get_text();
  if (text.empty()) return;
  send_(typedRequest(text));
  entry_.set_text("");
}

void CaptionsWindow::refreshOutputs() {
  if (state_.outputs == shownOutputs_) return;
  shownOutputs_ = state_.outputs;
  // Last made first: each button leaves its row, then each row the box.
  while (!outputWidgets_.empty()) outputWidgets_.pop_back();
  auto button = [this](Gtk::Box& row, const std::string& label, std::string bytes) {
    auto made = std::make_unique<Gtk::Button>(label);
    made->signal_clicked().connect([this, bytes = std::move(bytes)] { send_(bytes); });
    row.pack_start(*made, Gtk::PACK_SHRINK);
    outputWidgets_.push_back(std::move(made));
  };
  auto row = [this] {
    auto made = std::make_unique<Gtk::Box>(Gtk::ORIENTATION_HORIZONTAL, 8);
    Gtk::Box& box = *made;
    outputs_.pack_start(box, Gtk::PACK_SHRINK);
    outputWidgets_.push_back(std::move(made));
    return &box;
  };
  for (const std::string& name : shownOutputs_) {
    Gtk::Box* line = row();
    button(*line, "Voice on " + name, outputChoice("voice", name));
    button(*line, "Music on " + name, outputChoice("music", name));
  }
  if (!shownOutputs_.empty()) {
    button(*row(), "Voice and music together on the usual output", outputChoice("together", ""));
  }
  outputs_.show_all();
  outputs_.set_visible(!shownOutputs_.empty());
}

bool CaptionsWindow::on_key_press_event(GdkEventKey* event) {
  // The entry types text, a button takes its own keys; Tab moves between the
  // parts as usual.
  if (entry_.has_focus() || dynamic_cast<Gtk::Button*>(get_focus()) ||
      event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab) {
    return Gtk::Window::on_key_press_event(event);
  }
  if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) {
    return Gtk::Window::on_key_press_event(event);
  }
  std::string bytes = keyBytes(event->keyval, gdk_keyval_to_unicode(event->keyval));
  // Escape cancels typing in the engine; otherwise it would begin a sequence.
  if (bytes == "\x1b" && !state_.typingNow) bytes.clear();
  if (bytes.empty()) return Gtk::Window::on_key_press_event(event);
  send_(bytes);
  return true;
}

}  // namespace orvo::window
