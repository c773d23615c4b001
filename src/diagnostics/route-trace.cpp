#include "diagnostics/route-trace.h"

#include <cstdio>
#include <memory>

#include "apps/tree-access.h"
#include "desks/app-desk.h"
#include "desks/studio-desk.h"
#include "diagnostics/pretend-app.h"
#include "diagnostics/trace-world.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/files.h"
#include "studio/pretend-reaper.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-scripts.h"

namespace orvo::routetrace {

int run(const std::vector<std::string>& requests, const Options& options, const Print& print) {
  ReaperAdapter adapter;
  MemoryTree tree;
  TreeAccess access(tree);
  if (!options.appFile.empty()) {
    auto text = files::readFile(options.appFile);
    std::string error = "it cannot be read";
    if (!text ||
        !readPretendApp(
            *text, tree, [&](const std::string& what) { print("  pressed: " + what); }, &error)) {
      print("the pretend app in " + options.appFile + " is not right: " + error);
      return 1;
    }
  }
  TraceWorld world({.asJarvis = options.asJarvis,
                    .opt = {.textMode = true, .fast = true},
                    .secondsPerCharacter = 0.0,
                    .saying = print,
                    .adjust = [&](EngineParts& parts) {
                      parts.daw = &adapter;
                      parts.pretendReaper = options.pretendReaper;
                      parts.reaperRunning = options.reaperRunning;
                      parts.access = options.appFile.empty() ? nullptr : &access;
                    }});
  if (!world.ready()) {
    print("could not make a folder for the trace");
    return 1;
  }
  // Made after the world, so it is gone (and the link back to REAPER's own
  // folder) before the world's folder is removed.
  std::unique_ptr<PretendReaper> reaper;
  if (options.pretendReaper) {
    reaper = std::make_unique<PretendReaper>(world.folder() / "studio",
                                             std::string(reaperscripts::pretendProject));
    if (!reaper->error().empty()) {
      print("the pretend REAPER did not start: " + reaper->error());
      return 1;
    }
  }
  Engine& engine = world.engine();
  engine.studioDesk().checkStudios();
  engine.appDesk().refreshApps();
  engine.requests().setTrace(print);
  for (const auto& request : requests) {
    print("> " + request);
    std::string outcome = engine.hear(request);
    print("  = " + outcome);
    // A request heard a second apart from the next, as a person would speak.
    world.runtime().advance(1.0);
  }
  if (reaper) {
    char line[96];
    std::snprintf(line, sizeof line, "  bridge: %.1f ms in %d idle ticks",
                  reaper->bridgeSeconds() * 1000.0, reaper->waits());
    print(line);
  }
  return 0;
}

}  // namespace orvo::routetrace
