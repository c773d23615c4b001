// The window: wires the engine link, the captions and the listener, and runs
// GTK's main loop. It starts the engine beside it (or ORVO_ENGINE) as its child.

#include <gtkmm/application.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/child-process.h"
#include "platform/places.h"
#include "platform/text-pieces.h"
#include "window/captions-window.h"
#include "window/engine-link.h"
#include "window/listener.h"

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

// Every phrase the engine's rules know, asked of the engine itself.
std::vector<std::string> enginePhrases(const std::string& engine) {
  auto child = orvo::ChildProcess::start({engine, "--phrases"});
  if (!child || child->wait(10.0) != 0) return {};
  return orvo::text::lines(child->output());
}

// A folder of our own for the recogniser's files: made private, removed at the end.
std::filesystem::path privateFolder() {
  const std::filesystem::path session = orvo::sessionFolder();
  std::string pattern =
      (session.empty() ? std::string("/tmp") : session.string()) + "/orvo-window-XXXXXX";
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> command = {enginePath(argv[0]).string()};
  for (int i = 1; i < argc; ++i) command.emplace_back(argv[i]);
  // The window draws with Cairo alone. Left to itself GTK opens OpenGL, and on
  // a desktop without a GPU driver that loads a software renderer of some
  // 45 MB for nothing; the player's own GDK_GL setting still wins.
  ::setenv("GDK_GL", "disable", 0);
  // GTK takes no arguments of ours: they are the engine's.
  int gtkArgc = 1;
  auto app =
      Gtk::Application::create(gtkArgc, argv, "org.orvo.Window", Gio::APPLICATION_NON_UNIQUE);
  CaptionsWindow* shown = nullptr;
  std::unique_ptr<EngineLink> link;
  std::unique_ptr<Listener> listener;
  const std::filesystem::path folder = privateFolder();
  // ORVO_WINDOW_TRACE names a file the listener notes what it heard in.
  std::function<void(const std::string&)> trace = nullptr;
  if (const char* file = std::getenv("ORVO_WINDOW_TRACE"); file && *file) {
    auto out = std::make_shared<std::ofstream>(file, std::ios::app);
    trace = [out](const std::string& line) { *out << line << std::endl; };
  }
  app->signal_activate().connect([&] {
    auto* window =
        new CaptionsWindow([&link](std::string_view bytes) { return link && link->send(bytes); });
    shown = window;
    app->add_window(*window);
    link = std::make_unique<EngineLink>(EngineLink::Parts{
        .command = command,
        .onLine = [window](std::string_view line) { window->takeLine(line); },
        .onTrouble = [window](const std::string& sentence) { window->tell(sentence); },
    });
    link->start();
    const char* microphone = std::getenv("ORVO_MIC");
    listener = std::make_unique<Listener>(Listener::Parts{
        .send =
            [&link](const std::string& bytes) {
              if (link) link->send(bytes);
            },
        .tell = [window](const std::string& sentence) { window->tell(sentence); },
        .phrases = enginePhrases(command[0]),
        .microphone = microphone ? microphone : "",
        .workFolder = folder,
        .trace = trace,
        .record = std::getenv("ORVO_WINDOW_RECORD") ? std::getenv("ORVO_WINDOW_RECORD") : "",
    });
    window->onLine([&listener](std::string_view line) { listener->engineLine(line); });
    if (std::getenv("ORVO_NO_MIC") == nullptr) listener->start();
    window->signal_hide().connect([&link] {
      if (link) link->close();
    });
  });
  const int status = app->run();
  listener.reset();
  link.reset();
  delete shown;
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  return status;
}
