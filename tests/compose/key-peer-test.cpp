// Our key finding against maia-util's implementation of the same
// Krumhansl–Kessler method, on the MIDI files of two Debian packages that
// nobody here wrote. The peer is installed at test time (ORVO_MAIA_PEER).

#include <algorithm>
#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

#include "compose/analysis.h"
#include "compose/key-finding.h"
#include "compose/midi-take.h"
#include "matchers.h"
#include "outside-programs.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

struct Best {
  int index = 0;      // 0..23: major C..B, then minor C..B
  double margin = 0;  // how far ahead of the second best
};

Best best(const std::array<double, 24>& scores) {
  Best result;
  result.index = static_cast<int>(std::max_element(scores.begin(), scores.end()) - scores.begin());
  double second = -2;
  for (int i = 0; i < 24; ++i) {
    if (i != result.index) second = std::max(second, scores[static_cast<std::size_t>(i)]);
  }
  result.margin = scores[static_cast<std::size_t>(result.index)] - second;
  return result;
}

int peerIndex(const nlohmann::json& key) {
  return key[0].get<int>() + (key[1].get<bool>() ? 12 : 0);
}

TEST(KeyPeer, TheBestKeyAgreesWithMaiaUtilOnEveryRealFile) {
  const char* peer = std::getenv("ORVO_MAIA_PEER");
  if (!peer || !*peer) GTEST_SKIP() << "maia-util is not installed (tools/maia-peer)";
  auto files = testing::debianMidiFiles();
  ASSERT_EQ(files.size(), 41u) << "the packages openttd-openmsx and planetblupi-music-midi";
  const std::string tools = std::string(ORVO_SOURCE_DIR) + "/tools";
  testing::TempFolder work;

  // First on our reader's notes: key finding alone.
  nlohmann::json ours = nlohmann::json::object();
  std::map<std::string, Best> ourBest;
  int moved = 0;
  for (const auto& file : files) {
    auto take = takeFromMidiFile(file);
    ASSERT_TRUE(take) << file;
    ASSERT_FALSE(take->empty()) << file;
    nlohmann::json notes = nlohmann::json::array();
    for (const RNote& note : *take) notes.push_back({note.t, note.end, note.pitch});
    ours[file.string()] = notes;
    ourBest[file.string()] = best(keyScores(*take));
    Analysis analysis = analyse(*take);
    if (analysis.tonic + (analysis.minor ? 12 : 0) != ourBest[file.string()].index) ++moved;
  }
  ASSERT_TRUE(files::writeFileAtomically(work / "ours.json", ours.dump()));
  auto peerKeys =
      nlohmann::json::parse(testing::commandOutput("node " + quoted(tools + "/key-peer.js") + " " +
                                                   quoted(std::string(peer) + "/maia-util") + " " +
                                                   quoted((work / "ours.json").string())),
                            nullptr, false);
  ASSERT_TRUE(peerKeys.is_object()) << "the peer gave no answer";
  for (const auto& file : files) {
    ASSERT_TRUE(peerKeys.contains(file.string())) << file;
    EXPECT_EQ(peerIndex(peerKeys[file.string()]), ourBest[file.string()].index) << file;
  }
  std::cout << "the relative-key rule moved the key of " << moved << " of " << files.size()
            << " files\n";

  // Then with the peer's side reading the files itself, through python3-mido.
  std::string command = "/usr/bin/python3 " + quoted(tools + "/midi-take.py");
  for (const auto& file : files) command += " " + quoted(file.string());
  std::string theirs = testing::commandOutput(command);
  auto theirNotes = nlohmann::json::parse(theirs, nullptr, false);
  ASSERT_TRUE(theirNotes.is_object()) << "python3-mido could not read the files";
  ASSERT_TRUE(files::writeFileAtomically(work / "theirs.json", theirs));
  auto theirKeys =
      nlohmann::json::parse(testing::commandOutput("node " + quoted(tools + "/key-peer.js") + " " +
                                                   quoted(std::string(peer) + "/maia-util") + " " +
                                                   quoted((work / "theirs.json").string())),
                            nullptr, false);
  ASSERT_TRUE(theirKeys.is_object());
  int close = 0;
  for (const auto& file : files) {
    ASSERT_TRUE(theirKeys.contains(file.string())) << file;
    EXPECT_EQ(theirNotes[file.string()].size(), ours[file.string()].size()) << file;
    const Best& mine = ourBest[file.string()];
    if (peerIndex(theirKeys[file.string()]) == mine.index) continue;
    if (mine.margin < 0.01) {
      ++close;
      std::cout << file.filename().string() << ": two keys within " << mine.margin
                << ", the readers disagree\n";
      continue;
    }
    ADD_FAILURE() << file << ": the peer's reading gives another key";
  }
  std::cout << close << " files reported, their two best keys too close to call\n";
}

}  // namespace
}  // namespace orvo
