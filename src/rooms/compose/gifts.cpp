#include "rooms/compose/gifts.h"

#include <sys/stat.h>

#include <algorithm>

#include "compose/analysis.h"
#include "compose/band.h"
#include "compose/invent.h"
#include "compose/midi-take.h"
#include "compose/roll-reader.h"
#include "compose/take.h"
#include "compose/when-text.h"
#include "engine/room-services.h"
#include "platform/files.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/compose/piano-roll.h"

namespace orvo {

namespace {

// The words that name a mood beyond its own list; none yet.
const std::vector<std::string>& extraMoodWords(const std::string&) {
  static const std::vector<std::string> none;
  return none;
}

}  // namespace

const std::vector<std::string>& Gifts::jokes() {
  static const std::vector<std::string> list = {
      "Why did the pianist keep banging his head against the keys? He was playing by ear.",
      "What do you get when you drop a piano down a mine shaft? A flat minor.",
      "Why couldn't the string quartet find their composer? He was Haydn.",
      "What is Beethoven's favourite fruit? Ba na na na.",
      "Why was the piano locked out of its house? It lost its keys. All eighty eight of them.",
      "What kind of music are balloons afraid of? Pop.",
      "Middle C, E flat and G walk into a bar. The barman says, sorry, no minors.",
      "How do you fix a broken tuba? With a tuba glue.",
  };
  return list;
}

std::optional<Mood> Gifts::mood(const Heard& heard) {
  return moodIn(heard.words, &extraMoodWords);
}

void Gifts::playWithBand(int gen, const std::vector<RNote>& notes, const std::vector<RNote>& band) {
  engine_.compose().playBand(timedEvents(notes, band), gen);
}

void Gifts::giveIn(int gen, const Mood& mood) {
  Random& random = parts_.runtime.random();
  const int tonic = random.below(12);
  std::vector<RNote> piece = invent(tonic, mood, random);
  Analysis key;
  key.tonic = tonic;
  key.minor = mood.minor;
  const std::string keyName = key.keyName();
  std::string style;
  {
    std::lock_guard guard(engine_.lock);
    if (!engine_.alive(gen)) return;
    lastGift_ = piece;
    giftName_ = mood.name;
    giftAt_ = engine_.now();
    style = engine_.compose().bandStyle();
    engine_.compose().silenceLiveBand();
  }
  engine_.ui(lines::now("Something " + mood.name + ", made up for you"));
  const std::vector<RNote> band = bandFull(piece, analyse(piece), style, random);
  engine_.say(engine_.pick(
                  {"Something " + mood.name + ", in " + keyName + ". I am making this up as I go.",
                   "One " + mood.name + " piece, in " + keyName + ". Nobody has heard this before.",
                   "A little " + mood.name + " tune in " + keyName +
                       ", never played before. This one is just for you."}),
              gen);
  playWithBand(gen, piece, band);
}

void Gifts::performGift(std::optional<Mood> mood) {
  const Mood chosen = mood ? *mood : parts_.runtime.random().pick(moods());
  engine_.run([this, chosen](int gen) { giveIn(gen, chosen); });
}

std::optional<std::vector<RNote>> Gifts::latestPiece() {
  std::vector<RNote> piece;
  {
    std::lock_guard guard(engine_.lock);
    ComposeRoom& room = engine_.compose();
    if (engine_.currentMode() == Mode::compose) {
      piece = room.currentTake();
      if (piece.size() >= 6) return piece;
    }
    const double now = engine_.now();
    piece = room.history().lastStretch(now);
    if (piece.size() >= 12 && now - room.lastOnset() < 600) return piece;
  }
  return engine_.compose().pieces().lastSavedIdea();
}

void Gifts::restyleIn(int gen, const std::string& style, std::vector<RNote> piece) {
  Random& random = parts_.runtime.random();
  const std::vector<RNote> notes = restyled(piece, analyse(piece), style, random);
  {
    std::lock_guard guard(engine_.lock);
    if (!engine_.alive(gen)) return;
    engine_.compose().silenceLiveBand();
  }
  engine_.ui(lines::now(restyleTitle(style)));
  engine_.say(restyleSentence(style), gen);
  engine_.compose().playBand(timedEvents(notes), gen);
}

void Gifts::restyle(const std::string& style) {
  engine_.run([this, style](int gen) {
    auto piece = latestPiece();
    if (!piece || piece->empty()) {
      engine_.say("Play me something first, then I can dress it up.", gen);
      return;
    }
    restyleIn(gen, style, std::move(*piece));
  });
}

void Gifts::perform(std::vector<RNote> notes, const std::string& title) {
  std::string style = engine_.compose().bandStyle();
  engine_.compose().silenceLiveBand();
  engine_.run([this, notes = std::move(notes), title, style](int gen) {
    engine_.ui(lines::now("Playing " + title));
    playWithBand(gen, notes, bandFull(notes, analyse(notes), style, parts_.runtime.random()));
  });
}

void Gifts::playAlbum() {
  engine_.run([this](int gen) {
    struct Track {
      std::vector<RollNote> notes;
      std::string key;
      std::string day;
    };
    // Every readable piece first, so the count said is the count played.
    std::vector<Track> album;
    for (const auto& file : engine_.compose().pieces().folder().oldestFirst()) {
      if (!engine_.alive(gen)) return;
      const auto bytes = files::readFile(file);
      if (!bytes) continue;
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
      auto notes = readMIDIForRoll(data, bytes->size());
      auto take = takeFromMidi(data, bytes->size());
      if (!notes || notes->empty() || !take || take->empty()) continue;
      struct stat info {};
      const double saved =
          ::stat(file.c_str(), &info) == 0 ? static_cast<double>(info.st_mtime) : 0;
      album.push_back({std::move(*notes), analyse(*take).keyName(), weekdayName(saved)});
    }
    if (album.empty()) {
      engine_.say("You have not saved any pieces yet. Play something and say keep that.", gen);
      return;
    }
    const std::string count = std::to_string(album.size());
    const std::string assistant = engine_.currentProfile().assistantName;
    engine_.say("Your album. " + count + (album.size() == 1 ? " piece" : " pieces") +
                    ", all written by you. Say " + assistant + " stop, or press home, to end it.",
                gen);
    for (std::size_t i = 0; i < album.size(); ++i) {
      if (!engine_.alive(gen)) return;
      engine_.ui(lines::now("Your album: " + count + " pieces, number " + std::to_string(i + 1)));
      engine_.say("A piece in " + album[i].key + ", from " + album[i].day + ".", gen);
      engine_.compose().playBand(PianoRoll::rollEvents(album[i].notes), gen);
    }
    if (engine_.alive(gen)) engine_.say("That was all of it. You wrote every note.", gen);
  });
}

void Gifts::joke() {
  engine_.speak(engine_.pick(jokes()));
}

void Gifts::surprise() {
  Random& random = parts_.runtime.random();
  const int choice = random.below(5);
  engine_.logLine("surprise " + std::to_string(choice));
  if (choice <= 1) return performGift(std::nullopt);
  if (choice == 2) return joke();
  if (choice == 3) {
    engine_.run([this](int gen) {
      Random& random = parts_.runtime.random();
      auto piece = latestPiece();
      if (piece && !piece->empty()) {
        restyleIn(gen, random.pick(std::vector<std::string>{"8-bit", "lullaby", "epic"}),
                  std::move(*piece));
      } else {
        giveIn(gen, random.pick(moods()));
      }
    });
    return;
  }
  std::string name = engine_.currentProfile().userName;
  if (name.empty()) name = "friend";
  engine_.run([this, name](int gen) {
    auto notes = parts_.pianoSpeech("Hello " + name);
    // Without the speech renderer the piano has nothing to say: a piece instead.
    if (!notes || notes->empty()) {
      giveIn(gen, parts_.runtime.random().pick(moods()));
      return;
    }
    engine_.say("Listen closely. The piano has something to say.", gen);
    engine_.play(*notes, gen);
    engine_.say("It said, hello " + name + ".", gen);
  });
}

}  // namespace orvo
