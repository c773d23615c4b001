#include "core/one-off.h"

#include <algorithm>

#include "core/memory.h"

namespace orvo::oneoff {
namespace {

struct Option {
  const char* name;
  std::size_t arguments;
};

// Options of the later subsystems: recognised, so a run with them never starts
// a second engine, but not built yet.
const Option laterWithoutEngine[] = {
    {"--reband", 2},
    {"--speak", 1},
    {"--ask", 1},
    {"--lookup", 2},
    {"--new-logic-project", 0},
    {"--install-voice", 0},
    {"--library", 0},
    {"--sound-check", 1},
    {"--selftest", 0},
};
const Option laterWithEngine[] = {{"--chat", 1}, {"--route", 1}};

std::optional<int> notBuilt(const std::vector<std::string>& args, const Option* begin,
                            const Option* end, const Print& print) {
  for (auto* option = begin; option != end; ++option) {
    if (present(args, option->name, option->arguments)) {
      print(std::string("not yet: ") + option->name);
      return 2;
    }
  }
  return std::nullopt;
}

}  // namespace

const std::vector<std::string>& checkFlags() {
  static const std::vector<std::string> flags = {
      "--selftest",      "--route",   "--chat",
      "--lookup",        "--reband",  "--speak",
      "--ask",           "--library", "--new-logic-project",
      "--mute",          "--cold",    "--sound-check",
      "--install-voice", "--drop"};
  return flags;
}

bool isCheck(const std::vector<std::string>& args) {
  const auto& flags = checkFlags();
  return std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
    return std::find(flags.begin(), flags.end(), arg) != flags.end();
  });
}

std::optional<std::vector<std::string>> present(const std::vector<std::string>& args,
                                                const std::string& option, std::size_t count) {
  auto at = std::find(args.begin(), args.end(), option);
  if (at == args.end()) return std::nullopt;
  std::vector<std::string> values(
      at + 1,
      at + 1 + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(count), args.end() - (at + 1)));
  if (values.size() < count) return std::nullopt;
  for (const auto& value : values) {
    if (value.rfind("--", 0) == 0) return std::nullopt;
  }
  return values;
}

std::optional<int> runWithoutEngine(const std::vector<std::string>& args,
                                    const std::filesystem::path& baseDir, const Print& print) {
  if (auto title = present(args, "--drop", 1)) {
    auto file = baseDir / "memory.json";
    Memory memory = Memory::load(file);
    if (!memory.drop(title->front())) {
      print("already dropped: " + title->front());
      return 0;
    }
    if (!memory.save(file)) {
      print("could not save the memory in " + file.string());
      return 1;
    }
    print("dropped: " + title->front());
    return 0;
  }
  return notBuilt(args, std::begin(laterWithoutEngine), std::end(laterWithoutEngine), print);
}

std::optional<int> runWithEngine(const std::vector<std::string>& args, const Print& print) {
  return notBuilt(args, std::begin(laterWithEngine), std::end(laterWithEngine), print);
}

}  // namespace orvo::oneoff
