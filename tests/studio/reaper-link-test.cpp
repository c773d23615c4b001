// The REAPER link: the exchange through the real files, the bridge's
// installation, and the bridge itself answering every command against the
// pretend REAPER, in our embedded Lua and in Debian's own interpreter.

#include "studio/reaper-link.h"

#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <fstream>
#include <thread>

#include "matchers.h"
#include "platform/files.h"
#include "studio/reaper-scripts.h"
#include "studio/temp-reaper.h"

namespace orvo {
namespace {

using testing::PretendReaper;
using testing::TempFolder;

std::string read(const std::filesystem::path& path) {
  return files::readFile(path).value_or("<none>");
}

void write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ino_t inode(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A link whose wait is the test's own: no bridge at all, a virtual clock.
struct BareLink {
  TempFolder folder;
  double clock = 0;
  std::function<void(int)> onWait;  // the wait's number, from 0
  int waits = 0;
  std::filesystem::path exchange() const { return folder / "REAPER/Scripts/Lorimel"; }
  BareLink() {
    std::filesystem::create_directories(exchange());
    Reaper::setUp({folder / "REAPER",
                   {},
                   [this] { return clock; },
                   [this](double seconds) {
                     if (onWait) onWait(waits);
                     ++waits;
                     clock += seconds;
                   }});
  }
  ~BareLink() { Reaper::setUp(Reaper::defaultSetup()); }
};

TEST(ReaperLink, ARequestIsOneLineAndOnlyItsOwnWholeReplyAnswersIt) {
  BareLink link;
  std::string request;
  std::string number;
  const long before = static_cast<long>(std::time(nullptr) % 100000);
  link.onWait = [&](int n) {
    if (n == 0) {
      request = read(link.exchange() / "cmd.txt");
      number = request.substr(0, request.find('\t'));
    }
    // Not one of these is the answer: another request's reply, no TAB, an
    // empty file, then the right number in a file too large to be an answer.
    if (n == 1) write(link.exchange() / "reply.txt", "1\tstale");
    if (n == 2) write(link.exchange() / "reply.txt", number);
    if (n == 3) write(link.exchange() / "reply.txt", "");
    if (n == 4) write(link.exchange() / "reply.txt", number + "\t" + std::string(17 << 20, 'x'));
    if (n == 5) write(link.exchange() / "reply.txt", number + "\tbad \xff byte\nsecond line");
  };
  auto answer = Reaper::sendList({"track_rename", "1", "a\tb\nc\rd"}, 3.0);
  const long after = static_cast<long>(std::time(nullptr) % 100000);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, "bad \xEF\xBF\xBD byte\nsecond line");  // repaired, both lines kept
  EXPECT_EQ(request.find('\n'), std::string::npos);
  EXPECT_EQ(request.substr(request.find('\t')), "\ttrack_rename\t1\ta b c d");
  // The first request of a link is numbered from the clock's seconds.
  const long first = std::stol(number);
  EXPECT_TRUE(first == before + 1 || first == after + 1) << first;
  EXPECT_EQ(link.waits, 6);

  // Numbers then count up by one.
  link.onWait = [&](int) {
    request = read(link.exchange() / "cmd.txt");
    write(link.exchange() / "reply.txt", request.substr(0, request.find('\t')) + "\tok");
  };
  EXPECT_EQ(Reaper::sendList({"ping"}), "ok");
  EXPECT_EQ(std::stol(request), first + 1);
  EXPECT_EQ(Reaper::lines({"ping"}), std::vector<std::string>{"ok"});
}

TEST(ReaperLink, ATimeOutWithdrawsTheRequestAndAFailedWriteEndsAtOnce) {
  {
    BareLink link;
    write(link.exchange() / "reply.txt", "0\tleft from an earlier run");
    EXPECT_FALSE(Reaper::sendList({"snapshot"}, 3.0).has_value());
    EXPECT_NEAR(link.clock, 3.0, 0.031);
    EXPECT_FALSE(std::filesystem::exists(link.exchange() / "cmd.txt"));
    EXPECT_TRUE(Reaper::lines({"tracks"}).empty());
  }
  {
    BareLink link;
    std::filesystem::remove_all(link.exchange());
    EXPECT_FALSE(Reaper::sendList({"ping"}, 3.0).has_value());
    // A file where the folder should be: nothing can be written there.
    write(link.exchange(), "not a folder");
    EXPECT_FALSE(Reaper::sendList({"ping"}, 3.0).has_value());
    EXPECT_EQ(link.waits, 0);
  }
}

TEST(ReaperLink, LateRepliesAreIgnoredAndTwoThreadsGoOneAfterTheOther) {
  PretendReaper reaper;
  ASSERT_EQ(reaper.studio->error(), "");
  reaper.pumping(false);
  EXPECT_FALSE(Reaper::sendList({"ping"}, 1.0).has_value());
  reaper.pumping(true);
  // The withdrawn request is never answered late, and the next one gets its own.
  reaper.studio->pump();
  EXPECT_FALSE(std::filesystem::exists(reaper.exchange() / "reply.txt"));
  EXPECT_EQ(Reaper::sendList({"ping"}), "pong");

  std::atomic<int> wrong{0};
  auto worker = [&](char who) {
    for (int i = 0; i < 25; ++i) {
      const std::string tag = std::string(1, who) + std::to_string(i);
      if (Reaper::sendList({tag}) != "unknown command " + tag) ++wrong;
    }
  };
  std::thread a(worker, 'a');
  std::thread b(worker, 'b');
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_FALSE(reaper.overlapped());
}

TEST(ReaperLink, InstallingTheBridgeKeepsTheStartUpScriptAndNeverRewritesInVain) {
  TempFolder folder;
  const auto resources = folder / "REAPER";
  const auto shipped = folder / "base/reaper/lorimel_bridge.lua";
  Reaper::setUp({resources, shipped, {}, {}});
  const std::string dofile = "dofile(reaper.GetResourcePath() .. \"/Scripts/lorimel_bridge.lua\")";

  EXPECT_FALSE(Reaper::installBridge());  // no resource folder yet
  std::filesystem::create_directories(resources);
  EXPECT_FALSE(Reaper::installBridge());  // nothing shipped yet
  ASSERT_TRUE(Reaper::shipBridge(folder / "base"));
  EXPECT_EQ(read(shipped), Reaper::bridgeSource());
  const ino_t shippedInode = inode(shipped);
  ASSERT_TRUE(Reaper::shipBridge(folder / "base"));
  EXPECT_EQ(inode(shipped), shippedInode);

  ASSERT_TRUE(Reaper::installBridge());
  const auto startup = resources / "Scripts/__startup.lua";
  const auto bridge = resources / "Scripts/lorimel_bridge.lua";
  EXPECT_EQ(read(bridge), Reaper::bridgeSource());
  EXPECT_TRUE(std::filesystem::is_directory(resources / "Scripts/Lorimel"));
  const std::string fresh =
      "-- Runs when REAPER starts. Added by Orvo; delete this file to remove the bridge.\n" +
      dofile + "\n";
  EXPECT_EQ(read(startup), fresh);
  const ino_t bridgeInode = inode(bridge);
  ASSERT_TRUE(Reaper::installBridge());
  EXPECT_EQ(read(startup), fresh);  // still one dofile line
  EXPECT_EQ(inode(bridge), bridgeInode);

  // The player's own start-up script keeps every line and gains one.
  write(startup, "-- mine\nreaper.ShowConsoleMsg(\"hi\")");
  ASSERT_TRUE(Reaper::installBridge());
  EXPECT_EQ(read(startup), "-- mine\nreaper.ShowConsoleMsg(\"hi\")\n" + dofile + "\n");

  // A huge one is copied whole, never cut short.
  std::string big(50 << 20, '-');
  big += "\n-- the end\n";
  write(startup, big);
  ASSERT_TRUE(Reaper::installBridge());
  const std::string grown = read(startup);
  EXPECT_EQ(grown.size(), big.size() + 1 + dofile.size() + 1);
  EXPECT_EQ(grown.compare(0, big.size(), big), 0);

  // One that cannot be read is left alone.
  std::filesystem::remove(startup);
  std::filesystem::create_directory(startup);
  EXPECT_FALSE(Reaper::installBridge());
  EXPECT_TRUE(std::filesystem::is_directory(startup));
  Reaper::setUp(Reaper::defaultSetup());
}

// The pretend project most bridge tests share.
const char* kLinkProject = R"lua({
  tempo = 120, name = "Demo", markers = { 4.0, 8.0 }, peak = -4,
  actions = { [40001] = "Track: Insert new track", [41234] = "Item: Normalize items" },
  tracks = {
    { name = "Lead Vocals", db = -6, items = 2, selected = true,
      fx = { "VST: ReaComp (Cockos)", { name = "VST: ReaEQ (Cockos)", on = false } } },
    { name = "Drums | Kit; live", db = -150, pan = -30, mute = true },
    { name = "Reverb Bus", fx = { "VST: ReaVerbate (Cockos)" } },
  },
})lua";

