// The window on a headless desktop of its own (tools/desktop-session), read
// and driven through the accessibility bus as a screen reader would: its
// parts are named, a sentence shows as the caption, a typed request reaches
// the engine, large captions grow, and the sound outputs are buttons.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "e2e/sound-server.h"
#include "matchers.h"
#include "platform/child-process.h"
#include "platform/files.h"
#include "platform/text-pieces.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

struct Part {
  std::string role, name, text, size;
};

std::vector<Part> windowParts() {
  const std::string probe = std::string(ORVO_SOURCE_DIR) + "/tests/window/fixtures/window-probe.py";
  auto child = ChildProcess::start({"/usr/bin/python3", probe, "tree"});
  if (!child || child->wait(15) != 0) return {};
  std::vector<Part> parts;
  for (const auto& line : text::lines(child->output())) {
    auto cells = text::split(line, '\t');
    if (cells.size() == 4)
      parts.push_back({std::string(cells[0]), std::string(cells[1]), std::string(cells[2]),
                       std::string(cells[3])});
  }
  return parts;
}

std::optional<Part> part(const std::string& name) {
  for (const Part& each : windowParts()) {
    if (each.name == name) return each;
  }
  return std::nullopt;
}

// The caption, once it holds `text`: up to 30 s in all, however slowly the
// accessibility bus answers.
std::optional<Part> captionWith(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto caption = part("Caption"); caption && caption->text.find(text) != std::string::npos)
      return caption;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return std::nullopt;
}

void typeRequest(const std::string& request) {
  const std::string probe = std::string(ORVO_SOURCE_DIR) + "/tests/window/fixtures/window-probe.py";
  auto child = ChildProcess::start({"/usr/bin/python3", probe, "type", request});
  if (child) child->wait(30);
}

void pressButton(const std::string& name) {
  const std::string probe = std::string(ORVO_SOURCE_DIR) + "/tests/window/fixtures/window-probe.py";
  auto child = ChildProcess::start({"/usr/bin/python3", probe, "press", name});
  if (child) child->wait(30);
}

TEST(WindowDesktop, ThePartsAreNamedSentencesShowTypedRequestsActAndLargeCaptionsGrow) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no desktop: run through tools/desktop-session";
  TempFolder home;
  pid_t window = spawn({ORVO_WINDOW_BINARY, "--text"},
                       {{"ORVO_HOME", home.path().string()}, {"ORVO_NO_MIC", "1"}});
  ASSERT_GT(window, 0);
  auto caption = captionWith("the computer keyboard works");
  ASSERT_TRUE(caption) << "the greeting never showed";
  EXPECT_EQ(caption->role, "label");
  auto entry = part("Type a request");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->role, "text");
  auto strip = part("Keyboard");
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->role, "drawing area");

  typeRequest("what time is it");
  ASSERT_TRUE(captionWith("It is ")) << "the typed request never reached the engine";
  EXPECT_THAT(files::readFile(home / "log.txt").value_or(""),
              HasSubstr("heard \"what time is it\""));

  const double normal =
      std::stod(captionWith("It is ")->size.empty() ? "0" : part("Caption")->size);
  typeRequest("large captions");
  auto large = captionWith("Large captions on.");
  ASSERT_TRUE(large);
  EXPECT_GT(std::stod(large->size.empty() ? "0" : large->size), normal) << "the caption grew";

  endProcess(window);
}

