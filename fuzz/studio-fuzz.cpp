// Any bytes as a studio's snapshot and a heard sentence: reading the snapshot
// and understanding the sentence against it never crash or read out of bounds.
// Input: a snapshot, "\n===\n", then the sentence; without the separator, the
// whole input is the sentence against a small fixed project.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "studio/daw-understand.h"
#include "studio/reaper-snapshot.h"

namespace {

// A studio that never answers: understanding may only read what it was given.
class Silent final : public orvo::DawAdapter {
 public:
  std::string name() override { return "REAPER"; }
  std::optional<orvo::DawState> state() override { return std::nullopt; }
  std::optional<std::string> send(const std::vector<std::string>&, double) override {
    return std::nullopt;
  }
};

const char* kProject =
    "P|stopped|bar 1, beat 1|120.0\n0|Master|0.0|0|0|0|0|0||||0\n"
    "1|Lead Vocals|-3.0|0|0|0|0|1||||4\n2|Vocal Double|-9.0|-30|0|0|0|0||||4\n"
    "3|Bass|-4.5|0|0|1|0|0|VST: ReaComp (Cockos);VST: ReaEQ (Cockos)|1;0|Lead Vocals@-15.0|2\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view snapshot = kProject;
  std::string_view sentence = input;
  if (auto at = input.find("\n===\n"); at != std::string_view::npos) {
    snapshot = input.substr(0, at);
    sentence = input.substr(at + 5);
  }
  auto state = orvo::parseSnapshot(snapshot);
  if (!state) return 0;
  if (state->master.name != "Master") std::abort();
  for (const auto& track : state->tracks) {
    if (track.index < 1 || track.fxOn.size() != track.fx.size() || track.items < 0) std::abort();
  }
  Silent studio;
  orvo::Daw daw(studio);
  (void)orvo::understand(daw, orvo::Heard(std::string(sentence)), *state);
  // The same sentence again, with the assistant's memory of the first.
  (void)orvo::understand(daw, orvo::Heard(std::string(sentence)), *state);
  return 0;
}
