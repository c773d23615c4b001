// The window: wires the engine link, the captions and the listener, and runs
// GTK's main loop. It starts the engine beside it (or ORVO_ENGINE) as its child.

#include <gtkmm/application.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "window/captions-window.h"
#include "window/engine-link.h"

using namespace orvo::window;

namespace {

std::filesystem::path enginePath(const char* self) {
  if (const char* chosen = std::getenv("ORVO_ENGINE"); chosen && *chosen) return chosen;
  std::error_code error;
  auto here = std::filesystem::canonical("/proc/self/exe", error);
  if (error) here = self;
  auto beside = here.parent_path() / "orvo";
  if (std::filesystem::exists(beside, error)) return beside;
  return "orvo";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> command = {enginePath(argv[0]).string()};
  for (int i = 1; i < argc; ++i) command.emplace_back(argv[i]);
  // GTK takes no arguments of ours: they are the engine's.
  int gtkArgc = 1;
  auto app = Gtk::Application::create(gtkArgc, argv, "org.orvo.Window",
                                      Gio::APPLICATION_NON_UNIQUE);
  CaptionsWindow* shown = nullptr;
  std::unique_ptr<EngineLink> link;
  app->signal_activate().connect([&] {
    auto* window = new CaptionsWindow([&link](std::string_view bytes) {
      return link && link->send(bytes);
    });
    shown = window;
    app->add_window(*window);
    link = std::make_unique<EngineLink>(EngineLink::Parts{
        .command = command,
        .onLine = [window](std::string_view line) { window->takeLine(line); },
        .onTrouble = [window](const std::string& sentence) { window->tell(sentence); },
    });
    link->start();
    window->signal_hide().connect([&link] {
      if (link) link->close();
    });
  });
  const int status = app->run();
  link.reset();
  delete shown;
  return status;
}
