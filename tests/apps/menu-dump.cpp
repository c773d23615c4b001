// Prints an app's menus as the AT-SPI backend reads them, one item a line in
// the fixtures' form: orvo-menu-dump "App Name" > fixture.txt. With no name,
// lists the apps on the bus and the one in front.
#include <cstdio>
#include <string>

#include "apps/tree-access.h"
#include "platform/access/atspi/atspi-tree.h"
#include "platform/random.h"
#include "platform/thread-runtime.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: orvo-menu-dump [\"App Name\"]\n");
    return 2;
  }
  orvo::ThreadRuntime runtime(1);
  orvo::AtspiTree tree(runtime);
  orvo::TreeAccess access(tree);
  if (!access.trusted()) {
    std::fprintf(stderr, "the accessibility bus does not answer\n");
    return 1;
  }
  if (argc == 1) {
    for (const auto& app : access.apps()) std::printf("%s (%d)\n", app.name.c_str(), app.pid);
    auto front = access.frontApp();
    std::printf("front: %s\n", front ? front->name.c_str() : "none");
    return 0;
  }
  for (const auto& app : access.apps()) {
    if (app.name != argv[1]) continue;
    auto menus = access.menus(app);
    if (!menus) break;
    for (const auto& entry : menus->entries) {
      std::string line;
      for (const auto& name : entry.path) line += (line.empty() ? "" : " > ") + name;
      std::printf("%s%s\n", line.c_str(), entry.enabled ? "" : "\tdisabled");
    }
    return menus->complete ? 0 : 3;
  }
  std::fprintf(stderr, "no app called %s\n", argv[1]);
  return 1;
}