struct BridgeTest : ::testing::Test {
  PretendReaper reaper{kLinkProject};
  std::string ask(const std::vector<std::string>& args) {
    return Reaper::sendList(args).value_or("<no answer>");
  }
  std::string eval(const std::string& chunk) { return reaper.eval(chunk); }
  void TearDown() override { EXPECT_EQ(reaper.studio->uncaught(), ""); }
};

TEST_F(BridgeTest, TheSnapshotWritesEveryTrackSafely) {
  EXPECT_EQ(ask({"snapshot"}),
            "P|stopped|bar 1, beat 1|120.0\n"
            "0|Master|0.0|0|0|0|0|0||||0\n"
            "1|Lead Vocals|-6.0|0|0|0|0|1|VST: ReaComp (Cockos);VST: ReaEQ (Cockos)|1;0||2\n"
            "2|Drums / Kit/ live|-150.0|-30|1|0|0|0||||0\n"
            "3|Reverb Bus|0.0|0|0|0|0|0|VST: ReaVerbate (Cockos)|1||0");
  EXPECT_EQ(ask({"ping"}), "pong");
  EXPECT_EQ(ask({"info"}), "This is Demo, with 3 tracks, at 120 beats per minute, with 2 markers.");
}

TEST_F(BridgeTest, TrackCommandsChangeTheProject) {
  EXPECT_EQ(ask({"select", "3"}), "ok");
  EXPECT_EQ(eval("return mock_track(3).selected .. mock_track(1).selected"), "10");
  EXPECT_EQ(ask({"track_vol_set", "1", "-10.0"}), "ok");
  EXPECT_EQ(eval("return string.format('%.2f', mock_db(1))"), "-10.00");
  EXPECT_EQ(ask({"track_pan_set", "1", "150"}), "ok");  // kept within hard right
  EXPECT_EQ(eval("return mock_track(1).pan"), "1");
  EXPECT_EQ(ask({"track_set", "1", "solo", "1"}), "ok");
  EXPECT_EQ(ask({"track_set", "3", "arm", "1"}), "ok");
  EXPECT_EQ(ask({"all_off", "arm"}), "ok");
  EXPECT_EQ(eval("return mock_track(1).solo .. mock_track(3).arm"), "10");
  EXPECT_EQ(ask({"all_off", "solo"}), "ok");
  EXPECT_EQ(ask({"track_rename", "3", "Space"}), "ok");
  EXPECT_EQ(ask({"track_duplicate", "1", "Double"}), "ok");
  EXPECT_EQ(ask({"track_new", "instrument", "Keys", "ReaSynth"}), "ok");
  EXPECT_EQ(ask({"tracks"}), "1|Lead Vocals\n2|Double\n3|Drums / Kit/ live\n4|Space\n5|Keys");
  EXPECT_EQ(eval("local t = mock_track(5) return t.fx[1].name .. ' ' .. t.arm .. t.selected"),
            "VSTi: ReaSynth (Cockos) 11");
  EXPECT_EQ(eval("return #mock_track(2).fx"), "2");  // the copy has the plug-ins
  EXPECT_EQ(ask({"track_move", "1", "4"}), "ok");
  EXPECT_EQ(ask({"tracks"}), "1|Double\n2|Drums / Kit/ live\n3|Space\n4|Lead Vocals\n5|Keys");
  EXPECT_EQ(ask({"track_delete", "5"}), "ok");
  EXPECT_EQ(ask({"track_select", "2"}), "Drums | Kit; live selected.");
  EXPECT_EQ(ask({"track_mute", "2"}), "Unmuted.");
  EXPECT_EQ(ask({"track_arm", "2"}), "Armed.");
  EXPECT_EQ(ask({"track_solo", "2"}), "Soloed.");
  EXPECT_EQ(ask({"track_vol", "2", "2"}), "Volume silent.");
  EXPECT_EQ(ask({"track_vol", "3", "-2"}), "Volume minus 2 decibels.");
  EXPECT_EQ(ask({"track_pan", "3", "-0.1"}), "Pan 10 percent left.");
  EXPECT_EQ(ask({"track_new", "audio"}), "ok");
  EXPECT_EQ(eval("return #PROJECT.tracks"), "5");
}

