// Wires the long-lived objects together in their fixed order and parks the
// main thread in the main loop. Objects live until the process exits and are
// never destroyed, so no thread can outlive what it uses.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/log.h"
#include "app/process-life.h"
#include "app/window.h"
#include "apps/music-player.h"
#include "apps/tree-access.h"
#include "desks/app-desk.h"
#include "desks/studio-desk.h"
#include "desks/voice-desk.h"
#include "diagnostics/one-off.h"
#include "engine/engine.h"
#include "engine/key-reader.h"
#include "lessons/jazz-course.h"
#include "platform/access/atspi/atspi-tree.h"
#include "platform/audio/sound-outputs.h"
#include "platform/audio/voice-output.h"
#include "platform/clipboard.h"
#include "platform/desktop-entries.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/instance-lock.h"
#include "platform/library-logs.h"
#include "platform/login-items.h"
#include "platform/midi/alsa/alsa-midi-backend.h"
#include "platform/midi/fallback-midi-backend.h"
#include "platform/midi/raw/raw-devices-midi-backend.h"
#include "platform/midi/raw/raw-midi-backend.h"
#include "platform/places.h"
#include "platform/real-time-priority.h"
#include "platform/signals.h"
#include "platform/sound-output.h"
#include "platform/speech/espeak/espeak-tool.h"
#include "platform/speech/speech-dispatcher/speech-dispatcher-synth.h"
#include "platform/terminal.h"
#include "platform/thread-runtime.h"
#include "platform/window-lines.h"
#include "rooms/compose/compose-room.h"
#include "rooms/jazz/jazz-room.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/practice/metronome.h"
#include "rooms/practice/practice-timers.h"
#include "sound/kokoro.h"
#include "sound/midi-io.h"
#include "sound/music-ducking.h"
#include "sound/output-route.h"
#include "sound/output-watch.h"
#include "sound/piano-speech.h"
#include "sound/routed-synth.h"
#include "sound/sounds.h"
#include "sound/speaker.h"
#include "sound/stream-synth.h"
#include "sound/voice-hooks.h"
#include "sound/voice-installer.h"
#include "sound/voice-meter.h"
#include "sound/voice-output-opener.h"
#include "studio/logic-host.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-link.h"
#include "studio/studio-host.h"
#include "voice/ai.h"
#include "voice/local-ai.h"

using namespace orvo;

