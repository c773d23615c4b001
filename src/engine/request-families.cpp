// The request families: an ordered table of named functions, tried in turn;
// the first that takes a sentence acts and gives the outcome word. Their
// phrases are data (voice/request-words.cpp); the order is the order in
// which requests are understood, so a family placed earlier wins.

#include <algorithm>
#include <tuple>

#include "compose/midi-take.h"
#include "desks/app-desk.h"
#include "desks/live-stage.h"
#include "desks/studio-desk.h"
#include "engine/engine.h"
#include "engine/request-text.h"
#include "engine/requests.h"
#include "lessons/theory-answers.h"
#include "platform/platform-words.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/logic/logic-room.h"
#include "rooms/menu/menu-room.h"
#include "rooms/practice/ear-training.h"
#include "rooms/practice/metronome.h"
#include "rooms/practice/practice-timers.h"
#include "rooms/reaper/reaper-room.h"
#include "rooms/talk/ai-talk.h"
#include "voice/request-words.h"

namespace orvo {

using namespace requesttext;

namespace {

// The platform voice speaks at the rate the player set for it.
const char* kOwnRate =
    "Only my natural voice changes speed here. This voice keeps the speed set in your "
    "computer's speech settings.";

const requests::FamilyWords& words() {
  return requests::familyWords();
}

}  // namespace

std::string Requests::openStudioFirst() {
  return "Open " + std::string(platformWords().studios) + " first, then ask me again.";
}

// One sentence on its way through the families.
struct Requests::Asked {
  const Heard& heard;
  std::string text;  // the whole sentence, a trailing "please" gone
  int depth;
};

struct RequestFamilies {
  using Outcome = std::optional<std::string>;
  using Asked = Requests::Asked;

  static void named(Requests& r, const char* name) { r.trace(std::string("family: ") + name); }
  // A family whose operation exists: traced, done, and its outcome word.
  template <typename Action>
  static Outcome act(Requests& r, const char* name, const char* operation, Action&& action,
                     const char* outcome = "acted") {
    named(r, name);
    r.op(operation);
    action();
    return std::string(outcome);
  }
  // The natural voice's rate a step either way, said once its file is kept.
  static Outcome stepSpeakingRate(Requests& r, int direction, const char* confirmation) {
    bool ownRate = false;
    r.engine_.sayOnceKept("voice-speed.txt", [&](Store::Kept kept) {
      ownRate = !r.parts_.speaker.stepRate(direction, std::move(kept));
      return std::string(ownRate ? kOwnRate : confirmation);
    });
    return std::string(ownRate ? "own rate" : "said");
  }

  static Outcome earsOff(Requests& r, const Asked& a) {
    if (!a.heard.hasAnyOf(words().earsOff)) return std::nullopt;
    named(r, "ears off");
    r.op("ears off");
    r.engine_.ui("ears off");
    return r.say("I've stopped listening. Turn me back on in the window when you want me.",
                 "ears off");
  }

  static Outcome stop(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    // Whole sentences only, so "the band is too quiet" reaches the band.
    if (a.text == "stop the band" && engine.live().liveOn()) {
      return act(r, "stop", "live band off", [&] { engine.live().setLive(false); });
    }
    if (among(a.text, words().stopWhole)) {
      auto outcome = act(
          r, "stop", "stopEverything", [&] { engine.stopEverything(); }, "stopped");
      // A studio playing or recording stops too: nothing the player asked to
      // stop goes on sounding. The stop is answered already, so the studio
      // keeps it or drops it; it never comes back here.
      if (a.text == "stop" && !r.casual() && !r.pastStudio_ && engine.studioDesk().listening()) {
        r.trace("family: studio");
        engine.studioDesk().hear(a.heard, a.depth, StudioDesk::NotTaken::dropped);
      }
      return outcome;
    }
    if (among(a.text, words().metronomeOffWhole)) {
      return act(r, "stop", "metronome off", [&] { engine.metronome().set(std::nullopt); });
    }
    return std::nullopt;
  }