TEST_F(BridgeTest, PlugInsParametersAndPresets) {
  EXPECT_EQ(ask({"fx_add", "3", "ReaDelay"}), "ok");
  EXPECT_EQ(ask({"fx_add", "3", "flanger made of cheese"}),
            "could not find a plug-in called flanger made of cheese");
  EXPECT_EQ(ask({"fx_list", "3"}), "VST: ReaVerbate (Cockos)\nVST: ReaDelay (Cockos)");
  EXPECT_EQ(ask({"fx_remove", "3", "0"}), "ok");
  EXPECT_EQ(ask({"fx_bypass", "1", "1"}), "ok");
  EXPECT_EQ(eval("return tostring(mock_track(1).fx[2].on)"), "true");
  EXPECT_EQ(ask({"fx_search", "rea", "instrument"}), "VSTi: ReaSynth (Cockos)");
  EXPECT_EQ(ask({"fx_search", "comp"}), "VST: ReaComp (Cockos)");

  EXPECT_EQ(ask({"fx_params", "1", "0"}),
            "0|Thresh|0.0 dB|1.0\n1|Ratio|2.9:1|0.1\n2|Attack|45.0 ms|0.3\n3|Release|200 ms|0.2");
  EXPECT_EQ(ask({"fx_param_set", "1", "0", "2", "-0.5"}), "ok");  // never below 0
  EXPECT_EQ(eval("return mock_track(1).fx[1].params[3].norm"), "0");
  // Attack's display is not linear: 125 ms is a quarter of the range, half the travel.
  EXPECT_EQ(ask({"fx_param_to", "1", "0", "2", "125"}), "ok");
  EXPECT_EQ(eval("local p = mock_track(1).fx[1].params[3] return p.show(p.norm)"), "125.0 ms");
  EXPECT_EQ(ask({"fx_param_to", "1", "0", "2", "900"}), "out of range: it goes from 0.0 to 500.0");
  EXPECT_EQ(ask({"fx_param_to", "1", "0", "9", "1"}), "there is no setting number 9");

  EXPECT_EQ(ask({"fx_preset", "1", "0"}), "|Gentle|Heavy|Vocal");
  EXPECT_EQ(ask({"fx_preset", "1", "0", "Vocal"}), "ok");
  EXPECT_EQ(ask({"fx_preset", "1", "0"}), "Vocal|Gentle|Heavy|Vocal");
  EXPECT_EQ(ask({"fx_preset", "1", "0", "next"}), "ok");
  EXPECT_EQ(ask({"fx_preset", "1", "0"}), "Gentle|Gentle|Heavy|Vocal");
  EXPECT_EQ(ask({"fx_preset", "1", "0", "previous"}), "ok");
  EXPECT_EQ(ask({"fx_preset", "1", "0", "Shiny"}), "could not find a preset called Shiny");
  EXPECT_EQ(ask({"fx_preset", "3", "0"}), "|");

  EXPECT_EQ(ask({"send_create", "1", "3", "-15.0"}), "ok");
  EXPECT_EQ(ask({"send_create", "1", "1", "-15.0"}), "a track cannot send to itself");
  EXPECT_NE(ask({"snapshot"}).find("|Reverb Bus@-15.0|2"), std::string::npos);
}

