// The synthesiser against a stand-in for speech-dispatcher on a socket of the
// test's own: what it reads from the answers, and that a service which drops
// the link while it answers never takes the program down.

#include "platform/speech/speech-dispatcher/speech-dispatcher-synth.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>
#include <mutex>
#include <thread>

#include "matchers.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using testing::TempFolder;

// Answers each command line with the text `answer` gives; a command it gives
// nothing for drops the link there, as a service does that dies.
class StandInService {
 public:
  using Answer = std::function<std::optional<std::string>(const std::string& command)>;

  StandInService(const std::filesystem::path& socket, Answer answer) : answer_(std::move(answer)) {
    listening_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listening_, 4);
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket.string()).c_str(), 1);
    thread_ = std::thread([this] { serve(); });
  }
  ~StandInService() {
    ::shutdown(listening_, SHUT_RDWR);
    ::close(listening_);
    thread_.join();
    std::lock_guard guard(mutex_);
    for (auto& [link, thread] : links_) {
      ::shutdown(link, SHUT_RDWR);
      thread.join();
      ::close(link);
    }
    ::unsetenv("SPEECHD_ADDRESS");
  }

 private:
  // Each link on a thread of its own: the voice list comes over a second one.
  void serve() {
    for (;;) {
      const int link = ::accept(listening_, nullptr, nullptr);
      if (link < 0) return;
      std::lock_guard guard(mutex_);
      links_.emplace_back(link, std::thread([this, link] { answerOn(link); }));
    }
  }

  void answerOn(int link) {
    std::string pending;
    char buffer[512];
    for (;;) {
      const ssize_t got = ::read(link, buffer, sizeof buffer);
      if (got <= 0) return;
      pending.append(buffer, static_cast<std::size_t>(got));
      for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
        const auto reply = answer_(pending.substr(0, end));
        pending.erase(0, end + 2);
        if (!reply) return ::shutdown(link, SHUT_RDWR), void();
        (void)!::write(link, reply->data(), reply->size());
      }
    }
  }

  Answer answer_;
  int listening_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::pair<int, std::thread>> links_;
};

// speech-dispatcher's answers to what the synthesiser asks, as it gives them.
std::optional<std::string> serviceAnswer(const std::string& command) {
  if (command == "GET RATE") return "251-30\r\n251 OK GET RETURNED\r\n";
  if (command == "GET LANGUAGE") return "251-en-GB\r\n251 OK GET RETURNED\r\n";
  if (command == "GET VOICE_TYPE") return "251-FEMALE2\r\n251 OK GET RETURNED\r\n";
  if (command == "LIST SYNTHESIS_VOICES") {
    return "249-English (Great Britain)\ten-GB\tnone\r\n249-German\tde\tnone\r\n"
           "249 OK VOICE LIST SENT\r\n";
  }
  return "200 OK\r\n";
}

TEST(SpeechDispatcherSynth, ThePlayersRateLanguageVoiceTypeAndVoicesAreRead) {
  TempFolder folder;
  StandInService service(folder / "speechd.sock", serviceAnswer);
  SpeechDispatcherSynth synth;
  ASSERT_TRUE(synth.connect());
  const PlayerSpeech settings = synth.playerSpeech();
  EXPECT_EQ(settings.rate, 30);
  EXPECT_EQ(settings.language, "en-GB");
  EXPECT_EQ(settings.voiceType, "female2");
  const auto voices = synth.voices();
  ASSERT_EQ(voices.size(), 2u);
  EXPECT_EQ(voices[0].name, "English (Great Britain)");
  EXPECT_EQ(voices[0].language, "en-GB");
  EXPECT_EQ(voices[1].language, "de");
}

// A service still starting on a busy machine, or going away, drops the link
// in the middle of a question: the program carries on with what it was told.
TEST(SpeechDispatcherSynth, ALinkDroppedMidQuestionKeepsWhatWasAnswered) {
  struct Case {
    std::string dropAt;
    PlayerSpeech told;
    std::size_t voices;
  };
  for (const Case& drop : {Case{"GET RATE", {}, 2}, Case{"GET LANGUAGE", {30, "", ""}, 2},
                           Case{"GET VOICE_TYPE", {30, "en-GB", ""}, 2},
                           Case{"LIST SYNTHESIS_VOICES", {30, "en-GB", "female2"}, 0}}) {
    SCOPED_TRACE(drop.dropAt);
    TempFolder folder;
    StandInService service(folder / "speechd.sock", [&](const std::string& command) {
      return command == drop.dropAt ? std::nullopt : serviceAnswer(command);
    });
    SpeechDispatcherSynth synth;
    synth.connect();
    const PlayerSpeech settings = synth.playerSpeech();
    EXPECT_EQ(settings.rate, drop.told.rate);
    EXPECT_EQ(settings.language, drop.told.language);
    EXPECT_EQ(settings.voiceType, drop.told.voiceType);
    EXPECT_EQ(synth.voices().size(), drop.voices);
  }
}

}  // namespace
}  // namespace orvo