  static Outcome pauseAndResume(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const ButtonKeys keys = engine.buttonKeys();
    if (among(a.text, words().pauseWhole)) {
      return act(r, "pause", "pause", [&] { engine.command(keys.pause); });
    }
    if (!among(a.text, words().resumeWhole)) return std::nullopt;
    named(r, "continue");
    r.op("continue");
    if (engine.isPaused()) {
      engine.command(keys.pause);
      return std::string("acted");
    }
    return r.say("We're not paused. Carry on whenever you like.");
  }

  static Outcome homeAndGoodbye(Requests& r, const Asked& a) {
    if (among(a.text, words().homeWhole)) {
      return act(r, "home", "goHome", [&] { r.engine_.goHome(); });
    }
    if (!among(a.text, words().goodbyeWhole)) return std::nullopt;
    named(r, "goodbye");
    r.op("quit");
    r.engine_.goodbye("asked to say goodbye");
    return std::string("goodbye");
  }

  static Outcome help(Requests& r, const Asked& a) {
    if (!a.heard.hasAnyOf(words().help) && !among(a.text, words().helpWhole)) return std::nullopt;
    named(r, "help");
    r.op("help");
    return r.say(
        "You can say things like: play me something sad. Make it a lullaby. Play my album. Jam "
        "with me. Surprise me. New composition. Today I can teach you songs: say teach me, and "
        "a song's name, or song list. In a lesson, say again, next, back, pause, slower or "
        "faster. Say song menu to choose a song on the piano's keys, or jazz for the jazz course. "
        "Ask me about chords and scales, like what is the relative minor of C major. "
        "Practise with ear training, the metronome at 100, or a timer for 5 minutes. And say "
        "stop whenever you want quiet.");
  }

  // The clock, but never a time signature or a timer; the date.
  static Outcome clockAndDate(Requests& r, const Asked& a) {
    if (a.heard.hasAnyOf(words().clock) && !a.heard.hasAnyOf(words().notTheClock)) {
      named(r, "time");
      return r.say("It is " + clockText(r.clock_(), "%I:%M %p") + ".");
    }
    if (!a.heard.hasAnyOf(words().date)) return std::nullopt;
    named(r, "date");
    // "Monday, January 5": the day of the month as it is said, without a leading zero.
    const std::tm today = r.clock_();
    return r.say("It is " + clockText(today, "%A, %B ") + std::to_string(today.tm_mday) + ".");
  }

  // Which sound outputs there are: asked of the sound server in the activity.
  static Outcome outputs(Requests& r, const Asked& a) {
    if (a.heard.hasAnyOf(words().outputs)) {
      return act(r, "outputs", "list outputs", [&] { r.engine_.listOutputs(); });
    }
    if (a.heard.hasAnyOf(words().outputsTogether)) {
      return act(r, "outputs", "outputs together", [&] { r.engine_.outputsTogether(); });
    }
    if (a.heard.hasAnyOf(words().keepMusicUp)) {
      return act(r, "outputs", "music kept up", [&] { r.engine_.duckMusic(false); });
    }
    if (a.heard.hasAnyOf(words().duckMusic)) {
      return act(r, "outputs", "music ducked", [&] { r.engine_.duckMusic(true); });
    }
    // The music first: "put the music on" would otherwise read as "speak on".
    using For = Engine::OutputFor;
    for (auto [openers, what, op] :
         {std::tuple{&words().musicOutputOpeners, For::music, "music output"},
          std::tuple{&words().voiceOutputOpeners, For::voice, "voice output"}}) {
      for (std::string_view opener : *openers) {
        const auto at = a.text.find(opener);
        if (at == std::string::npos) continue;
        const std::string asked = a.text.substr(at + opener.size());
        if (asked.find_first_not_of(' ') == std::string::npos) continue;
        return act(r, "outputs", op, [&] { r.engine_.chooseOutput(what, asked); });
      }
    }
    return std::nullopt;
  }