TEST_F(BridgeTest, TransportTempoMarkersActionsAndUndo) {
  EXPECT_EQ(ask({"undo"}), "nothing to undo");
  EXPECT_EQ(ask({"redo"}), "nothing to redo");
  EXPECT_EQ(ask({"peak"}), "-150.0");  // stopped: silence
  EXPECT_EQ(ask({"play"}), "Playing.");
  EXPECT_EQ(ask({"peak"}), "-4.0");
  EXPECT_EQ(ask({"position"}), "Bar 1, beat 4.");
  EXPECT_EQ(ask({"play"}), "Stopped.");
  EXPECT_EQ(ask({"record"}), "Recording.");
  EXPECT_NE(ask({"snapshot"}).find("P|recording|"), std::string::npos);
  EXPECT_EQ(ask({"stop"}), "Stopped.");
  EXPECT_EQ(ask({"tempo", "set", "90"}), "Tempo 90.");
  EXPECT_EQ(ask({"tempo", "-5"}), "Tempo 85.");
  EXPECT_EQ(ask({"metronome"}), "Metronome on.");
  EXPECT_EQ(ask({"repeat"}), "Repeat on.");
  EXPECT_EQ(ask({"marker_next"}), "At bar 2, beat 2.");  // 4 s at 85 bpm
  EXPECT_EQ(ask({"marker_add"}), "Marker added at bar 2, beat 2.");
  EXPECT_EQ(ask({"marker_prev"}), "At bar 2, beat 2.");
  EXPECT_EQ(ask({"start"}), "At the start.");
  EXPECT_EQ(ask({"save"}), "Saved.");
  EXPECT_EQ(ask({"action_search", "normalize"}), "41234|Item: Normalize items");
  EXPECT_EQ(ask({"action", "41234"}), "Done.");
  EXPECT_EQ(ask({"action", "77777"}).find("the mock has no action 77777") != std::string::npos,
            true);

  EXPECT_EQ(ask({"track_rename", "1", "Lead"}), "ok");
  EXPECT_EQ(ask({"undo"}), "Undone: rename a track.");
  EXPECT_EQ(eval("return mock_track(1).name"), "Lead Vocals");
  EXPECT_EQ(ask({"redo"}), "Redone: rename a track.");
  EXPECT_EQ(eval("return mock_track(1).name"), "Lead");
}

