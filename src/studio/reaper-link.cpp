#include "studio/reaper-link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/places.h"
#include "platform/run-tool.h"
#include "platform/utf8.h"
#include "studio/reaper-scripts.h"
#include "studio/reaper-wire.h"

namespace orvo::Reaper {
namespace {

constexpr double kPoll = 0.030;
constexpr off_t kMaxReply = 16 * 1024 * 1024;
constexpr const char* kDofile =
    "dofile(reaper.GetResourcePath() .. \"/Scripts/lorimel_bridge.lua\")";

Mutex setupMutex;
std::shared_ptr<const Setup> current GUARDED_BY(setupMutex);

std::shared_ptr<const Setup> setup() {
  MutexLock hold(setupMutex);
  if (!current) current = std::make_shared<const Setup>(defaultSetup());
  return current;
}

// Held for the whole of one exchange.
Mutex linkMutex;
long counter GUARDED_BY(linkMutex) = -1;

// The reply when it is there and no larger than any answer can be.
std::optional<std::string> readReply(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> out;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxReply) {
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
      ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    out = std::move(text);
  }
  ::close(fd);
  return out;
}

bool writeWhole(const std::filesystem::path& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0 && done == text.size();
}

std::string requestLine(const std::string& number, const std::vector<std::string>& args) {
  std::string line = number;
  for (const std::string& arg : args) {
    line += '\t';
    for (char c : arg) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  }
  return line;
}

// Whether a file holds `needle`, read a piece at a time so a start-up script
// of any size costs little memory. Nothing when it cannot be read.
std::optional<bool> fileHolds(const std::filesystem::path& path, std::string_view needle) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;  // never wait on a FIFO
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string carry;
  std::string chunk(1 << 20, '\0');
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    std::string window = carry + chunk.substr(0, static_cast<std::size_t>(in.gcount()));
    if (window.find(needle) != std::string::npos) return true;
    carry = window.size() > needle.size() ? window.substr(window.size() - needle.size()) : window;
  }
  if (in.bad()) return std::nullopt;
  return false;
}

// The start-up script with the dofile line added, copied a piece at a time
// into a temporary file that then replaces it: never truncated.
bool appendDofile(const std::filesystem::path& path) {
  auto script = files::readFile(path);
  if (!script) return false;
  return files::writeFileAtomically(path, *script + "\n" + kDofile + "\n", 0644);
}

}  // namespace

