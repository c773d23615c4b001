#include "platform/run-tool.h"

#include <memory>
#include <thread>

#include "platform/child-process.h"

namespace orvo {

ToolRun runTool(Runtime& runtime, const std::string& path, const std::vector<std::string>& args,
                const std::string& input, double timeout, const std::filesystem::path& cwd,
                bool withErrors) {
  std::vector<std::string> argv = {path};
  argv.insert(argv.end(), args.begin(), args.end());
  std::shared_ptr<ChildProcess> child =
      ChildProcess::start(argv, input, ChildProcess::Options{.cwd = cwd, .lookUpPath = false});
  if (!child) return {false, "could not start"};
  // The output is read to its end on a thread of its own, which also reaps the
  // program; the caller waits for it on the runtime's clock.
  auto ended = runtime.makeSemaphore();
  auto status = std::make_shared<std::atomic<int>>(-1);
  std::thread([child, ended, status] {
    status->store(child->wait());
    ended->signal();
  }).detach();
  if (!ended->wait(timeout)) {
    child->terminate();
    if (!ended->wait(1.0)) child->kill();
    return {false, "timed out"};
  }
  if (withErrors) return {status->load() == 0, child->output() + child->errors()};
  return {status->load() == 0, child->output()};
}

bool processNamed(Runtime& runtime, const std::string& name) {
  // Debian's pgrep has no -q: the status alone says it.
  return runTool(runtime, "/usr/bin/pgrep", {"-x", name}, "", 3.0).ok;
}

}  // namespace orvo
