// The composing ideas, demonstrated in composition mode: the chords in the
// left hand with the bass under them, the melody where the idea has one.

#include <algorithm>

#include "compose/jazz-backing.h"
#include "engine/room-services.h"
#include "lessons/jazz-tune.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"

namespace orvo {
namespace {

constexpr double kIdeaBpm = 90;

}  // namespace

void JazzRoom::learnIdea(int index) {
  std::lock_guard guard(engine_.lock);
  const auto& ideas = composeIdeas();
  const int count = static_cast<int>(ideas.size());
  const int at = (index % count + count) % count;
  const ComposeIdea& idea = ideas[static_cast<std::size_t>(at)];
  engine_.memory().composeIdea = (at + 1) % count;
  engine_.saveMemory();

  const double beat = 60.0 / kIdeaBpm;
  std::vector<Ev> events;
  double bar = 0;
  for (const std::string& name : idea.chords) {
    if (auto notes = ideaChord(name)) {
      addNote(events, bar * beat, jazzband::kBass, notes->front(), 80, 3.8 * beat);
      for (std::size_t i = 1; i < notes->size(); ++i)
        addNote(events, bar * beat, 0, (*notes)[i], 62, 3.8 * beat);
    }
    bar += 4;
  }
  for (const SNote& note : jazzTune(idea.melody, 0, 84))
    addNote(events, note.beat * beat, 0, note.pitch, note.vel, note.dur * 0.9 * beat);
  sortByTime(events);

  const std::string text = idea.title + ". " + idea.talk;
  const std::string invitation = engine_.pick(ideaInvitations());
  engine_.logLine("composing idea " + std::to_string(at + 1) + ": " + idea.title);
  engine_.run([this, text, invitation, events = std::move(events)](int gen) {
    engine_.say(text, gen);
    if (!engine_.alive(gen)) return;
    engine_.compose().playBand(events, gen);
    engine_.say(invitation, gen);
  });
}

}  // namespace orvo
