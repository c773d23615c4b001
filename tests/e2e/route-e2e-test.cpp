// Requests through the routing trace of the real binary: the table of real
// phrasings, and sequences where one request's state carries over.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "matchers.h"
#include "orvo-process.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

// The lines printed under each "> " request, by request.
std::vector<std::vector<std::string>> route(const TempFolder& home,
                                            const std::vector<std::string>& requests,
                                            std::map<std::string, std::string> env = {}) {
  std::vector<std::string> args = {"--route"};
  args.insert(args.end(), requests.begin(), requests.end());
  OrvoProcess orvo({.home = home.path(), .args = args, .window = false, .env = std::move(env)});
  orvo.waitExit(30);
  std::vector<std::vector<std::string>> blocks;
  for (const auto& line : orvo.lines()) {
    if (line.rfind("> ", 0) == 0) {
      blocks.push_back({});
    } else if (!blocks.empty()) {
      blocks.back().push_back(line);
    }
  }
  return blocks;
}

struct Row {
  int line;
  std::string mode, sentence, heard, rule, op, spoken;
};

std::string field(const std::vector<std::string>& block, const std::string& prefix) {
  for (const auto& line : block) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string value = line.substr(prefix.size());
    auto repairs = value.find(" (");
    return prefix == "  heard: " && repairs != std::string::npos ? value.substr(0, repairs) : value;
  }
  return "-";
}

std::string spoken(const std::vector<std::string>& block) {
  for (const auto& line : block) {
    if (!line.empty() && line[0] != ' ' && line[0] != '@') return line;
  }
  return "-";
}

// Every mismatch of the row is reported, not only the first.
void check(const Row& row, const std::vector<std::string>& block) {
  std::string where = "line " + std::to_string(row.line) + ": \"" + row.sentence + "\"";
  std::string heard = field(block, "  heard: ");
  EXPECT_EQ(heard.empty() ? "-" : heard, row.heard) << where;
  bool ruled = std::any_of(block.begin(), block.end(), [&](const std::string& line) {
    return line.rfind("  " + row.rule, 0) == 0;
  });
  EXPECT_TRUE(ruled) << where << " should go to " << row.rule;
  EXPECT_EQ(field(block, "  op: "), row.op) << where;
  if (row.spoken != "*") {
    EXPECT_EQ(spoken(block), row.spoken) << where;
  }
}

TEST(RouteTrace, EveryPhrasingOfTheTableReachesItsRule) {
  auto text = files::readFile(std::string(ORVO_TEST_DATA) + "/phrasings.txt");
  ASSERT_TRUE(text);
  std::vector<Row> rows;
  std::istringstream in(*text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find(" | ", start)) != std::string::npos; start = bar + 3) {
      cells.push_back(line.substr(start, bar - start));
    }
    cells.push_back(line.substr(start));
    ASSERT_EQ(cells.size(), 6u) << "line " << number;
    rows.push_back({number, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]});
  }
  EXPECT_GE(rows.size(), 200u);

  TempFolder home;
  std::vector<std::string> atHome;
  for (const auto& row : rows) {
    if (row.mode == "home") atHome.push_back(row.sentence);
  }
  auto blocks = route(home, atHome);
  ASSERT_EQ(blocks.size(), atHome.size());
  std::size_t next = 0;
  for (const auto& row : rows) {
    if (row.mode == "home") {
      check(row, blocks[next++]);
    } else {
      auto lesson = route(home, {"teach me hot cross buns", row.sentence});
      ASSERT_EQ(lesson.size(), 2u) << row.sentence;
      check(row, lesson[1]);
    }
  }
}

TEST(RouteTrace, QuestionsCorrectionsAndLearnedMeaningsCarryOver) {
  TempFolder home;
  // A bare name, then the request without it.
  auto woken = route(home, {"", "what time is it"});
  ASSERT_EQ(woken.size(), 2u);
  EXPECT_THAT(woken[0], Contains("  family: wake"));
  EXPECT_THAT(woken[1], Contains("It is 3:00 PM."));

  // A guess asked about, answered yes and answered no.
  auto guessed = route(home, {"menu of songs", "yes", "menu of songs", "no"});
  ASSERT_EQ(guessed.size(), 4u);
  EXPECT_THAT(guessed[0], Contains("Did you mean, open the song menu?"));
  EXPECT_THAT(guessed[0], Contains("  pending: song menu"));
  EXPECT_THAT(guessed[1], Contains("  again: song menu"));
  EXPECT_THAT(guessed[1], Contains("  op: openMenu"));
  EXPECT_THAT(guessed[3], Contains("Okay, I'll leave it."));

  // "that's wrong", then what was meant: learned, and heard at once; the
  // learned meaning is used next time, but not on a second pass.
  auto corrected = route(home, {"play the green thing", "thats wrong",
                                "i was asking for which songs", "play the green thing"});
  ASSERT_EQ(corrected.size(), 4u);
  EXPECT_THAT(corrected[1], Contains("Sorry about that. What did you want?"));
  EXPECT_THAT(corrected[2], Contains("  learned: play the green thing = which songs"));
  EXPECT_THAT(corrected[2], Contains("  op: listSongs"));
  EXPECT_THAT(corrected[2].back(), HasSubstr("= corrected"));
  EXPECT_THAT(corrected[3], Contains("  learned: which songs"));
  EXPECT_THAT(corrected[3], Contains("  op: listSongs"));

  // Taught directly; a meaning that leads back to itself ends, said, not in a crash.
  auto taught = route(home, {"when i say tunes i mean which songs", "tunes",
                             "when i say ping i mean pong", "when i say pong i mean ping", "ping"});
  ASSERT_EQ(taught.size(), 5u);
  EXPECT_THAT(taught[1], Contains("  op: listSongs"));
  EXPECT_THAT(taught[4],
              Contains("Sorry, I got myself in a loop there. Try saying it another way."));
}

