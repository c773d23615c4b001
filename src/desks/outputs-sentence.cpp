#include "desks/outputs-sentence.h"

#include "apps/spoken-list.h"

namespace orvo {

std::string outputsSentence(const std::optional<std::vector<SoundOutput>>& outputs) {
  if (!outputs) return "I can't reach the sound server, so I can't tell which outputs there are.";
  if (outputs->empty()) return "The sound server has no outputs at the moment.";
  std::vector<std::string> names;
  // The server's descriptions are someone else's text: made fit to speak.
  for (const SoundOutput& output : *outputs) names.push_back(spokenText(output.description));
  if (names.size() == 1) return "There is one output: " + names.front() + ".";
  if (names.size() == 2) return "There are 2 outputs: " + names[0] + " and " + names[1] + ".";
  return "There are " + std::to_string(names.size()) + " outputs: " + spokenList(names, 12) + ".";
}

}  // namespace orvo
