#include "diagnostics/one-off.h"

#include <algorithm>

#include "compose/midi-file-reader.h"
#include "compose/moods.h"
#include "desks/app-desk.h"
#include "diagnostics/ears-trace.h"
#include "diagnostics/reband.h"
#include "diagnostics/route-trace.h"
#include "diagnostics/voice-one-off.h"
#include "lessons/jazz-course.h"
#include "lessons/lesson.h"
#include "lessons/music-words.h"
#include "lessons/song-library.h"
#include "lessons/song-reader.h"
#include "platform/files.h"
#include "platform/places.h"
#include "platform/random.h"
#include "platform/thread-runtime.h"
#include "player/memory.h"
#include "player/profile.h"
#include "sound/sound-levels.h"
#include "sound/sounds.h"
#include "sound/wav-file.h"
#include "studio/daw-words.h"
#include "studio/logic-control.h"
#include "studio/reaper-link.h"
#include "voice/ai.h"
#include "voice/request-words.h"
#include "voice/wake-words.h"

namespace orvo::oneoff {
namespace {

// What the running engine last learned of the song files: read, never written, here.
std::string readSongCache(const std::filesystem::path& baseDir) {
  return files::readFile(baseDir / library::kCacheFile).value_or("");
}

struct Option {
  const char* name;
  std::size_t arguments;
};

// Options of the later subsystems: recognised, so a run with them never starts
// a second engine, but not built yet.
const Option laterWithoutEngine[] = {
    {"--lookup", 2},
    {"--library", 0},
    {"--sound-check", 1},
    {"--selftest", 0},
};
// Both routes of the AI from the command line, with the player's names and
// library in the prompts: one question (one-shot), or a conversation of
// turns (the session), each turn printed with how long it took.
int askAI(const std::vector<std::string>& args, const std::filesystem::path& baseDir,
          const Print& print) {
  ThreadRuntime runtime(Random::chooseSeed());
  NoLocalAI local;
  AISession session(runtime, local, [](const std::string&) {});
  session.setDataFolder(baseDir);
  const Profile profile = Profile::load(baseDir / "profile.json");
  std::vector<std::string> titles;
  for (const auto& song : library::load(
           songFolders(baseDir), baseDir / "library.txt",
           [](const std::filesystem::path& file) { return midifile::load(file); },
           readSongCache(baseDir)))
    titles.push_back(song.name);
  session.setPeople({profile.assistantName, profile.userName.empty() ? "friend" : profile.userName,
                     profile.about(), titles});
  if (auto question = present(args, "--ask", 1)) {
    print(session.askOnce(question->front(), "Right now: at home."));
    return 0;
  }
  auto at = std::find(args.begin(), args.end(), "--chat");
  session.start();
  for (auto turn = at + 1; turn != args.end() && turn->rfind("--", 0) != 0; ++turn) {
    const double start = runtime.now();
    std::string reply = session.ask(*turn, "a conversation typed on the command line");
    char took[32];
    std::snprintf(took, sizeof took, "%.1f s  ", runtime.now() - start);
    print(took + *turn + "\n        -> " + (reply.empty() ? "(no answer)" : reply));
  }
  session.shutDown();
  return 0;
}

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
      "--install-voice", "--drop",    "--ears",
      "--phrases"};
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

// The built-in sound, offline: the chime, the knock, then piano, bass, strings
// and drums together, into a WAV file, with how loud it got.
int soundCheck(const std::string& file, const std::optional<std::string>& bank,
               const Print& print) {
  if (!bank) {
    print("no sound bank");
    return 1;
  }
  auto rendered = Sounds::render(*bank, false, 0.0, soundcheck::events(), soundcheck::seconds);
  if (!rendered) {
    print("the sound bank " + *bank + " could not be loaded");
    return 1;
  }
  if (!wav::write(file, rendered->left, rendered->right, SoundGraph::sampleRate)) {
    print("could not write " + file);
    return 1;
  }
  char line[96];
  std::snprintf(line, sizeof line, "peak %.2f, clipped %.2f%% of the time", rendered->report.peak,
                rendered->report.clippedPercent);
  print(line);
  auto levels = soundcheck::measure(*bank);
  if (levels) print(levels->describe() + (levels->inRange() ? "" : " (out of range)"));
  return 0;
}

int printPhrases(const std::filesystem::path& baseDir, const Print& print) {
  std::vector<std::string> phrases = requests::everyPhrase();
  const auto add = [&](std::string_view phrase) {
    if (!phrase.empty()) phrases.emplace_back(phrase);
  };
  for (const auto& phrase : AppDesk::phrases()) add(phrase);
  const auto& wake = wake::lists();
  for (const auto* set : {&wake.quick, &wake.whole}) {
    for (std::string_view phrase : *set) add(phrase);
  }
  for (const auto& kind : dawwords::fxKinds()) {
    add(kind.label);
    for (std::string_view ask : kind.asks) {
      add(std::string(ask));
      add("add a " + std::string(ask) + " to the");
    }
  }
  for (const auto& param : dawwords::paramWords()) {
    for (std::string_view word : param.words) add(word);
  }
  for (const auto& band : dawwords::eqBands()) {
    for (std::string_view word : band.words) add(word);
  }
  for (const auto* list : {&dawwords::smallSizes(), &dawwords::largeSizes(), &dawwords::upWords(),
                           &dawwords::downWords()}) {
    for (std::string_view word : *list) add(word);
  }
  for (const char* studio : {"mute the",
                             "unmute the",
                             "solo the",
                             "unsolo the",
                             "list the tracks",
                             "how many tracks",
                             "new track",
                             "new audio track",
                             "what plugins are on the",
                             "set the volume to",
                             "minus",
                             "decibels",
                             "pan left",
                             "pan right",
                             "track",
                             "master",
                             "undo",
                             "redo",
                             "play",
                             "stop",
                             "record"}) {
    add(studio);
  }
  for (const auto& [word, value] : numberWords()) add(word);
  for (const auto& mood : moods()) {
    add(mood.name);
    add("play me something " + std::string(mood.name));
    for (const auto& word : mood.words) add(word);
  }
  for (const auto& song : library::load(
           songFolders(baseDir), baseDir / "library.txt",
           [](const std::filesystem::path& file) { return midifile::load(file); },
           readSongCache(baseDir))) {
    add(song.name);
    add("teach me " + song.name);
  }
  for (const auto& lesson : jazzLessons()) add(lesson.title);
  const Profile profile = Profile::load(baseDir / "profile.json");
  add(profile.assistantName);
  std::sort(phrases.begin(), phrases.end());
  phrases.erase(std::unique(phrases.begin(), phrases.end()), phrases.end());
  for (const auto& phrase : phrases) print(phrase);
  return 0;
}

int printLibrary(const std::filesystem::path& baseDir, const Print& print) {
  const library::FileLoader loadFile = [](const std::filesystem::path& file) {
    return midifile::load(file);
  };
  for (const auto& listed : library::load(songFolders(baseDir), baseDir / "library.txt", loadFile,
                                          readSongCache(baseDir))) {
    const auto whole = library::withNotes(listed, loadFile);
    if (!whole) continue;
    const Song& song = *whole;
    Lesson lesson(song);
    std::size_t biggest = 0;
    for (const auto& step : lesson.steps[2]) biggest = std::max(biggest, step.pitches.size());
    std::size_t taught = 0;
    for (const auto& unit : lesson.units) taught += lesson.stepsIn(unit).size();
    double lastBeat = 0;
    for (const auto& note : song.notes) lastBeat = std::max(lastBeat, note.beat + note.dur);
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s (level %d): %zu steps, biggest chord %zu, %d parts, %zu lesson steps, "
                  "%.0f beats a minute, %.1f s",
                  song.name.c_str(), song.level, lesson.steps[2].size(), biggest,
                  lesson.partCount(), taught, song.bpm, lastBeat * 60.0 / song.bpm);
    print(line);
  }
  return 0;
}