TEST(RouteTrace, BadSentencesGetAnAnswerAndNeverCrash) {
  TempFolder home;
  std::string huge;
  while (huge.size() < 2000) huge += "play me the song about the blue thing ";
  files::writeFileAtomically(home / "learned.json", "[\"not\", \"an object\"]");
  auto blocks =
      route(home, {"", "...", "um uh ok", huge, "\xF0\x9F\x98\x80 \xF0\x9F\x98\x80",
                   "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "i\xE2\x80\x99m bored"});
  ASSERT_EQ(blocks.size(), 7u);
  for (const auto& block : blocks) EXPECT_NE(spoken(block), "-") << block.front();
  EXPECT_THAT(blocks[6], Contains("  loose 21: surprise me"));
}

TEST(RouteTrace, ThePretendReaperKeepsOneProjectForTheWholeRun) {
  TempFolder home;
  const std::vector<std::pair<std::string, std::string>> asked = {
      {"how many tracks",
       "6 tracks: Lead Vocals, Vocal Double, Kick Sample, Bass, Piano, Drum Room."},
      {"mute the vocal", "I found Lead Vocals and Vocal Double. Which one?"},
      {"the lead one", "Lead Vocals is muted."},
      {"which tracks are muted", "Lead Vocals is muted."},
      {"set the bass volume to minus 6 decibels",
       "Bass is at minus 6 decibels. It was minus 4.5 decibels."},
      {"set the bass volume to minus 100 decibels",
       "Volume has to be between minus 90 and plus 12 decibels."},
      {"add a reverb to the drum room",
       "ReaVerbate, VST is now on Drum Room, which has 1 plug-in."},
      {"what plugins are on the bass", "Bass has ReaComp, VST; and ReaEQ, VST, bypassed."},
      {"add a flanger made of cheese to the bass", "*"},
      {"tempo 500", "Tempo has to be between 20 and 400."},
      {"set the tempo to 90", "Tempo is 90. It was 120."},
      {"rename the piano to keys", "Track 5 is now called Keys. It was Piano."},
      {"delete the drum room track",
       "Delete Drum Room, which has 3 recorded items and 1 plug-in? Say yes or no."},
      {"yes", "Drum Room is deleted. Say undo to bring it back."},
      {"how many tracks", "5 tracks: Lead Vocals, Vocal Double, Kick Sample, Bass, Keys."},
      {"what did you change",
       "Most recent last: volume of Bass from minus 4.5 decibels to minus 6 decibels. added "
       "ReaVerbate to Drum Room. tempo from "
       "120 to 90. renamed Piano to Keys. deleted Drum Room. Say undo to take back the last one."},
      {"undo", "Undone: delete a track."},
      {"what time is it", "It is 3:00 PM."},
  };
  std::vector<std::string> requests = {"--reaper"};
  for (const auto& [request, answer] : asked) requests.push_back(request);
  auto blocks = route(home, requests, {{"HOME", (home / "user").string()}});
  ASSERT_EQ(blocks.size(), asked.size());
  for (std::size_t i = 0; i < asked.size(); ++i) {
    if (asked[i].second != "*") {
      EXPECT_EQ(spoken(blocks[i]), asked[i].second) << asked[i].first;
    }
  }
  EXPECT_THAT(spoken(blocks[8]), HasSubstr("flanger made of cheese"));
  EXPECT_THAT(blocks[0], Contains("  family: studio"));
  EXPECT_THAT(blocks[17], ::testing::Not(Contains("  family: studio")));
  // The player's own REAPER folder is never touched.
  EXPECT_FALSE(std::filesystem::exists(home / "user"));
}

TEST(RouteTrace, AStudioQuestionOrAMentionOfItNeverChangesWhatWasNotAskedFor) {
  TempFolder home;
  auto blocks = route(
      home,
      {"--reaper", "mute the vocal", "add a limiter to the master", "mute the guitar",
       "delete the master", "lower the threshold on the bass compressor a little", "is it playing",
       "is that too loud", "play it", "what is the threshold on the bass compressor"},
      {{"HOME", (home / "user").string()}});
  ASSERT_EQ(blocks.size(), 9u);
  // An answer must name one of the choices; another request is heard as itself.
  EXPECT_EQ(spoken(blocks[1]), "ReaLimit, VST is now on the master, which has 1 plug-in.");
  EXPECT_EQ(spoken(blocks[3]), "The master track cannot be deleted.");
  // Only the nudge asked for moves the threshold; questions holding "it" or "that" do not.
  EXPECT_EQ(spoken(blocks[4]), "Thresh on ReaComp, VST is now -1.8 dB. It was 0.0 dB.");
  EXPECT_THAT(spoken(blocks[8]), HasSubstr("Thresh -1.8 dB"));
}

// A process called "reaper" that is not REAPER: the link finds no bridge.
class FakeReaper {
 public:
  explicit FakeReaper(const TempFolder& home) {
    std::filesystem::path binary = home / "reaper";
    std::filesystem::copy_file("/bin/sleep", binary);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(binary.c_str(), "reaper", "60", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Looked for by name, so the name must be there before anyone looks.
    std::string comm = "/proc/" + std::to_string(pid_) + "/comm";
    for (int tries = 0; tries < 200; ++tries) {
      if (files::readFile(comm).value_or("") == "reaper\n") break;
      ::usleep(10'000);
    }
  }
  ~FakeReaper() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

TEST(RouteTrace, AReaperWithoutTheLinkIsSaidSoAndOtherRequestsGoOn) {
  TempFolder home;
  std::vector<std::vector<std::string>> blocks;
  {
    FakeReaper reaper(home);
    // "stop" is shared with the studio, which never hands it back: one
    // answer, and the run ends instead of going round until it crashes.
    blocks = route(home, {"stop", "how many tracks", "what time is it", "play me something sad"},
                   {{"HOME", (home / "user").string()}});
  }
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(std::count_if(blocks[0].begin(), blocks[0].end(),
                          [](const std::string& line) { return line.rfind("  op: ", 0) == 0; }),
            1);
  EXPECT_THAT(spoken(blocks[0]),
              ::testing::AnyOf("Okay, stopped.", "All quiet now.", "Stopping there."));
  EXPECT_THAT(blocks[0].back(), HasSubstr("= stopped"));
  EXPECT_EQ(spoken(blocks[1]),
            "REAPER is open, but my link to it isn't set up yet. Press r, or say REAPER control, "
            "and I'll set it up.");
  EXPECT_EQ(spoken(blocks[2]), "It is 3:00 PM.");
  EXPECT_THAT(blocks[3], Contains("  studio: not a studio request"));
  EXPECT_THAT(blocks[3], Contains("  op: performGift"));
  EXPECT_FALSE(std::filesystem::exists(home / "user"));
}

TEST(RouteTrace, APretendAppTakesMenuCommandsAndWindowRequests) {
  TempFolder home;
  std::string app = std::string(ORVO_SOURCE_DIR) + "/tests/apps/fixtures/logic-like.txt";
  auto blocks = route(
      home, {"--app", app, "open the mixer in logic", "start an audio track in logic",
             "delete the track in logic", "yes", "whats the capital of france",
             "in logic, show the library and then open the piano roll", "what buttons are there"});
  ASSERT_EQ(blocks.size(), 7u);
  EXPECT_EQ(spoken(blocks[0]), "Done: Open Mixer, in Logic Pro.");
  EXPECT_THAT(blocks[0], Contains("  pressed: Window > Open Mixer"));
  EXPECT_THAT(blocks[0], Contains("  family: apps"));
  EXPECT_EQ(spoken(blocks[1]), "Done: New Audio Track, in Logic Pro.");
  EXPECT_EQ(spoken(blocks[2]), "Delete Track, in Logic Pro. Shall I go ahead?");
  EXPECT_THAT(blocks[2], ::testing::Not(Contains("  pressed: Track > Delete Track")));
  EXPECT_THAT(blocks[3], Contains("  pressed: Track > Delete Track"));
  EXPECT_THAT(blocks[4], ::testing::Not(Contains("  family: apps")));
  std::vector<std::string> pressed;
  for (const auto& line : blocks[5]) {
    if (line.rfind("  pressed: ", 0) == 0) pressed.push_back(line.substr(11));
  }
  EXPECT_THAT(pressed, ::testing::ElementsAre("View > Show Library", "Window > Open Piano Roll"));
  EXPECT_THAT(spoken(blocks[6]), HasSubstr("you can press: Play, Stop"));
  // A file that is not a pretend app is said so, and nothing runs.
  std::string bad = (home / "bad.txt").string();
  files::writeFileAtomically(bad, "menu\tFile > New\n");
  OrvoProcess orvo(
      {.home = home.path(), .args = {"--route", "--app", bad, "where am i"}, .window = false});
  EXPECT_EQ(orvo.waitExit(30), 1);
  EXPECT_THAT(orvo.lines(), Contains(HasSubstr("line 1: the first line is app")));
}

}  // namespace
}  // namespace orvo::testing
