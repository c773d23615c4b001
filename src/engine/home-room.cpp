#include "engine/home-room.h"

#include "desks/studio-desk.h"
#include "engine/engine.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/logic/logic-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/practice/practice-timers.h"
#include "rooms/reaper/reaper-room.h"
#include "rooms/talk/ai-talk.h"

namespace orvo {

HomeRoom::HomeRoom(Engine& engine, Parts parts) : engine_(engine), parts_(std::move(parts)) {
  auto fixed = [](std::string title) { return [title] { return title; }; };
  items_ = {
      {[this] {
         std::string title = engine_.lessons().currentTitle();
         return "Lesson: " + (title.empty() ? std::string("a song") : title);
       },
       [this] { engine_.lessons().chooseCurrent(); }},
      {fixed("Song menu"), [this] { engine_.menu().openMenu(); }},
      {fixed("Jazz course"), [this] { engine_.jazz().startRemembered(); }},
      {fixed("Composition"), [this] { engine_.command(engine_.keys().compose); }},
      {fixed("Ear training"), [this] { engine_.ear().startEar(); }},
      {fixed("Metronome"), [this] { engine_.metronome().toggle(); }},
      {fixed("Practice timer"), [this] { engine_.timers().toggle(); }},
      {fixed("Ask me anything"), [this] { engine_.aiTalk().startAsk(); }},
      {fixed("REAPER control"), [this] { engine_.reaper().openReaper(); }},
      {[this] { return parts_.studio.name() + " control"; },
       [this] { engine_.logic().openLogic(); },
       [this] { return engine_.studioDesk().logicRunning(); }},
      {fixed("Talk mode"), [this] { engine_.command(engine_.keys().talk); }},
  };
}

std::vector<const HomeRoom::Item*> HomeRoom::offered() {
  std::vector<const Item*> shown;
  for (const auto& item : items_) {
    if (item.shown()) shown.push_back(&item);
  }
  return shown;
}

std::vector<std::string> HomeRoom::titles() {
  std::vector<std::string> result;
  for (const Item* item : offered()) result.push_back(item->title());
  return result;
}

bool HomeRoom::button(int key) {
  const ButtonKeys& keys = engine_.keys();
  const auto items = offered();
  const int count = static_cast<int>(items.size());
  if (index_ >= count) index_ = 0;
  if (key == keys.next || key == keys.back) {
    index_ = ((index_ + (key == keys.next ? 1 : -1)) % count + count) % count;
    engine_.speak(items[static_cast<std::size_t>(index_)]->title() + ".");
    return true;
  }
  if (key == keys.notes) {
    std::string list;
    for (const auto& title : titles()) list += (list.empty() ? "" : ", ") + title;
    engine_.speak("From home you can open: " + list +
                  ". Step through them with the third and fourth keys, and open one with the top "
                  "key.");
    return true;
  }
  if (key == keys.hear) {
    const Item* item = items[static_cast<std::size_t>(index_)];
    index_ = 0;
    item->open();
    return true;
  }
  return false;
}

void HomeRoom::note(int) {
  if (heardPiano_) return;
  heardPiano_ = true;
  engine_.speak("I can hear your piano. Press your top key to start a lesson.");
}

std::string HomeRoom::helpText() {
  return "Home. Keys three and four step through everything I can do, and key one opens it; on "
         "the computer, the arrow keys and space. Counting white keys down from the top, with "
         "the computer key after each. One, or space, starts a lesson; hold it down, or press m, "
         "for the song menu. Five, or t, is talk mode. Seven, or c, is composition mode. Eight, "
         "or h, is this help, and it changes to match what you are doing. The very lowest key, "
         "or s, keeps what you just played, and the white key next to it, or zero, is home, "
         "which leaves any mode. To practise, press e for ear training, o for the metronome, or "
         "i for a five minute timer. J is the jazz course, a asks me anything, and q quits.";
}

}  // namespace orvo