Setup defaultSetup() {
  Setup out;
  out.resources = reaperResourceFolder();
  out.now = [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  out.wait = [](double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  };
  return out;
}

void setUp(Setup next) {
  Setup fallback = defaultSetup();
  if (!next.now) next.now = fallback.now;
  if (!next.wait) next.wait = fallback.wait;
  if (next.resources.empty()) next.resources = fallback.resources;
  {
    MutexLock hold(setupMutex);
    current = std::make_shared<const Setup>(std::move(next));
  }
  // A new link numbers its requests afresh from the clock.
  MutexLock exchange(linkMutex);
  counter = -1;
}

std::filesystem::path resources() {
  return setup()->resources;
}
std::filesystem::path dir() {
  return resources() / "Scripts" / "Lorimel";
}

std::optional<std::string> sendList(const std::vector<std::string>& args, double timeout) {
  std::shared_ptr<const Setup> link = setup();
  const std::filesystem::path folder = link->resources / "Scripts" / "Lorimel";
  const std::filesystem::path command = folder / "cmd.txt";
  const std::filesystem::path twin = folder / "cmd.txt.tmp";
  const std::filesystem::path reply = folder / "reply.txt";

  // Held across the wait on purpose: one exchange at a time is what keeps a
  // reply from being read by the wrong request.
  MutexLock hold(linkMutex);
  // Numbers from an earlier run are unlikely to come round again.
  if (counter < 0) counter = static_cast<long>(std::time(nullptr) % 100000);
  ++counter;
  const std::string number = std::to_string(counter);
  const std::string prefix = number + "\t";

  std::error_code ignored;
  std::filesystem::remove(reply, ignored);
  if (!writeWhole(twin, requestLine(number, args))) {
    std::filesystem::remove(twin, ignored);
    return std::nullopt;
  }
  std::filesystem::remove(command, ignored);
  std::error_code renamed;
  std::filesystem::rename(twin, command, renamed);
  if (renamed) {
    std::filesystem::remove(twin, ignored);
    return std::nullopt;
  }

  const double start = link->now();
  for (;;) {
    if (auto text = readReply(reply); text && text->compare(0, prefix.size(), prefix) == 0) {
      return repairUtf8(text->substr(prefix.size()));
    }
    if (link->now() - start >= timeout) break;
    link->wait(kPoll);
  }
  // A bridge that wakes up late must not act on a request nobody waits for.
  std::filesystem::remove(command, ignored);
  return std::nullopt;
}

std::vector<std::string> lines(const std::vector<std::string>& args) {
  auto answer = sendList(args, 3.0);
  return answer ? wire::lines(*answer) : std::vector<std::string>{};
}

std::string_view bridgeSource() {
  return reaperscripts::bridge;
}

bool shipBridge(const std::filesystem::path& baseDir) {
  const std::filesystem::path path = baseDir / "reaper" / "lorimel_bridge.lua";
  if (auto existing = files::readFile(path); existing && *existing == bridgeSource()) return true;
  return files::makeFolders(path.parent_path()) &&
         files::writeFileAtomically(path, std::string(bridgeSource()));
}

bool installBridge() {
  std::shared_ptr<const Setup> link = setup();
  std::error_code error;
  if (!std::filesystem::is_directory(link->resources, error)) return false;
  auto source = files::readFile(link->shipped);
  if (!source) return false;
  const std::filesystem::path scripts = link->resources / "Scripts";
  if (!files::makeFolders(scripts) || !files::makeFolders(scripts / "Lorimel")) return false;

  const std::filesystem::path bridge = scripts / "lorimel_bridge.lua";
  // REAPER runs this file as the player: readable by all, writable by the player alone.
  if (auto installed = files::readFile(bridge); !installed || *installed != *source) {
    if (!files::writeFileAtomically(bridge, *source, 0644)) return false;
  } else {
    std::filesystem::permissions(bridge, std::filesystem::perms(0644),
                                 std::filesystem::perm_options::replace, error);
  }

  const std::filesystem::path startup = scripts / "__startup.lua";
  if (!std::filesystem::exists(startup, error)) {
    return files::writeFileAtomically(
        startup,
        std::string("-- Runs when REAPER starts. Added by Orvo; delete this file to remove "
                    "the bridge.\n") +
            kDofile + "\n",
        0644);
  }
  auto holds = fileHolds(startup, "lorimel_bridge");
  if (!holds) return false;  // unreadable: leave the player's script alone
  return *holds || appendDofile(startup);
}

std::optional<std::filesystem::path> installedAt() {
  std::vector<std::filesystem::path> places = onPath("reaper");
  for (auto& place : reaperPlaces()) places.push_back(std::move(place));
  return firstProgram(places);
}

bool running(Runtime& runtime) {
  return processNamed(runtime, "reaper");
}

std::string spoken(std::string_view name) {
  std::string format;
  std::string rest(name);
  if (std::size_t colon = rest.find(": "); colon != std::string::npos) {
    for (char c : rest.substr(0, colon)) {
      if (c != 'i') format += c;
    }
    rest = rest.substr(colon + 2);
  }
  auto trimmed = [](std::string text) { return files::trim(text); };
  while (!rest.empty() && rest.back() == ')' && rest.find('(') != std::string::npos) {
    rest = trimmed(rest.substr(0, rest.rfind('(')));
  }
  if (!format.empty()) rest += ", " + format;
  return rest;
}

}  // namespace orvo::Reaper