  static Outcome studioControl(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    if (among(a.text, words().reaperControlWhole)) {
      return act(r, "studio", "openReaper", [&] { engine.reaper().openReaper(); });
    }
    if (among(a.text, words().logicControlWhole)) {
      return act(r, "studio", "openLogic", [&] { engine.logic().openLogic(); });
    }
    if (!r.casual() && a.heard.hasAnyOf(words().newProject) && !a.heard.has("composition")) {
      named(r, "studio");
      r.op("newProject");
      return r.newProject();
    }
    return std::nullopt;
  }

  // A studio in use hears the sentences addressed to us first (a remark not
  // meant for us never changes a project); what it does not take comes back
  // past it. A sentence for another app ("in logic, new audio track") is that app's.
  static Outcome studio(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    StudioDesk& studio = engine.studioDesk();
    if (!r.pastStudio_ && !r.casual() && studio.listening() &&
        !engine.appDesk().namesOtherApp(a.heard)) {
      named(r, "studio");
      return studio.hear(a.heard, a.depth);
    }
    // Logic Pro alone: its quick spoken commands; any other sentence goes on.
    if (!r.casual() && studio.logicRunning()) {
      if (auto outcome = engine.logic().logicHear(a.heard)) {
        named(r, "studio");
        r.op(*outcome);
        return *outcome;
      }
    }
    return std::nullopt;
  }

  // Other apps: their windows, buttons and menus, and a request for an app
  // named in the sentence; an app named but not open; a studio not open.
  static Outcome apps(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    AppDesk& apps = engine.appDesk();
    StudioDesk& studio = engine.studioDesk();
    if (auto outcome = apps.axHear(a.heard, [&] { named(r, "apps"); })) return outcome;
    if (auto closed = apps.installedNamedIn(a.heard); closed && !r.casual()) {
      named(r, "apps");
      return r.say(*closed + " isn't open. Open it first, then ask me again.", "no app");
    }
    if (studio.inUse() && !studio.logicRunning() && a.heard.hasAny({"in logic", "in logic pro"})) {
      named(r, "studio");
      return r.say("Logic isn't open, so I can't do that there.", "no daw");
    }
    if (!studio.inUse() && a.heard.hasAnyOf(words().namesAStudio)) {
      named(r, "studio");
      return r.say(openStudioFirst(), "no daw");
    }
    for (std::string_view app : words().otherApps) {
      if (a.heard.has("in " + std::string(app)) || a.heard.has("the " + std::string(app))) {
        named(r, "apps");
        return r.notYet("app control");
      }
    }
    return std::nullopt;
  }

  static std::string openStudioFirst() { return Requests::openStudioFirst(); }

  // The captions and the window: a sentence about the text, the words, the
  // letters, the captions, the window or the screen asks for them, never for
  // a restyle of the music ("make the text bigger").
  static Outcome screen(Requests& r, const Asked& a) {
    const Heard& heard = a.heard;
    const bool text = aboutText(heard);
    const bool window = heard.hasAnyOf(words().screenWindow);
    if (!text && !window) return std::nullopt;
    const bool bigger = heard.hasAnyOf(words().bigger);
    const bool smaller = heard.hasAnyOf(words().smaller);
    auto shown = [&](const char* line, const char* sentence) {
      r.trace(std::string("family: ") + (text ? "captions" : "window"));
      r.engine_.ui(line);
      return r.say(sentence);
    };
    if (text && (bigger || smaller)) {
      return bigger ? shown("access large 1", "Large captions on.")
                    : shown("access large 0", "Captions back to normal.");
    }
    if (!window) return std::nullopt;
    if (heard.hasAnyOf(words().wholeScreen)) {
      return heard.hasAnyOf(words().leaveWholeScreen)
                 ? shown("window normal", "The window is back to its usual size.")
                 : shown("window full", "The window fills the screen.");
    }
    if (bigger) return shown("window bigger", "The window is bigger.");
    if (smaller) return shown("window smaller", "The window is smaller.");
    return std::nullopt;
  }

