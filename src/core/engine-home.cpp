// Home, pause, stop and help.

#include "core/engine.h"

namespace orvo {

void Engine::goHome() {
  std::string text;
  {
    std::lock_guard guard(lock);
    autosaveTake();
    setMode(Mode::idle);
    earTarget_.reset();
    jamOn_ = false;
    ui("now ");
    homeIdx_ = 0;
    if (paused_) setPaused(false);
    waiting_ = false;
    if (naming_) {
      naming_ = false;
      ui("typing 0");
    }
    roundOn_ = false;
    jazzIdx_.reset();
    review_.reset();
    drill_.reset();
    ++accGen_;
    ++idleToken_;
    silenceNotes();
    ++gen_;
    stopSpeech();
    text = pick({"Back home.", "Home again.", "Home, all quiet."}) +
           intro("home2",
                 " The third and fourth keys step through everything I can do: lessons, the song "
                 "menu, jazz, composition, ask me anything, and Logic control. The top key opens "
                 "the one you heard.");
  }
  speak(text);
}

void Engine::goHomeQuietly() {
  std::lock_guard guard(lock);
  autosaveTake();
  setMode(Mode::idle);
  if (paused_) setPaused(false);
  waiting_ = false;
  jazzIdx_.reset();
  review_.reset();
  drill_.reset();
  ++accGen_;
  silenceNotes();
}

void Engine::stopEverything() {
  std::lock_guard guard(lock);
  bool quietHome = mode_ == Mode::idle && metroBPM_ == 0 && !jamOn_ && !roundOn_;
  if (quietHome && now() - lastSpokenAt_ > 2.0 && !parts_.opt.fast &&
      parts_.musicPlayer.playing()) {
    silenceNotes();
    spotifyPausedAt_ = now();
    run([this](int gen) {
      bool stopped = parts_.musicPlayer.pause();
      say(stopped ? "Spotify is paused." : "I asked Spotify to stop, but it's still playing.", gen);
    });
    return;
  }
  ++metroToken_;
  earTarget_.reset();
  jamOn_ = false;
  roundOn_ = false;
  ++accGen_;
  silenceNotes();
  if (mode_ == Mode::teach && !paused_) return togglePause();
  speak(pick({"Okay, stopped.", "All quiet now.", "Stopping there."}));
}

void Engine::togglePause() {
  std::lock_guard guard(lock);
  if (!parts_.opt.fast && now() - lastPauseToggle_ < 0.35) return;
  lastPauseToggle_ = now();
  roundOn_ = false;
  silenceNotes();
  ++accGen_;
  if (mode_ == Mode::teach && lesson_) {
    if (!paused_) {
      setPaused(true);
      resumeWaiting_ = waiting_;
      waiting_ = false;
      speak(pick({"Paused for now.", "Okay, paused."}));
      return;
    }
    setPaused(false);
    if (resumeWaiting_ && stepIdx_ < curSteps_.size()) {
      std::string text = stepIdx_ == 0
                             ? "Carrying on, from the first note."
                             : "Carrying on. You are on note " + std::to_string(stepIdx_ + 1) +
                                   " of " + std::to_string(curSteps_.size()) + ".";
      run([this, text](int gen) {
        say(text, gen);
        std::lock_guard inner(lock);
        if (gen == gen_) waiting_ = true;
      });
      return;
    }
    return present("Carrying on. ", true);
  }
  // Anywhere else this is the stop key; a quick second press is for the live band.
  if (!parts_.opt.fast && now() - lastStopPress_ < 0.9) {
    notYet("the live band");
    return;
  }
  lastStopPress_ = now();
  speak(pick({"Okay, stopped.", "All quiet now.", "Stopping there."}));
}

void Engine::help() {
  std::string text = helpText() + " On the computer, slash opens the full list on screen.";
  run([this, text](int gen) {
    say(text, gen);
    resumeAfterHelp(gen);
  });
}

std::string Engine::helpText() {
  std::lock_guard guard(lock);
  switch (mode_) {
    case Mode::idle:
      return "Home. Keys three and four step through everything I can do, and key one opens it. "
             "Counting white keys down from the top. The very lowest key of the piano keeps what "
             "you just played, and the white key next to it is home, which leaves any mode. One "
             "starts a lesson. Hold it down for the song menu. Five is talk mode. Seven is "
             "composition mode. Eight is this help, and it changes to match what you are doing.";
    case Mode::menu:
      return "Song menu. Five octaves, starting two octaves below middle C. The lowest is easy "
             "and each octave up is harder. Press a key to hear a song, and press it again to "
             "learn it. The octave below the easy songs is the jazz course. Counting white keys "
             "down from the top. One starts the song you just heard. Two counts the songs. Three "
             "and four step through the songs one at a time. Eight, this help.";
    case Mode::teach:
      return "Lesson. Counting white keys down from the top. One, hear the part again. Two, say "
             "the notes. Three, skip ahead. Four, go back. Five, talk mode. Six, pause. Seven, "
             "new composition. Eight, this help.";
    case Mode::compose:
      return "Composition mode. Just play, then use the buttons. Counting white keys down from "
             "the top. One, play it back as a band. One twice quickly, name the piece by typing. "
             "Two, say what you wrote. Two twice quickly, ask the AI what it thinks. Three, next "
             "variation. Four, save. Five, learn a new composing idea. Six, stop the sound. "
             "Seven, start a new composition. Eight, this help. The second lowest white key on "
             "the piano is home: it leaves this mode.";
    case Mode::reaper:
      return "REAPER control. Counting white keys down from the top. Three and four step through "
             "the list. One chooses the item you heard. Two goes back a level. Start at "
             "Transport, Tracks, or New track. The second lowest white key is home.";
    case Mode::talk:
      return "Talk mode. Middle C, D, E, F and G each say a sentence. Counting white keys down "
             "from the top. One starts a lesson. Five leaves talk mode. Seven is composition "
             "mode. Eight, this help.";
    case Mode::jazz:
      return "Jazz mode. Counting white keys down from the top. One, play with the band again. "
             "Two, hear the lesson's idea again. Three, next lesson. Four, previous lesson. Six, "
             "stop the band. Seven, new composition. Eight, this help.";
    case Mode::logic:
      return "Logic control. Counting white keys down from the top. Three and four step through "
             "the commands. One does the command you heard. Two goes back a level. The last item "
             "in the list opens every menu in Logic. The second lowest white key is home.";
  }
  return "";
}

void Engine::resumeAfterHelp(int gen) {
  std::lock_guard guard(lock);
  if (gen != gen_ || mode_ != Mode::teach || paused_ || !lesson_) return;
  if (curSteps_.empty() || waiting_ || stepIdx_ >= curSteps_.size()) return;
  waiting_ = true;
}

}  // namespace orvo
