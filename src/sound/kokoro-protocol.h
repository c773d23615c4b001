#pragma once
// The natural voice's server, as the engine talks to it: one request line per
// sentence on its standard input, one answer line per request on its output,
// fields split by TAB; where each rendered sentence is kept; and the voice's
// small settings files. Pure functions; any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

inline constexpr const char* kDefaultKokoroVoice = "bm_george";
inline constexpr double kSlowestKokoroRate = 0.6;
inline constexpr double kFastestKokoroRate = 1.5;

// The speed a sentence is asked for, "%.2f": short sentences a little slower.
std::string kokoroSpeed(double rate, std::string_view text);

std::uint64_t fnv1a64(std::string_view bytes);
// Sixteen hex digits naming a rendering: the cache version, the voice, the
// speed and the spoken form of the text.
std::string kokoroKey(std::string_view voice, std::string_view speed, std::string_view spoken);
// Short sentences are kept in the voice folder's cache; longer ones go to
// the temporary folder, named for this process, and are removed at start.
std::filesystem::path kokoroOutput(const std::filesystem::path& voiceFolder,
                                   const std::filesystem::path& temporary, long pid,
                                   std::string_view voice, std::string_view speed,
                                   std::string_view spoken);
// This process's and earlier runs' long renderings in `temporary`.
bool isKokoroLeftover(const std::filesystem::path& file);

// "7\tbm_george\t1.06\t/path.wav\tHello there.\n": TABs and line breaks of
// the text become spaces, so a request is always one line.
std::string kokoroRequest(long id, std::string_view voice, std::string_view speed,
                          const std::filesystem::path& output, std::string_view text);

struct KokoroLine {
  enum class Kind { ready, failed, reply, junk };
  Kind kind = Kind::junk;
  std::vector<std::string> voices;  // ready
  std::string reason;               // failed
  std::string id;                   // reply
  std::string reply;                // reply: "ok", or why not
};
KokoroLine readKokoroLine(std::string_view line);

// A text as the sentences the voice renders one by one: cut after ".", "?"
// and "!", and a long sentence again before a joining word (" and ",
// " then ", " so ", " which ", " because ").
std::vector<std::string> voiceSentences(std::string_view text);
// When each word begins, in seconds, over a sentence lasting `seconds`: each
// word's share is its letters and one for the space after it.
std::vector<double> wordStarts(const std::vector<std::string>& words, double seconds);

// "voice-speed.txt": a number within 0.6 to 1.5; 1.0 for anything else.
double kokoroRate(const std::optional<std::string>& text);
// "voice-kokoro.txt": the voice chosen, "mac" for the platform voice; the
// default voice when the file is empty or absent.
std::string kokoroChoice(const std::optional<std::string>& text);

}  // namespace orvo
