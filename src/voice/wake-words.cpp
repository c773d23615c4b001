#include "voice/wake-words.h"

namespace orvo::wake {

const WordLists& lists() {
  static const WordLists words{
      // The wake token as it may stand in a sentence.
      .wakeWords = {"hey jarvis", "jarvis"},
      // Words that are never taken for the assistant's own voice.
      .urgent = {"stop", "quiet", "cancel", "home", "pause", "enough"},
      // Words that stop the assistant mid-sentence, in the order they are tried.
      .stopWords = {"stop", "quiet", "enough", "cancel", "silence", "shush"},
      // Small words around a name said alone.
      .fillers = {"hey", "ok", "okay", "hi", "yo"},
      // Words that may stand before the name.
      .greetings = {"hey", "ok", "okay", "hi", "yo", "hello"},
      // Words a recogniser writes for "jarvis" when it is not sure.
      .looseNames = {"service", "nervous", "jarred", "java", "javas", "jobs", "drivers", "jars",
                     "chavis", "davis", "jeeves", "jarvey", "harvest"},
      // Words that look like a loose "jarvis" but are everyday words.
      .neverName = {"gives",  "doves",   "dives", "drives", "office",  "towards",
                    "others", "jokes",   "divas", "traces", "offers",  "devise",
                    "device", "devices", "debts", "chases", "gathers", "jabs",
                    "dabs",   "tabs",    "gabs",  "drabs",  "travis"},
      // "jarvis" split in two: the first piece,
      .firstHalves = {"jar", "char", "jah", "jaw", "ja", "jarv", "jav", "jor", "jer"},
      // and the second.
      .secondHalves = {"vis", "this", "viss", "vez", "vous", "vice", "fis", "bis", "vus", "vas",
                       "ves", "vase", "viz", "us", "ice"},
      // Verbs that begin a request which usually goes on (what to play, find, search).
      .openers = {"play", "find", "search", "look", "watch", "put", "teach", "google", "listen"},
      // Common words never taken as a sound-alike of the name.
      .everyday = {"the",   "and",    "you",   "that",   "was",   "for",  "are",    "with",
                   "his",   "they",   "this",  "have",   "from",  "one",  "had",    "word",
                   "but",   "not",    "what",  "all",    "were",  "when", "your",   "can",
                   "said",  "there",  "use",   "each",   "which", "she",  "how",    "their",
                   "will",  "other",  "about", "out",    "many",  "then", "them",   "these",
                   "some",  "her",    "would", "make",   "like",  "him",  "into",   "time",
                   "has",   "look",   "two",   "more",   "write", "see",  "number", "way",
                   "could", "people", "than",  "first",  "water", "been", "call",   "who",
                   "now",   "find",   "long",  "down",   "day",   "did",  "get",    "come",
                   "made",  "may",    "part",  "over",   "never", "know", "just",   "yes",
                   "yeah",  "okay",   "well",  "really", "very",  "here", "going",  "want",
                   "need",  "think",  "right", "good",   "back"},
      // Words after which a sentence is not finished yet.
      .dangling = {"open",   "play",   "the",    "a",     "an",    "to",        "for",    "me",
                   "my",     "set",    "add",    "make",  "turn",  "and",       "at",     "on",
                   "with",   "of",     "in",     "put",   "start", "launch",    "search", "find",
                   "what",   "whats",  "how",    "can",   "could", "you",       "is",     "it",
                   "some",   "that",   "this",   "teach", "save",  "as",        "call",   "name",
                   "rename", "tell",   "give",   "show",  "go",    "lets",      "i",      "im",
                   "want",   "need",   "please", "hey",   "about", "from",      "by",     "called",
                   "named",  "lesson", "track",  "minus", "plus",  "something", "like",   "into",
                   "up",     "down",   "little", "bit",   "more",  "less",      "which",  "should"},
      // Single words that are a whole request.
      .whole = {"stop",   "home",    "help",   "again",     "next",  "back",   "slower",
                "faster", "record",  "undo",   "redo",      "pause", "yes",    "no",
                "louder", "quieter", "jazz",   "metronome", "quiet", "cancel", "continue",
                "repeat", "goodbye", "thanks", "enough",    "yeah",  "yep",    "nope",
                "sure",   "okay",    "ok",     "resume"},
      // Short requests that are complete as they stand.
      .quick = {"stop",
                "home",
                "again",
                "next",
                "go back",
                "new composition",
                "play it back",
                "keep that",
                "save that",
                "what did i just play",
                "play my album",
                "jam with me",
                "surprise me",
                "ear training",
                "slower",
                "faster",
                "band louder",
                "band quieter",
                "undo",
                "undo that",
                "start recording",
                "stop recording",
                "say the notes",
                "yes",
                "no",
                "thank you",
                "thanks",
                "tell me a joke",
                "song menu",
                "pause",
                "continue"},
  };
  return words;
}

// "orvo" is said "OR-voh". Recognisers that do not know it write a close
// spelling (strict), split it at the syllable (pairs), or reach for a real
// word or name that sounds alike (loose). The loose words were chosen so that
// none of them starts an everyday sentence, since a loose word first in a
// sentence makes the rest a request. Four of them are words a person says on
// their own for their own sake, so alone they only make the listener listen
// quietly: "volvo" and "servo" (a car, a motor), "orzo" (the pasta), and
// "arvo" (the afternoon, in Australian English).
const std::map<std::string_view, KnownName>& knownNames() {
  static const std::map<std::string_view, KnownName> names{
      {"orvo",
       {.strict = {"orvo", "orvoh", "orvos", "orvoe", "orvow", "orbo", "orvio", "orvou", "ervo"},
        .pairs = {"or vo", "or voh", "oar vo", "or bo"},
        .loose = {"arvo", "alvo", "elvo", "orval", "orville", "servo", "volvo", "orzo"},
        .uncertainAlone = {"volvo", "servo", "orzo", "arvo"}}},
      {"apollo",
       {.strict = {"apollo", "apollos", "appolo", "apolo", "appollo"},
        .pairs = {"a polo", "a pollo", "uh polo"},
        .loose = {"hello", "paulo", "pablo", "polo", "follow"},
        .uncertainAlone = {"hello"}}},
      {"harmony",
       {.strict = {"harmony", "harmonie", "harmonies"},
        .pairs = {"har money", "harm any"},
        .loose = {"amity", "omni", "rely", "armani", "hominy", "army"},
        .uncertainAlone = {"rely"}}},
      {"phoenix",
       {.strict = {"phoenix", "phenix", "fenix", "pheonix"},
        .pairs = {"fee nix", "fee nicks"},
        .loose = {"felix", "next", "minutes", "phonics", "finish"},
        .uncertainAlone = {"next", "minutes"}}},
      {"luna",
       {.strict = {"luna", "lunah", "loona", "lunas"},
        .pairs = {"lou na", "loo na"},
        .loose = {"lunar", "lena", "luma", "bruno", "lu", "lou"},
        .uncertainAlone = {"lu", "lou"}}},
      {"aria",
       {.strict = {"aria", "arya", "ariah", "arias", "ariya"},
        .pairs = {"ah ria", "a ria", "are ya"},
        .loose = {"area", "areas", "oreo", "ariel", "arm"},
        .uncertainAlone = {"oreo", "area"}}},
      {"melody",
       {.strict = {"melody", "melodie", "melodies"},
        .pairs = {"mel lady", "mel o d"},
        .loose = {"melanie", "mel", "memory", "memories", "mail"},
        .uncertainAlone = {"mail", "memory"}}},
      {"galaxy",
       {.strict = {"galaxy", "galaxie", "galaxies"},
        .pairs = {"gal axy"},
        .loose = {"alex", "danny", "gallery"},
        .uncertainAlone = {"alex"}}},
      {"atlas",
       {.strict = {"atlas", "atlus", "atlass"},
        .pairs = {"at las", "at less", "add list", "at least"},
        .loose = {"atmos", "alice"},
        .uncertainAlone = {}}},
      {"orion",
       {.strict = {"orion", "oryan", "orions", "oreon"},
        .pairs = {"o ryan", "oh ryan", "o ryon"},
        .loose = {"ryan", "rhyme", "onion"},
        .uncertainAlone = {}}},
      {"jarvis",
       {.strict = {"jarvis", "jarvus", "jervis", "jarvas", "javis", "charvis", "jarvice", "jarves",
                   "garvis", "darvis", "jarvi", "travis"},
        .pairs = {},
        .loose = {},
        .uncertainAlone = {}}},
  };
  return names;
}

const KnownName* known(std::string_view key) {
  const auto& names = knownNames();
  auto found = names.find(key);
  return found == names.end() ? nullptr : &found->second;
}

}  // namespace orvo::wake