std::optional<int> runWithoutEngine(const std::vector<std::string>& args,
                                    const std::filesystem::path& baseDir, const Print& print) {
  if (present(args, "--library", 0)) return printLibrary(baseDir, print);
  if (present(args, "--phrases", 0)) return printPhrases(baseDir, print);
  if (auto files = present(args, "--reband", 2)) {
    return reband((*files)[0], (*files)[1], baseDir, print);
  }
  if (auto file = present(args, "--sound-check", 1)) {
    return soundCheck(file->front(), Sounds::findBank(), print);
  }
  if (present(args, "--ask", 1) || present(args, "--chat", 1)) return askAI(args, baseDir, print);
  if (auto title = present(args, "--drop", 1)) {
    auto file = baseDir / "memory.json";
    files::FolderLock others(baseDir);  // a running copy's save waits for ours
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

std::optional<int> runWithEngine(const std::vector<std::string>& args, Runtime& runtime,
                                 const Print& print) {
  // Every argument after it that is not an option is one request; its
  // options ("--reaper", "--as-jarvis") may come anywhere among them.
  auto at = std::find(args.begin(), args.end(), "--route");
  std::vector<std::string> requests;
  if (at != args.end()) {
    for (auto it = at + 1; it != args.end(); ++it) {
      if (*it == "--app" && it + 1 != args.end()) {
        ++it;  // the pretend app's file
      } else if (it->rfind("--", 0) != 0) {
        requests.push_back(*it);
      }
    }
  }
  if (!requests.empty()) {
    auto given = [&](const char* option) {
      return std::find(args.begin(), args.end(), option) != args.end();
    };
    routetrace::Options options;
    options.asJarvis = given("--as-jarvis");
    options.pretendReaper = given("--reaper");
    if (auto app = present(args, "--app", 1)) options.appFile = app->front();
    if (!options.pretendReaper) {
      options.reaperRunning = [&runtime] { return Reaper::running(runtime); };
    }
    return routetrace::run(requests, options, print);
  }
  if (auto text = present(args, "--speak", 1)) {
    auto given = [&](const char* option) {
      return std::find(args.begin(), args.end(), option) != args.end();
    };
    return speakOnce(text->front(), given("--mute"), given("--cold"), dataFolder(), runtime, print);
  }
  if (present(args, "--install-voice", 0)) return installVoice(dataFolder(), runtime, print);
  if (present(args, "--new-logic-project", 0)) {
    LogicControl logic(LogicControl::osascript(runtime));
    const LogicNewProjectAnswer answer = LogicControl::newProjectAnswer(logic.logicNewProject());
    print(answer.sentence);
    return answer.created ? 0 : 1;
  }
  if (auto script = present(args, "--ears", 1)) {
    bool asJarvis = std::find(args.begin(), args.end(), "--as-jarvis") != args.end();
    return earstrace::runFile(script->front(), asJarvis, print);
  }
  return std::nullopt;
}

}  // namespace orvo::oneoff