  // Music the player asks for: a joke, a surprise, the album, a jam, a restyle, a gift.
  static Outcome music(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    Gifts& gifts = engine.compose().gifts();
    if (heard.has("joke")) return act(r, "music", "joke", [&] { gifts.joke(); });
    if (heard.has("surprise")) return act(r, "music", "surprise", [&] { gifts.surprise(); });
    if (heard.hasAnyOf(words().album)) {
      return act(r, "music", "playAlbum", [&] { gifts.playAlbum(); });
    }
    if (heard.hasAnyOf(words().jam)) {
      return act(r, "music", "setJam", [&] { engine.live().setJam(true); });
    }
    if ((heard.hasAnyOf(words().restyles) || (heard.starts("make it") && heard.has("as a"))) &&
        !aboutTheScreen(heard)) {
      std::string style;
      if (heard.has("lullaby")) style = "lullaby";
      if (heard.hasAnyOf(words().restyleVideoGame)) style = "8-bit";
      if (heard.hasAnyOf(words().restyleEpic)) style = "epic";
      if (style.empty()) {
        named(r, "music");
        r.op("restyle (no such style)");
        return r.say("I can make it a lullaby, a video game or a film score.");
      }
      return act(r, "music", "restyle", [&] { gifts.restyle(style); });
    }
    if (heard.hasAnyOf(words().gift)) {
      auto mood = gifts.mood(heard);
      return act(r, "music", mood ? "performGift" : "performGift (any mood)",
                 [&] { gifts.performGift(mood); });
    }
    return std::nullopt;
  }

  // A song by name, to learn or to hear.
  static Outcome songByName(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    LessonRoom& lessons = engine.lessons();
    for (std::string_view said : words().songVerbs) {
      const std::string verb(said);
      if (!a.heard.starts(verb)) continue;
      std::string name = a.heard.after(verb);
      if (name.empty()) break;
      auto found = lessons.songNamed(Heard(name));
      const bool teach = verb.find("teach") != std::string::npos ||
                         verb.find("learn") != std::string::npos ||
                         verb.find("lesson") != std::string::npos;
      if (!found) {
        if (!teach) break;  // "play it back", "play louder": other families
        named(r, "lesson by name");
        if (auto reading = lessons.stillReading()) return r.say(*reading, "still reading songs");
        return r.say(
            "I don't have " + name + " in the library yet. Say song menu to hear what I do have.",
            "no song");
      }
      named(r, "lesson by name");
      if (!teach) {
        r.op("perform");
        lessons.withSong(*found, [&engine](const Song& song) {
          engine.compose().gifts().perform(takeFromSong(song), song.name);
        });
        return std::string("acted");
      }
      r.op("chooseSong");
      lessons.chooseSong(*found);
      return std::string("acted");
    }
    return std::nullopt;
  }

  // The hands a lesson teaches, high contrast, and a player who cannot hear or see.
  static Outcome access(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    if (heard.hasAnyOf(words().hands)) {
      return act(r, "hands", "setHands", [&] { engine.lessons().setHands(heard); });
    }
    if (heard.has("contrast")) {
      named(r, "contrast");
      const bool off = heard.has("off") || heard.has("less") || heard.has("normal");
      engine.ui(off ? "access contrast 0" : "access contrast 1");
      return r.say(off ? "High contrast off." : "High contrast on.");
    }
    if (heard.hasAnyOf(words().cantHear) && !heard.hasAnyOf(words().notTheHearing)) {
      named(r, "hearing");
      engine.ui("access large 1");
      return r.say(
          "I've made the captions large. Every sentence I say is also written on the screen, and "
          "the screen flashes green for a right note and red for a wrong one.");
    }
    if (heard.hasAnyOf(words().cantSee)) {
      named(r, "sight");
      return r.say(
          "Everything here works by sound and touch. I say everything I do, and the top white "
          "keys of your piano are the buttons. Press the top key's neighbour to hear what you "
          "can do.");
    }
    return std::nullopt;
  }