TEST_F(BridgeTest, BadRequestsGetAReasonAndTheLoopGoesOn) {
  EXPECT_EQ(ask({"flanger"}), "unknown command flanger");
  EXPECT_EQ(ask({"select"}), "select takes 1 argument, not 0");
  EXPECT_EQ(ask({"fx_preset", "1"}), "fx_preset takes 2 to 3 arguments, not 1");
  EXPECT_EQ(ask({"track_vol_set", "1", "loud"}), "the level is not a number: loud");
  EXPECT_EQ(ask({"track_vol_set", "one", "1"}), "the track is not a whole number: one");
  EXPECT_EQ(ask({"track_delete", "0"}), "the master cannot do that");
  EXPECT_EQ(ask({"track_delete", "9"}), "there is no track 9; the project has 3");
  EXPECT_EQ(ask({"fx_bypass", "1", "2"}), "there is no plug-in number 2; the track has 2");
  EXPECT_EQ(ask({"track_set", "1", "loud", "1"}), "unknown switch loud");
  EXPECT_EQ(ask({"tempo", "set", "nan"}), "the tempo is not a number: nan");
  const std::string longName(10000, 'n');
  EXPECT_EQ(ask({"track_rename", "1", longName}), "ok");
  EXPECT_EQ(eval("return #mock_track(1).name"), "10000");
  EXPECT_EQ(ask({"ping"}), "pong");
  // The pretend REAPER has nothing off the bridge's allow-list.
  EXPECT_EQ(eval("return tostring(pcall(function() return reaper.ShowConsoleMsg end))"), "false");
  EXPECT_EQ(eval("return tostring(pcall(reaper.Main_OnCommand, 40001 + 1, 0))"), "false");
}