// With a sound server of the test's own: the window has a button for each
// output, and pressing one moves the voice there once the choice is kept.
TEST(WindowDesktop, TheOutputsAreButtonsAndPressingOneMovesTheVoice) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no desktop: run through tools/desktop-session";
  TempFolder folder;
  SoundServer server(folder.path());
  server.addSink("headphones", "USB Audio Headphones");
  if (!server.start()) GTEST_SKIP() << server.skipReason();
  auto env = server.env();
  env["ORVO_HOME"] = (folder / "orvo").string();
  env["ORVO_NO_MIC"] = "1";
  std::filesystem::create_directories(folder / "orvo");
  pid_t window = spawn({ORVO_WINDOW_BINARY, "--text"}, env);
  ASSERT_GT(window, 0);
  ASSERT_TRUE(captionWith("the computer keyboard works")) << "the greeting never showed";
  std::optional<Part> button;
  for (int i = 0; i < 50 && !button; ++i) {
    button = part("Voice on USB Audio Headphones");
    if (!button) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(button) << "no button for the headphones";
  EXPECT_EQ(button->role, "push button");
  EXPECT_TRUE(part("Music on USB Audio Headphones"));

  pressButton("Voice on USB Audio Headphones");
  ASSERT_TRUE(captionWith("I'll speak on USB Audio Headphones from now on."));
  EXPECT_THAT(files::readFile(folder / "orvo" / "outputs.json").value_or(""),
              HasSubstr("\"headphones\""));
  std::optional<Part> status;
  for (int i = 0; i < 25 && !(status && status->text.find("Voice on USB") != std::string::npos);
       ++i) {
    status = part("Status");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(status);
  EXPECT_THAT(status->text, HasSubstr("Voice on USB Audio Headphones."));

  pressButton("Voice and music together on the usual output");
  EXPECT_TRUE(captionWith("My voice and the music are together again, on the usual output."));
  endProcess(window);
}

// Speech made by a synthetic voice, as 16 kHz mono samples with a second of
// quiet either side; empty when the voice is not installed.
std::filesystem::path speak(const std::string& voice, const std::string& text,
                            const std::filesystem::path& folder) {
  const auto wav = folder / "speech.wav";
  const auto raw = folder / (voice + "-" + std::to_string(std::hash<std::string>{}(text)) + ".raw");
  const std::string make =
      (voice == "espeak-ng" ? "espeak-ng -v en-us -s 150 -w '" + wav.string() + "' '" + text + "'"
                            : "echo '" + text + "' | text2wave -eval '(" + voice + ")' -o '" +
                                  wav.string() + "' 2>/dev/null") +
      " && sox '" + wav.string() + "' -t raw -r 16000 -c 1 -b 16 -e signed '" + raw.string() +
      "' pad 1 1";
  if (std::system(make.c_str()) != 0 || !std::filesystem::exists(raw)) return {};
  return raw;
}

// Spoken into a microphone of the test's own (a null sink's monitor) by two
// synthetic voices: the window hears the name and the request, and the
// engine acts on it; talk without the name never wakes it.
TEST(WindowDesktop, ASpokenRequestWithTheNameIsHeardAndActedOn) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no desktop: run through tools/desktop-session";
  TempFolder folder;
  std::vector<std::string> voices;
  for (const char* voice : {"voice_cmu_us_slt_arctic_hts", "voice_kal_diphone"}) {
    if (!speak(voice, "hello", folder.path()).empty()) voices.push_back(voice);
  }
  if (voices.size() < 2) GTEST_SKIP() << "Festival's slt and kal voices are not installed";
  SoundServer server(folder.path());
  if (!server.start()) GTEST_SKIP() << server.skipReason();
  // The microphone: a sink of the recogniser's own rate, heard through its monitor.
  auto env = server.env();
  pid_t load = spawn(
      {"pactl", "load-module", "module-null-sink", "sink_name=mic", "rate=16000", "channels=1"},
      env);
  ::waitpid(load, nullptr, 0);
  env["ORVO_HOME"] = (folder / "orvo").string();
  env["ORVO_MIC"] = "mic.monitor";
  env["ORVO_WINDOW_TRACE"] = (folder / "heard.txt").string();
  if (const char* keep = std::getenv("ORVO_TEST_KEEP_AUDIO")) env["ORVO_WINDOW_RECORD"] = keep;
  std::filesystem::create_directories(folder / "orvo");
  pid_t window = spawn({ORVO_WINDOW_BINARY, "--text"}, env);
  ASSERT_GT(window, 0);
  const auto log = folder / "orvo" / "log.txt";
  auto play = [&](const std::filesystem::path& speech) {
    const std::string command =
        "pacat -d mic --rate=16000 --channels=1 --format=s16le < '" + speech.string() + "'";
    pid_t player = spawn({"/bin/sh", "-c", command}, env);
    ::waitpid(player, nullptr, 0);
  };
  auto heardCount = [&](const std::string& request) {
    const std::string text = files::readFile(log).value_or("");
    std::size_t count = 0;
    for (auto at = text.find("heard \"" + request + "\""); at != std::string::npos;
         at = text.find("heard \"" + request + "\"", at + 1))
      ++count;
    return count;
  };
  // The recogniser's model is made at start: given a moment first.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  for (const std::string& voice : voices) {
    const auto speech = speak(voice, "Orvo, what time is it", folder.path());
    const std::size_t before = heardCount("what time is it");
    bool acted = false;
    for (int attempt = 0; attempt < 3 && !acted; ++attempt) {
      play(speech);
      for (int i = 0; i < 40 && !acted; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        acted = heardCount("what time is it") > before;
      }
    }
    EXPECT_TRUE(acted) << voice << ":\n"
                       << files::readFile(folder / "heard.txt").value_or("nothing heard");
  }
  const std::size_t requests = heardCount("what time is it");
  play(speak(voices[0], "We were talking about the weather all afternoon", folder.path()));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_EQ(heardCount("what time is it"), requests);
  // Heard casually, just after an answer, it may be looked at, never acted on.
  for (const auto& line : text::lines(files::readFile(log).value_or(""))) {
    if (line.find("heard \"we were") != std::string_view::npos) {
      EXPECT_THAT(std::string(line), ::testing::EndsWith(": ignored")) << "not addressed";
    }
  }
  if (std::getenv("ORVO_TEST_SHOW_HEARD"))
    std::cout << files::readFile(folder / "heard.txt").value_or("nothing heard");
  endProcess(window);
}

}  // namespace
}  // namespace orvo::testing