  static Outcome timerAndMetronome(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    if (heard.hasAnyOf(words().timer)) {
      auto seconds = timerSeconds(heard);
      if (!seconds) {
        named(r, "timer");
        return r.say("For how many minutes?", "asked");
      }
      return act(r, "timer", "timer", [&] { engine.timers().set(*seconds, reminderLabel(heard)); });
    }
    if (!heard.has("metronome")) return std::nullopt;
    if (heard.hasAny({"off", "stop"})) {
      return act(r, "metronome", "metronome off", [&] { engine.metronome().set(std::nullopt); });
    }
    int bpm = numberSaid(heard).value_or(engine.metronome().bpm());
    // "too slow" asks for it faster, and so does "speed up"; "slow it down" slower.
    if (heard.hasAnyOf(words().metronomeFaster)) {
      bpm = std::min(Metronome::kFastest, bpm + 10);
    } else if (heard.hasAnyOf(words().metronomeSlower)) {
      bpm = std::max(Metronome::kSlowest, bpm - 10);
    }
    return act(r, "metronome", "metronome", [&] { engine.metronome().set(bpm); });
  }

  static Outcome band(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    if (heard.hasAnyOf(words().bandHow)) {
      named(r, "band");
      return r.say(
          "There are two ways to get the band. Say new composition, play your idea, then say "
          "play it with the band. Or say live band, and it follows you while you play.");
    }
    for (auto [list, style] :
         {std::pair{&words().classicBand, "classic"}, std::pair{&words().fullBand, "full"},
          std::pair{&words().smallBand, "simple"}}) {
      if (!heard.hasAnyOf(*list)) continue;
      const std::string operation = std::string("setBandStyle ") + style;
      return act(r, "band style", operation.c_str(), [&] { engine.compose().setBandStyle(style); });
    }
    if (among(a.text, words().bandLouderWhole)) {
      return act(r, "band", "band louder", [&] { engine.stepBandLevel(+1); });
    }
    if (among(a.text, words().bandQuieterWhole)) {
      return act(r, "band", "band quieter", [&] { engine.stepBandLevel(-1); });
    }
    return std::nullopt;
  }

  // The voice: louder, quieter, another one, slower, faster.
  static Outcome voice(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    if (among(a.text, words().voiceLouderWhole)) {
      return act(r, "voice", "voice louder", [&] { engine.changeVoiceVolume(0.15f); });
    }
    if (among(a.text, words().voiceQuieterWhole)) {
      return act(r, "voice", "voice quieter", [&] { engine.changeVoiceVolume(-0.15f); });
    }
    if (heard.hasAnyOf(words().otherVoice)) {
      named(r, "voice");
      r.op("next voice");
      engine.sayOnceKept("voice", [&r](Store::Kept kept) {
        std::string name = r.parts_.speaker.nextVoice(std::move(kept));
        if (name == SpeechOutput::kVoicesLoading) return name;
        if (name == SpeechOutput::kNoOtherVoices)
          return std::string("I could not switch to that voice.");
        return "This is " + name + ". I will use this voice from now on.";
      });
      return std::string("said");
    }
    // In a lesson, "too fast" is about the music (the loose rules).
    const bool inLesson = engine.currentMode() == Mode::teach;
    if ((heard.has("too fast") && !inLesson) || heard.hasAnyOf(words().talkSlower)) {
      named(r, "speaking rate");
      r.op("slower voice");
      return stepSpeakingRate(r, -1, "Slowing it down.");
    }
    if ((heard.has("speed up") && !inLesson) || heard.hasAnyOf(words().talkFaster)) {
      named(r, "speaking rate");
      r.op("faster voice");
      return stepSpeakingRate(r, +1, "Picking it up.");
    }
    return std::nullopt;
  }

