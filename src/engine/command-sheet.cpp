#include "engine/command-sheet.h"

#include <utility>
#include <vector>

#include "engine/engine.h"
#include "platform/show-file.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace orvo {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string table(const std::string& caption, const std::vector<std::string>& headers,
                  const Rows& rows) {
  std::string html = "<table>\n<caption>" + escapeMarkup(caption) + "</caption>\n<thead><tr>";
  for (const auto& header : headers) html += "<th scope=\"col\">" + escapeMarkup(header) + "</th>";
  html += "</tr></thead>\n<tbody>\n";
  for (const auto& row : rows) {
    html += "<tr><th scope=\"row\">" + escapeMarkup(row[0]) + "</th>";
    for (std::size_t i = 1; i < row.size(); ++i) html += "<td>" + escapeMarkup(row[i]) + "</td>";
    html += "</tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

}  // namespace

std::string commandSheetHtml() {
  const Rows buttons = {
      {"1", "Start the lesson, or hear the part again. Hold it for the song menu",
       "Play it back as a band. Twice quickly: type a name for it"},
      {"2", "Say the notes of the part", "Say what you wrote"},
      {"3", "Skip ahead (past the end: next song)", "Play the next variation"},
      {"4", "Go back (before the start: previous song)", "Save it as a MIDI file"},
      {"5", "Talk mode on or off", "Learn: a new composing idea, played for you"},
      {"6", "Pause, and carry on", "Stop the sound"},
      {"7", "New composition, from anywhere",
       "New composition. Twice quickly: leave composition mode"},
      {"8", "Help: says these buttons aloud", "Help: says these buttons aloud"},
  };
  const Rows keys = {
      {"Space", "Start the lesson, or hear the part again"},
      {"N", "Say the notes"},
      {"Right arrow", "Skip ahead"},
      {"Left arrow", "Go back"},
      {"T", "Talk mode on or off"},
      {"Return", "Pause, and carry on"},
      {"C", "New composition. Twice quickly: leave composition mode"},
      {"H", "Spoken help"},
      {"Slash", "Open the large-print list of commands"},
      {"0 (zero)", "Home: leave any mode"},
      {"A", "Ask the AI anything, by typing"},
      {"G", "Logic control, while Logic is open"},
      {"R", "REAPER control"},
      {"M", "Song menu"},
      {"J", "Jazz course, at the lesson you are on"},
      {"L", "List the songs"},
      {"E", "Ear training"},
      {"O", "Metronome on or off"},
      {"I", "Practice timer of five minutes, or the timers off"},
      {"Delete", "In composition: start the take again"},
      {"1 to 9", "Pick one of the first nine songs"},
      {"Minus, Equals", "Slower or faster demo"},
      {"Left and right square bracket", "Band quieter or louder"},
      {"V", "Change the voice"},
      {"Comma, Full stop", "Voice quieter or louder"},
      {"S", "Keep what you just played (same as the lowest piano key)"},
      {"P", "Also play demos through the piano's own speakers"},
      {"Shift and K", "Set the top key again"},
      {"Q", "Quit"},
  };
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>Orvo commands</title>\n<style>\n"
         "body { background: #000; color: #fff; font-family: sans-serif; font-size: 28px;"
         " line-height: 1.5; margin: 1em; }\n"
         "h1 { font-size: 48px; } caption { font-size: 36px; font-weight: bold; text-align: left;"
         " padding: 0.5em 0; color: #ff0; }\n"
         "table { border-collapse: collapse; margin-bottom: 2em; width: 100%; }\n"
         "th, td { border: 3px solid #fff; padding: 0.4em 0.6em; text-align: left;"
         " vertical-align: top; }\n"
         "thead th { background: #ff0; color: #000; }\n"
         "tbody th { color: #ff0; white-space: nowrap; }\n"
         "</style>\n</head>\n<body>\n<main>\n<h1>Orvo commands</h1>\n"
         "<p>The piano's eight highest white keys are buttons, counted down from the top. The "
         "lowest key keeps what you just played, and the white key next to it is home.</p>\n" +
         table("The piano's top keys", {"Key from the top", "In a lesson", "In composition"},
               buttons) +
         table("The computer keyboard", {"Key", "What it does"}, keys) +
         "</main>\n</body>\n</html>\n";
}

void Engine::writeCommandSheet() {
  parts_.store.write(commandSheetFile, commandSheetHtml());
}

void Engine::openCommandSheet() {
  std::filesystem::path sheet = baseDir() / commandSheetFile;
  run([this, sheet](int gen) {
    if (!std::filesystem::exists(sheet)) {
      writeCommandSheet();
      parts_.store.flush(5.0);
    }
    const bool opened = showOnDesktop(sheet);
    say(opened ? "The list of commands is open on the screen, in large print."
               : "The list of commands is in the file " + sheet.string() + ".",
        gen);
  });
}

}  // namespace orvo