namespace {

// The process-lifetime objects, reachable from here until the very end.
struct Running {
  ThreadRuntime* runtime = nullptr;
  MidiBackend* midiBackend = nullptr;
  MidiBackend* midiMirror = nullptr;
  MidiIO* midi = nullptr;
  Sounds* sounds = nullptr;
  Window* window = nullptr;
  const Opt* opt = nullptr;
  FileStore* store = nullptr;
  StudioHost* studio = nullptr;
  Log* log = nullptr;
  ProcessLife* life = nullptr;
  SpeechSynth* synth = nullptr;
  SpeechTool* speechTool = nullptr;
  VoiceMeter* meter = nullptr;
  OutputWatch* outputWatch = nullptr;
  Kokoro* kokoro = nullptr;
  Speaker* speaker = nullptr;
  OutputRoute* outputRoute = nullptr;
  SoundOutputs* outputs = nullptr;
  std::unique_ptr<SoundOutputs::Watch> outputsWatch;
  NoMusicPlayer* musicPlayer = nullptr;
  Engine* engine = nullptr;
} running;

// The data folder, private to the player, with its ideas folder and without
// the half-written files of a copy that was killed mid-write.
std::filesystem::path prepareDataFolder() {
  auto baseDir = dataFolder();
  // The player's transcripts, log and pieces are theirs alone.
  files::makePrivateFolder(baseDir);
  files::makeFolders(baseDir / "ideas");
  files::removeStaleTemporaries(baseDir);
  return baseDir;
}

// This system's MIDI, started: a raw input stream replaces the sequencer; a
// raw output alone mirrors it.
MidiIO* startMidi(bool uiOn, const std::function<void(const std::string&)>& logLine,
                  const std::function<void(const std::string&)>& windowLine) {
  std::string midiIn = std::getenv("ORVO_MIDI_IN") ? std::getenv("ORVO_MIDI_IN") : "";
  std::string midiOut = std::getenv("ORVO_MIDI_OUT") ? std::getenv("ORVO_MIDI_OUT") : "";
  if (!midiIn.empty()) {
    running.midiBackend = new RawMidiBackend(midiIn, midiOut, logLine);
  } else {
    // Without the sequencer, the raw MIDI devices are followed as they come and go.
    running.midiBackend = new FallbackMidiBackend(*new AlsaMidiBackend,
                                                  *new RawDevicesMidiBackend("/dev/snd", logLine));
    if (!midiOut.empty()) running.midiMirror = new RawMidiBackend("", midiOut, logLine);
  }
  auto* midi = running.midi =
      new MidiIO(*running.midiBackend, *running.runtime, windowLine, uiOn, running.midiMirror);
  // The app window and the studio echo our notes back as sources of their own.
  std::vector<std::string> echoes = running.studio->ownSourceWords();
  echoes.push_back("Lorimel");
  midi->ignoreSources(echoes);
  // Until the first studio check says Logic Pro is not running, it may be
  // sounding the notes: the built-in sound waits for that check.
  midi->studioSoundsPiano = true;
  midi->start();
  if (auto why = running.midiBackend->whyInputNotRealTime(); !why.empty())
    logLine("the MIDI input thread runs at normal priority: " + why);
  return midi;
}

// This system's voices: the speech service and the tool behind the speaker,
// the natural voice beside them, and the watch for a sound output.
Speaker* makeSpeech(const std::filesystem::path& baseDir, bool uiOn,
                    const std::function<void(const std::string&)>& logLine,
                    const std::function<void(const std::string&)>& windowLine) {
  ThreadRuntime* runtime = running.runtime;
  const Opt* opt = running.opt;
  Log* log = running.log;
  Sounds* sounds = running.sounds;
  Window* window = running.window;
  // Text mode never starts the speech service. A machine with no sound output
  // yet prints its sentences until one appears (a sound server started after us).
  // The voice goes where the player chose: speech-dispatcher shares the usual
  // output with every other program, so a voice on an output of its own is
  // rendered here and played on a stream of ours.
  running.outputs = makePulseSoundOutputs().release();
  auto* opener = new VoiceOutputOpener(
      *running.outputRoute,
      [](int rate, const std::string& device) { return openVoiceOutput(rate, device); });
  auto* route = running.outputRoute;
  auto* ducking = new MusicDucking({
      .runtime = *runtime,
      .wanted = [route] { return route->get().duckMusic(); },
      .setDuck = [sounds](bool on) { sounds->duck(on); },
  });
  auto openOnChosen = [opener](int rate) { return opener->open(rate); };
  if (opt->textMode) {
    running.synth = new NoSpeechSynth;
  } else {
    // Our own stream speaks like the player's speech-dispatcher voice.
    auto* shared = new SpeechDispatcherSynth;
    running.synth = new RoutedSynth(
        *shared, *new StreamSynth(openOnChosen, [shared] { return shared->playerSpeech(); }),
        [route] { return route->voiceApart(); });
  }
  running.speechTool = opt->textMode
                           ? static_cast<SpeechTool*>(new NoSpeechTool)
                           : new EspeakTool("espeak-ng", [opener] { return opener->device(); });
  auto* outputWatch = running.outputWatch =
      new OutputWatch(*runtime, soundOutputPresent, [log, sounds] {
        log->logLine("a sound output appeared: speech and the built-in sound start");
        sounds->revive("a sound output appeared", false, true);
      });
  running.meter = new VoiceMeter(*runtime, windowLine);
  auto* kokoro = running.kokoro = new Kokoro(Kokoro::Parts{
      .runtime = *runtime,
      .store = *running.store,
      .folder = baseDir / "voice",
      .temporary = temporaryFolder(baseDir),
      .log = logLine,
      .ui = windowLine,
      .volume = [] { return running.speaker ? running.speaker->volume() : 1.0f; },
      .openOutput = openOnChosen,
      .systemClips = frequentSentences(),
      .measure = uiOn ? [](const VoiceWav& wav) { running.meter->measure(wav); }
                      : std::function<void(const VoiceWav&)>(nullptr),
  });
  return running.speaker = new Speaker(Speaker::Parts{
             .runtime = *runtime,
             .opt = *opt,
             .synth = *running.synth,
             .tool = *running.speechTool,
             .ui = windowLine,
             .uiOn = uiOn,
             .print = [window](const std::string& text) { window->print(text); },
             .store = *running.store,
             .meter = running.meter,
             .log = logLine,
             .outputPresent = [outputWatch] { return outputWatch->present(); },
             .language = playerLanguage(),
             .neural = opt->textMode ? nullptr : kokoro,
             .news = [opener] { return opener->news(); },
             .talking = [ducking](bool on) { ducking->talking(on); },
         });
}

// The start in the log, and the window's first lines: keyboards, voice,
// buttons, the lessons, the band, the player and the sound outputs.
void logStartAndShowTheWindow() {
  Window* window = running.window;
  Engine* engine = running.engine;
  std::string voice = running.speaker->voiceName();
  std::string keyboards;
  for (const auto& name : running.midi->keyboards())
    keyboards += (keyboards.empty() ? "" : ", ") + name;
  running.log->logLine("started, keyboards: " + (keyboards.empty() ? "none" : keyboards) +
                       ", voice: " + (voice.empty() ? "default" : voice));
  if (keyboards.empty()) running.log->logLine("no keyboard yet: " + running.midi->whyNoKeyboards());
  window->ui(lines::keyboards(keyboards));

  window->ui(lines::voice(voice.empty() ? "default" : voice));
  window->ui(engine->buttonsLine());
  std::vector<std::string> jazzTitles;
  for (const auto& lesson : jazzLessons()) jazzTitles.push_back(lesson.title);
  window->ui(lines::jazzLessons(jazzTitles));
  window->ui(lines::live(false));
  window->ui(lines::bandStyle(engine->compose().bandStyle()));
  window->ui(engine->lessons().handsLine());
  window->ui(engine->currentProfile().nameLine());
  window->ui(engine->vocabLine());
  window->ui(Engine::bandLevelLine(running.sounds->level()));
  engine->showOutputs();
}

// The engine, handed everything it uses on this system.
Engine* makeEngine(const std::filesystem::path& baseDir, bool uiOn,
                   std::function<void(const std::string&, int)> quitOnMain, AISession* aiSession,
                   VoiceInstaller* installer, std::function<void(const std::string&)> windowLine) {
  ThreadRuntime* runtime = running.runtime;
  Kokoro* kokoro = running.kokoro;
  const Opt* opt = running.opt;
  return running.engine = new Engine(EngineParts{
             .runtime = *runtime,
             .window = *running.window,
             .log = *running.log,
             .speaker = *running.speaker,
             .musicPlayer = *running.musicPlayer,
             .studio = *running.studio,
             .midi = *running.midi,
             .sounds = *running.sounds,
             .store = *running.store,
             .baseDir = baseDir,
             .songFolders = songFolders(baseDir),
             .quit = quitOnMain,
             .pianoSpeech = pianospeech::fromSentence,
             .duck = [kokoro](bool on) { kokoro->duck(on); },
             .assistant = aiSession,
             .daw = new ReaperAdapter,
             .reaperRunning = [runtime] { return Reaper::running(*runtime); },
             .access = new TreeAccess(*new AtspiTree(*runtime)),
             .installedApps = [] { return readDesktopEntries(applicationFolders()); },
             .clipboard = [runtime] { return readClipboard(*runtime); },
             // Started from our app window, that window's process is ours.
             .ownAppPid = uiOn ? static_cast<int>(::getppid()) : 0,
             .voiceHooks =
                 [&] {
                   VoiceHooks hooks = naturalVoiceHooks(*kokoro, *installer, windowLine);
                   if (opt->textMode) hooks.coming = [] { return false; };  // never started
                   return hooks;
                 }(),
             .outputs = running.outputs,
             .outputRoute = running.outputRoute,
         });
}

// The orderly end's steps: the take kept, the helpers shut down, everything
// silenced, the window lines and the data files out.
void setQuitSteps(AISession* aiSession) {
  Engine* engine = running.engine;
  Kokoro* kokoro = running.kokoro;
  MidiIO* midi = running.midi;
  Speaker* speaker = running.speaker;
  Window* window = running.window;
  FileStore* store = running.store;
  running.life->setSteps({
      .autosaveTake =
          [engine] {
            {
              std::lock_guard guard(engine->lock);
              engine->compose().autosaveTake();
            }
            // The take reaches its file before the process goes.
            engine->compose().pieces().waitForSaves(5.0);
          },
      .shutDownHelpers =
          [aiSession, kokoro] {
            aiSession->shutDown();
            kokoro->shutDown();
          },
      .silenceNotes =
          [engine, midi] {
            // Nothing set going goes off on the way out.
            engine->metronome().stop();
            engine->jazz().band().stop();
            engine->timers().cancelAll();
            midi->allOff();
          },
      .silenceSpeech = [speaker] { speaker->silenceNow(); },
      .flushWindow = [window] { window->flush(0.5); },
      .flushStore = [store] { store->flush(1.0); },
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::signal(SIGPIPE, SIG_IGN);  // a window that went away must not kill us mid-write
  // Every thread started from here on inherits SIGINT and SIGTERM blocked, so
  // only the watcher takes them; a signal that comes early waits for it.
  blockQuitSignalsHere();
  // A screen reader would read the libraries' own messages aloud: they go to the log.
  routeLibraryLogs([](const std::string& line) {
    if (running.log) running.log->logLine(line);
  });
  const auto baseDir = prepareDataFolder();

  const char* uiVariable = std::getenv("LORIMEL_UI");
  bool uiOn = uiVariable && std::string(uiVariable) == "1";
  auto* runtime = running.runtime = new ThreadRuntime(Random::chooseSeed());
  auto* window = running.window = new Window(runtime->serial("lorimel.ui"), uiOn, writeToStdout);

  std::vector<std::string> args(argv + 1, argv + argc);
  auto* options = new Opt;
  for (const auto& arg : args) {
    if (arg == "--text") options->textMode = true;
  }
  const Opt* opt = running.opt = options;  // read-only from here on
  auto* store = running.store = new FileStore(baseDir, *runtime, runtime->serial("orvo.store"));
  running.studio = new LogicProHost(*runtime);

  auto print = [](const std::string& line) { writeToStdout(line + "\n"); };
  if (oneoff::isCheck(args)) unblockQuitSignalsHere();  // a one-off run stops at once on Ctrl-C
  if (auto status = oneoff::runWithoutEngine(args, baseDir, print)) return *status;

  // One-off runs leave the lock file alone, so a running copy is not disturbed.
  bool isCheck = oneoff::isCheck(args);
  auto* log = running.log = new Log(baseDir / "log.txt");
  if (!isCheck) {
    int instanceLock = instance::openLock(baseDir / ".running");
    if (instanceLock >= 0) {
      instance::becomeOnlyCopy(instanceLock, [runtime](double s) { runtime->sleep(s); });
    }
  }

  // The REAPER link waits on the runtime's clock; the bridge this build carries
  // is put beside the data, where installing it into REAPER copies it from.
  Reaper::setUp({Reaper::defaultSetup().resources, baseDir / "reaper" / "lorimel_bridge.lua",
                 [runtime] { return runtime->now(); }, [runtime](double s) { runtime->sleep(s); }});
  if (!isCheck) {
    runtime->async([baseDir, log] {
      if (!Reaper::shipBridge(baseDir)) log->logLine("could not write reaper/lorimel_bridge.lua");
    });
  }

  auto logLine = [log](const std::string& line) { log->logLine(line); };
  auto windowLine = [window](const std::string& line) { window->ui(line); };
  auto* midi = startMidi(uiOn, logLine, windowLine);
  if (auto why = lockMemory()) log->logLine("memory is not locked: " + *why);
  // Where the voice and the music go ("outputs.json").
  auto* route = running.outputRoute =
      new OutputRoute(OutputChoice::fromJson(store->read("outputs.json")));
  auto* sounds = running.sounds = new Sounds(Sounds::Parts{
      .runtime = *runtime,
      .store = *store,
      .log = logLine,
      .banks = Sounds::bankCandidates(),
      .openOutput =
          [route](AudioRender render, int rate) {
            return openSystemAudioOutput(std::move(render), rate, route->get().music);
          },
      .tell =
          [](const std::string& sentence) {
            if (running.speaker) running.speaker->say(sentence);
          },
  });
  midi->setSampler(sounds);

  auto* life = running.life = new ProcessLife(*log);
  auto quitOnMain = [runtime, life](const std::string& reason, int code) {
    runtime->onMain([life, reason, code] { life->quit(reason, code); });
  };
  auto* speaker = makeSpeech(baseDir, uiOn, logLine, windowLine);
  auto* kokoro = running.kokoro;
  auto* outputWatch = running.outputWatch;
  // The installer speaks each step from its own thread, between other sentences.
  auto* installer = new VoiceInstaller(VoiceInstaller::Parts{
      .runtime = *runtime,
      .folder = baseDir / "voice",
      .serverScript = login::thisProgram().parent_path() / "kokoro_server.py",
      .say = [speaker](const std::string& text) { speaker->say(text); },
      .ui = windowLine,
      .log = logLine,
      .startVoice = [kokoro] { return kokoro->startAndWait(30.0); },
  });
  running.musicPlayer = new NoMusicPlayer;
  // Linux has no on-device model: the AI is the claude tool, when installed.
  auto* aiSession = new AISession(*runtime, *new NoLocalAI, logLine);
  aiSession->setDataFolder(baseDir);
  auto* engine = makeEngine(baseDir, uiOn, quitOnMain, aiSession, installer, windowLine);
  {
    Profile profile = engine->currentProfile();
    aiSession->setPeople({profile.assistantName,
                          profile.userName.empty() ? "friend" : profile.userName, profile.about(),
                          engine->lessons().songTitles()});
  }

  // Threads are running from here on: the process ends with _exit, after what
  // is queued for the window and the data folder is out.
  auto endNow = [window, store](int status) {
    window->flush(0.5);
    store->flush(1.0);
    ::_exit(status);
  };
  if (auto status = oneoff::runWithEngine(args, *runtime, print)) endNow(*status);
  if (isCheck) {
    print(oneoff::missingArguments);
    endNow(2);
  }

  // Outputs coming and going, told by the sound server as they happen (a
  // session only: a one-off run never talks to the sound server).
  running.outputsWatch = running.outputs->watch([runtime, engine](bool serverBack) {
    runtime->async([engine, serverBack] { engine->outputsChanged(serverBack); });
  });
  midi->setCallbacks({
      .onNote = [engine](int pitch, int velocity) { engine->noteEvent(pitch, velocity); },
      .onPedal = [engine](bool down) { engine->pedal(down); },
      .onKeyboard = [engine](bool connected) { engine->keyboardChanged(connected); },
  });
  setQuitSteps(aiSession);

  watchQuitSignals([quitOnMain](int signal) {
    quitOnMain(signal == SIGTERM ? "replaced by a newer copy, or asked to stop" : "interrupted", 0);
  });
  terminal::enterKeyMode();
  std::thread([engine, log, uiOn, quitOnMain] {
    KeyReader reader(*engine);
    reader.readLoop(STDIN_FILENO, uiOn, *log,
                    [quitOnMain] { quitOnMain("the app window closed", 0); });
  }).detach();

  if (!opt->textMode && !outputWatch->present()) {
    log->logLine("no sound output yet: sentences are printed until one appears");
  }
  outputWatch->start();
  // The AI session starts now, so the first question finds it warm.
  runtime->async([aiSession] {
    if (aiSession->toolPresent()) aiSession->warmUp();
  });
  logStartAndShowTheWindow();

  std::string found = midi->keyboards().empty()
                          ? "No piano found yet. Plug it in and I will pick it up."
                          : "Piano connected.";
  runtime->async([sounds] { sounds->start(); });
  // The natural voice comes up in the background; until it is ready the
  // platform voice speaks.
  // An installed voice runs the server script of this program, not an older one.
  if (!opt->textMode) {
    runtime->async([kokoro, installer] {
      if (kokoro->installed()) installer->placeScript();
      kokoro->start();
    });
  }
  engine->studioDesk().startChecks();
  engine->appDesk().startChecks();
  engine->writeCommandSheet();
  engine->greet(found, !midi->keyboards().empty());
  engine->markOpened(Log::localTime());
  // The voice list can take seconds (thousands of voices), or never come from
  // a frozen speech module: nothing waits for it.
  if (!opt->textMode) speaker->loadVoices(5.0);

  runtime->runMainLoop();
  endNow(0);
}