  static Outcome liveBand(Requests& r, const Asked& a) {
    if (!a.heard.hasAnyOf(words().liveBand)) return std::nullopt;
    const bool off = a.heard.hasAny({"off", "stop"});
    return act(r, "live band", off ? "live band off" : "live band on",
               [&] { r.engine_.live().setLive(!off); });
  }

  static Outcome composition(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    const ButtonKeys keys = engine.buttonKeys();
    if (heard.hasAnyOf(words().restart)) {
      if (engine.currentMode() != Mode::compose) {
        named(r, "composition");
        r.op("restartTake (no take)");
        return r.say(
            "There is no take to restart. Press the seventh key from the top for composition "
            "mode.");
      }
      return act(r, "composition", "restartTake", [&] { engine.compose().restartTake(); });
    }
    if (heard.hasAnyOf(words().newComposition)) {
      return act(r, "composition", "compose", [&] { engine.command(keys.compose); });
    }
    if (heard.hasAnyOf(words().composingIdea)) {
      // The idea is played in composition mode, so the take that follows is a composition.
      return act(r, "composition", "learnIdea", [&] {
        if (engine.currentMode() != Mode::compose) {
          engine.compose().autosaveTake();
          engine.setMode(Mode::compose);
        }
        engine.jazz().learnIdea(engine.memory().composeIdea);
      });
    }
    if (heard.hasAnyOf(words().keep)) {
      return act(r, "composition", "keepLast", [&] { engine.compose().keepLast(); });
    }
    if (auto name = pieceName(heard)) {
      if (name->empty()) {
        named(r, "composition");
        r.op("saveNamed (no name)");
        return r.say("What should I call it? Say save that as, and the name.");
      }
      return act(r, "composition", "saveNamed",
                 [&] { engine.compose().naming().saveNamed(titleCase(*name)); });
    }
    if (heard.hasAnyOf(words().save)) {
      return act(r, "composition", "keepLast", [&] { engine.compose().keepLast(); });
    }
    // In a lesson, hearing it back is the part again.
    if (heard.hasAnyOf(words().playBack)) {
      if (engine.currentMode() == Mode::teach) {
        return act(r, "practice", "command hear", [&] { engine.command(keys.hear); });
      }
      return act(r, "composition", "playBack", [&] { engine.compose().playBack(); });
    }
    if (heard.hasAnyOf(words().variation)) {
      return act(r, "composition", "playVariation", [&] { engine.compose().playNextVariation(); });
    }
    return std::nullopt;
  }

  static Outcome describe(Requests& r, const Asked& a) {
    if (a.heard.hasAnyOf(words().holding)) {
      named(r, "describe");
      r.op("heldChord");
      const auto held = r.engine_.compose().history().held();
      std::vector<int> keys;
      for (int key = 0; key < 128; ++key) {
        if (held.test(static_cast<std::size_t>(key))) keys.push_back(key);
      }
      return r.say(music::heldChordAnswer(keys));
    }
    if (!a.heard.hasAnyOf(words().describe)) return std::nullopt;
    return act(r, "describe", "describeLast", [&] { r.engine_.compose().describeLast(); });
  }

  static Outcome studioWithout(Requests& r, const Asked& a) {
    if (r.engine_.studioDesk().inUse()) return std::nullopt;
    if (!among(a.text, words().studioWordsWhole) && !a.heard.hasAnyOf(words().studioWords))
      return std::nullopt;
    named(r, "studio");
    return r.say(openStudioFirst(), "no daw");
  }

  // Ear training, the jazz course, talk mode, the song menu and the song list.
  static Outcome practice(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    if (heard.hasAnyOf(words().earTraining)) {
      return act(r, "practice", "ear training", [&] { engine.ear().startEar(); });
    }
    if (among(a.text, words().jazzWhole)) {
      return act(r, "practice", "startJazz", [&] { engine.jazz().startRemembered(); });
    }
    if (heard.starts("jazz lesson") && heard.number()) {
      const int lesson = *heard.number();
      return act(r, "practice", "startJazz", [&] { engine.jazz().startJazz(lesson - 1); });
    }
    if (among(a.text, words().talkWhole)) {
      return act(r, "practice", "talk mode", [&] { engine.command(engine.buttonKeys().talk); });
    }
    if (heard.has("song menu")) {
      return act(r, "practice", "openMenu", [&] { engine.menu().openMenu(); });
    }
    if (heard.hasAnyOf(words().songList)) {
      return act(r, "practice", "listSongs", [&] { engine.lessons().listSongs(); });
    }
    return std::nullopt;
  }

