// What the window shows, line by line: every verb the engine sends, lines
// that do not parse, a flood and a runaway line.

#include <gdk/gdkkeysyms.h>

#include "matchers.h"
#include "window/key-bytes.h"
#include "window/window-state.h"

namespace orvo::window {
namespace {

TEST(WindowState, EachLineChangesWhatItNamesAndNothingElse) {
  struct Case {
    const char* line;
    std::function<bool(const WindowState&)> shows;
  };
  const Case cases[] = {
      {"@say Hello there.", [](auto& s) { return s.caption == "Hello there." && !s.speaking; }},
      {"@start", [](auto& s) { return s.speaking; }},
      {"@word there.", [](auto& s) { return s.word == "there."; }},
      {"@heard play me something", [](auto& s) { return s.heard == "play me something"; }},
      {"@ears off", [](auto& s) { return s.earsOff; }},
      {"@earreset", [](auto& s) { return !s.earsOff; }},
      {"@mode teach", [](auto& s) { return s.mode == "teach"; }},
      {"@now Playing Ode to Joy", [](auto& s) { return s.now == "Playing Ode to Joy"; }},
      {"@paused 1", [](auto& s) { return s.paused; }},
      {"@typing 1", [](auto& s) { return s.typingNow && s.typing.empty(); }},
      {"@typing Blues", [](auto& s) { return s.typingNow && s.typing == "Blues"; }},
      {"@typing 0", [](auto& s) { return !s.typingNow; }},
      {"@kbd Keystation 88",
       [](auto& s) { return describeKeyboards(s) == "Piano: Keystation 88"; }},
      {"@voice George (Kokoro)", [](auto& s) { return s.voice == "George (Kokoro)"; }},
      {"@outputs USB Audio Headphones||Built-in Audio|USB Audio Headphones",
       [](auto& s) {
         return s.voiceOutput == "USB Audio Headphones" && s.musicOutput.empty() &&
                s.outputs == std::vector<std::string>{"Built-in Audio", "USB Audio Headphones"};
       }},
      {"@outputs ||", [](auto& s) { return s.voiceOutput.empty() && s.outputs.empty(); }},
      {"@bandstyle full", [](auto& s) { return s.bandStyle == "full"; }},
      {"@bandlevel -3 dB", [](auto& s) { return s.bandLevel == "-3 dB"; }},
      {"@live 1", [](auto& s) { return s.liveBand; }},
      {"@name Ada|Jarvis",
       [](auto& s) { return s.userName == "Ada" && s.assistantName == "Jarvis"; }},
      {"@flash good",
       [](auto& s) { return s.flash == WindowState::Flash::good && s.flashes == 1; }},
      {"@flash wrong",
       [](auto& s) { return s.flash == WindowState::Flash::wrong && s.flashes == 2; }},
      {"@beat 2", [](auto& s) { return s.beat == 2 && s.beats == 1; }},
      {"@on 60 90", [](auto& s) { return s.played.test(60); }},
      {"@on 60 0", [](auto& s) { return !s.played.test(60); }},
      {"@out 72 80", [](auto& s) { return s.sounded.test(72); }},
      {"@buttons 108 107 105",
       [](auto& s) {
         return s.buttons == std::vector<int>{108, 107, 105};
       }},
      {"@rollnew 0.000,0.500,60,90,1;0.500,0.500,64,80,1;",
       [](auto& s) { return s.rollPlaying && s.roll.size() == 2 && s.roll[1].pitch == 64; }},
      {"@rolln 1.000,0.250,67,70,2;", [](auto& s) { return s.roll.size() == 3; }},
      {"@rollstop", [](auto& s) { return !s.rollPlaying && s.roll.size() == 3; }},
      {"@access large 1", [](auto& s) { return s.largeText; }},
      {"@access contrast 1", [](auto& s) { return s.highContrast; }},
      {"@window bigger", [](auto& s) { return s.windowRequest == "bigger"; }},
      {"@daw 1", [](auto& s) { return s.studioOpen; }},
      // A sentence printed, not spoken, is the caption, even when it begins like a verb.
      {"Now you.",
       [](auto& s) { return s.caption == "Now you." && s.now == "Playing Ode to Joy"; }},
  };
  WindowState state;
  for (const Case& each : cases) {
    applyLine(state, each.line);
    EXPECT_TRUE(each.shows(state)) << each.line;
  }
  EXPECT_EQ(state.ignored, 0);
  EXPECT_EQ(modeWords("idle"), "home");
}

TEST(WindowState, LinesThatDoNotParseChangeNothingAndNothingGrowsWithoutBound) {
  WindowState state;
  applyLine(state, "@mode idle");
  const WindowState before = state;
  for (const char* line : {"@on 300 90", "@on sixty 90", "@on 60", "@beat x", "@paused maybe",
                           "@name no bar", "@outputs only one", "@frobnicate 1", "@", "", "@live",
                           "@rolln ;;,;x,y;", "@access large 2", "@on -1 5"}) {
    applyLine(state, line);
  }
  EXPECT_EQ(state.mode, before.mode);
  EXPECT_TRUE(state.played.none());
  EXPECT_TRUE(state.roll.empty());
  EXPECT_FALSE(state.paused);
  EXPECT_EQ(state.applied, before.applied + 1);  // only the empty roll continuation applied
  // A runaway line, and a flood of notes.
  applyLine(state, "@say " + std::string(100'000, 'a'));
  EXPECT_EQ(state.caption.size(), WindowState::kLongestText);
  for (int i = 0; i < 10'000; ++i) applyLine(state, "@on " + std::to_string(i % 128) + " 64");
  EXPECT_TRUE(state.played.all());
  std::string roll = "@rollnew ";
  for (int i = 0; i < 30'000; ++i) roll += "0.1,0.1,60,60,0;";
  applyLine(state, roll);
  EXPECT_EQ(state.roll.size(), WindowState::kMostRollNotes);
  std::string outputs = "@outputs a|b";
  for (int i = 0; i < 1000; ++i) outputs += "|sink " + std::to_string(i);
  applyLine(state, outputs);
  EXPECT_EQ(state.outputs.size(), WindowState::kMostOutputs);
}

TEST(WindowKeys, KeysAreTheBytesTheEngineReadsInATerminal) {
  EXPECT_EQ(keyBytes(GDK_KEY_space, ' '), " ");
  EXPECT_EQ(keyBytes(GDK_KEY_h, 'h'), "h");
  EXPECT_EQ(keyBytes(GDK_KEY_Return, 0), "\n");
  EXPECT_EQ(keyBytes(GDK_KEY_Delete, 0), "\x7f");
  EXPECT_EQ(keyBytes(GDK_KEY_Left, 0), "\x1b[D");
  EXPECT_EQ(keyBytes(GDK_KEY_Right, 0), "\x1b[C");
  EXPECT_EQ(keyBytes(GDK_KEY_Tab, '\t'), "");
  EXPECT_EQ(keyBytes(GDK_KEY_asciitilde, '~'), "");  // the entry types requests
  EXPECT_EQ(keyBytes(GDK_KEY_eacute, 0xe9), "");
  EXPECT_EQ(typedRequest("what time\nis it"), "~say what time is it\n");
  EXPECT_EQ(outputChoice("voice", "USB Audio\nHeadphones"), "~output voice USB Audio Headphones\n");
  EXPECT_EQ(outputChoice("music", ""), "~output music\n");
}

}  // namespace
}  // namespace orvo::window
