// A stand-in for the natural voice's server, for the tests: the same line
// protocol, a tone of 60 ms a character for each sentence. Installed as the
// voice environment's "python"; its arguments are "-I", the script and the
// voice folder, where it keeps each request line it read ("requests.txt").
// KOKORO_STAND_IN chooses a misbehaviour: failed, silent, notok, broken,
// split, unknown, exit, noline, once (the first request only). KOKORO_STAND_IN_DELAY: seconds
// before "ready". KOKORO_STAND_IN_EXIT_ON: the server ends at the first request
// whose text holds these words.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "wav-bytes.h"

namespace {

void say(const std::string& text) {
  std::cout << text << std::flush;
}

std::string tone(std::size_t characters) {
  const int rate = 24000;
  const std::size_t count = characters * rate * 60 / 1000;
  std::string data;
  for (std::size_t i = 0; i < count; ++i) {
    const double value = 0.3 * std::sin(2 * M_PI * 220.0 * static_cast<double>(i) / rate);
    orvo::testing::putLittleEndian(
        data, static_cast<std::uint16_t>(static_cast<std::int16_t>(value * 32767)), 2);
  }
  return orvo::testing::wavBytes(1, 1, rate, 16, data);
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    auto tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = std::getenv("KOKORO_STAND_IN") ? std::getenv("KOKORO_STAND_IN") : "";
  const char* delay = std::getenv("KOKORO_STAND_IN_DELAY");
  const char* exitOn = std::getenv("KOKORO_STAND_IN_EXIT_ON");
  const std::string folder = argc >= 4 ? argv[3] : ".";
  if (delay) std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(delay)));
  if (mode == "failed") {
    say("failed\tno model in this folder\n");
  } else if (mode == "split") {
    say("rea");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    say("dy\tbm_george\tbf_emma\n");
  } else if (mode == "noline") {
    say(std::string(200000, 'x'));
    say("\nready\tbm_george\tbf_emma\taf_heart\n");
  } else {
    say("ready\tbm_george\tbf_emma\taf_heart\n");
  }
  std::string line;
  int answered = 0;
  while (std::getline(std::cin, line)) {
    std::ofstream(folder + "/requests.txt", std::ios::app) << line << "\n";
    auto parts = fields(line);
    if (parts.size() < 5) {
      say(parts[0] + "\terror: a request needs five fields\n");
      continue;
    }
    if (mode == "exit") return 3;
    if (exitOn && *exitOn && parts[4].find(exitOn) != std::string::npos) return 4;
    if (mode == "silent" || mode == "failed") continue;
    if (mode == "notok" || (mode == "once" && answered++ > 0)) {
      say(parts[0] + "\terror: out of memory\n");
      continue;
    }
    std::string wav = tone(parts[4].size());
    if (mode == "broken") wav.resize(wav.size() / 2);
    std::ofstream(parts[3], std::ios::binary) << wav;
    if (mode == "unknown") say("9999\tok\n");
    if (mode == "split") {
      say(parts[0] + "\t");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      say("ok\n");
      continue;
    }
    say(parts[0] + "\tok\n");
  }
  return 0;
}