TEST(ReaperBridge, ARequestFromBeforeARestartIsNotReplayed) {
  PretendReaper reaper{kLinkProject};
  write(reaper.exchange() / "cmd.txt", "41\ttrack_delete\t1");
  reaper.studio = std::make_unique<LuaStudio>(reaper.resources(), kLinkProject);  // REAPER restarts
  reaper.studio->pump();
  reaper.studio->pump();
  EXPECT_FALSE(std::filesystem::exists(reaper.exchange() / "reply.txt"));
  EXPECT_EQ(reaper.eval("return #PROJECT.tracks"), "3");
  EXPECT_EQ(Reaper::sendList({"ping"}), "pong");
}

// REAPER 7 runs Lua 5.4 and REAPER 6 Lua 5.3: the bridge runs under Debian's own
// interpreter of each, outside our embedding.
class StockLua : public ::testing::TestWithParam<const char*> {};

TEST_P(StockLua, RunsTheBridge) {
  const std::string interpreter = GetParam();
  ASSERT_TRUE(std::filesystem::exists(interpreter)) << "the Makefile's packages install it";
  TempFolder folder;
  const auto resources = folder / "REAPER";
  std::filesystem::create_directories(resources);
  ASSERT_TRUE(Reaper::shipBridge(folder / "base"));
  Reaper::Setup setup = Reaper::defaultSetup();  // the real clock and a real sleep
  setup.resources = resources;
  setup.shipped = folder / "base/reaper/lorimel_bridge.lua";
  Reaper::setUp(setup);
  ASSERT_TRUE(Reaper::installBridge());
  write(folder / "mock_reaper.lua", std::string(reaperscripts::mock));
  write(folder / "driver.lua",
        "PROJECT = { tracks = { { name = 'Piano', db = -3 } } }\n"
        "RESOURCES = '" +
            resources.string() +
            "'\n"
            "dofile('" +
            (folder / "mock_reaper.lua").string() +
            "')\n"
            "dofile(RESOURCES .. '/Scripts/lorimel_bridge.lua')\n"
            "local stop = '" +
            (folder / "stop").string() +
            "'\n"
            "local started = os.time()\n"
            "while os.time() - started < 30 do\n"
            "  mock_pump()\n"
            "  local f = io.open(stop) if f then f:close() break end\n"
            "  os.execute('sleep 0.02')\n"
            "end\n");
  std::thread lua([&] {
    std::string command =
        interpreter + " '" + (folder / "driver.lua").string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  });
  // A request written before the bridge has loaded is dropped as stale, so
  // ping until it answers, as opening REAPER does.
  std::optional<std::string> pong;
  for (int i = 0; i < 20 && !pong; ++i) pong = Reaper::sendList({"ping"}, 1.0);
  EXPECT_EQ(pong, "pong");
  EXPECT_EQ(Reaper::sendList({"track_rename", "1", "Grand"}, 5.0), "ok");
  auto snapshot = Reaper::sendList({"snapshot"}, 5.0);
  EXPECT_NE(snapshot.value_or("").find("1|Grand|-3.0|"), std::string::npos);
  write(folder / "stop", "");
  lua.join();
  Reaper::setUp(Reaper::defaultSetup());
}
INSTANTIATE_TEST_SUITE_P(ReaperBridge, StockLua,
                         ::testing::Values("/usr/bin/lua5.4", "/usr/bin/lua5.3"));

TEST(ReaperLink, REAPERIsFoundOnThePathOnlyAsAProgram) {
  testing::TempFolder folder;
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  std::filesystem::create_directories(folder / "bin");
  files::writeFileAtomically(folder / "bin/reaper", "#!/bin/sh\n");
  ::setenv("PATH", (folder.path().string() + "/nothing::" + (folder / "bin").string()).c_str(), 1);
  const bool beforeExecutable =
      Reaper::installedAt().has_value() && Reaper::installedAt()->parent_path() == folder / "bin";
  std::filesystem::permissions(folder / "bin/reaper", std::filesystem::perms::owner_all);
  auto found = Reaper::installedAt();
  ::setenv("PATH", oldPath.c_str(), 1);
  EXPECT_FALSE(beforeExecutable);  // a file that cannot run is not REAPER
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, folder / "bin/reaper");
}

}  // namespace
}  // namespace orvo