  // The lesson's buttons by voice: notes, again, next, back, the tempo, dropping a song.
  static Outcome lesson(Requests& r, const Asked& a) {
    Engine& engine = r.engine_;
    const Heard& heard = a.heard;
    const ButtonKeys keys = engine.buttonKeys();
    LessonRoom& lessons = engine.lessons();
    // "What notes are in a G seven chord" is a theory question, not the lesson's notes.
    if (heard.hasAnyOf(words().notes) && !heard.hasAnyOf(words().notTheNotes)) {
      return act(r, "practice", "command notes", [&] { engine.command(keys.notes); });
    }
    struct Button {
      const requests::Words* phrases;
      const char* operation;
      int key;
    };
    for (const Button& button : {Button{&words().againWhole, "command hear", keys.hear},
                                 Button{&words().nextWhole, "command next", keys.next},
                                 Button{&words().backWhole, "command back", keys.back}}) {
      if (among(a.text, *button.phrases)) {
        return act(r, "practice", button.operation, [&] { engine.command(button.key); });
      }
    }
    if (among(a.text, words().slowerWhole)) {
      return act(r, "practice", "tempo slower", [&] { lessons.changeTempo(-1); });
    }
    if (among(a.text, words().fasterWhole)) {
      return act(r, "practice", "tempo faster", [&] { lessons.changeTempo(+1); });
    }
    if (heard.hasAnyOf(words().dropSong)) {
      return act(r, "practice", "dropSong", [&] { lessons.dropSong(); });
    }
    if (among(a.text, words().lessonWhole)) {
      return act(r, "lesson by name", "chooseSong", [&] { lessons.chooseCurrent(); });
    }
    return std::nullopt;
  }
};

const std::vector<Requests::NamedFamily>& Requests::families() {
  // In this order: the first family that takes a sentence acts.
  static const std::vector<NamedFamily> table = {
      {"ears off", &RequestFamilies::earsOff},
      {"stop", &RequestFamilies::stop},
      {"pause and resume", &RequestFamilies::pauseAndResume},
      {"home and goodbye", &RequestFamilies::homeAndGoodbye},
      {"help", &RequestFamilies::help},
      {"clock and date", &RequestFamilies::clockAndDate},
      {"outputs", &RequestFamilies::outputs},
      {"studio control", &RequestFamilies::studioControl},
      {"studio", &RequestFamilies::studio},
      {"apps", &RequestFamilies::apps},
      {"captions and window", &RequestFamilies::screen},
      {"music", &RequestFamilies::music},
      {"song by name", &RequestFamilies::songByName},
      {"access", &RequestFamilies::access},
      {"timer and metronome", &RequestFamilies::timerAndMetronome},
      {"band", &RequestFamilies::band},
      {"voice", &RequestFamilies::voice},
      {"live band", &RequestFamilies::liveBand},
      {"composition", &RequestFamilies::composition},
      {"describe", &RequestFamilies::describe},
      {"studio without one", &RequestFamilies::studioWithout},
      {"practice", &RequestFamilies::practice},
      {"lesson", &RequestFamilies::lesson},
  };
  return table;
}

std::optional<std::string> Requests::family(const Heard& heard, int depth) {
  const Asked asked{heard, bare(heard), depth};
  for (const NamedFamily& each : families()) {
    if (auto outcome = each.hear(*this, asked)) return outcome;
  }
  return std::nullopt;
}

}  // namespace orvo
