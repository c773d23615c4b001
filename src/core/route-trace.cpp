#include "core/route-trace.h"

#include "core/engine.h"
#include "core/requests.h"
#include "core/trace-world.h"
#include "platform/virtual-runtime.h"

namespace orvo::routetrace {

int run(const std::vector<std::string>& requests, bool asJarvis, const Print& print) {
  TraceWorld world({.asJarvis = asJarvis,
                    .fast = true,
                    .secondsPerCharacter = 0.0,
                    .saying = print,
                    .earsTrace = nullptr});
  if (!world.ready()) {
    print("could not make a folder for the trace");
    return 1;
  }
  Engine& engine = world.engine();
  engine.requests().setTrace(print);
  for (const auto& request : requests) {
    print("> " + request);
    std::string outcome = engine.hear(request);
    print("  = " + outcome);
    // A request heard a second apart from the next, as a person would speak.
    world.runtime().advance(1.0);
  }
  return 0;
}

}  // namespace orvo::routetrace
