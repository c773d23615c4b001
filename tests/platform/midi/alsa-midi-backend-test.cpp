#include "platform/midi/alsa/alsa-midi-backend.h"
#include "matchers.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <vector>

namespace orvo {
namespace {

TEST(AlsaMidiBackend, WithoutASequencerItSaysSoAndDoesNothing) {
  if (AlsaMidiBackend::present()) GTEST_SKIP() << "this machine has /dev/snd/seq";
  AlsaMidiBackend backend;
  EXPECT_FALSE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  EXPECT_TRUE(backend.sources().empty());
  EXPECT_FALSE(backend.ownSourceId());
  std::uint8_t note[] = {0x90, 60, 100};
  backend.publish(note, 3);
  backend.sendToDestinations(note, 3);
  backend.publishAt(note, 3, midiClockNow() + 1'000'000);
  backend.dropScheduled();
}

TEST(AlsaMidiBackend, CreatesItsPortsAndNeverListsItself) {
  if (!AlsaMidiBackend::present()) {
    GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing)";
  }
  AlsaMidiBackend backend;
  ASSERT_TRUE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  auto own = backend.ownSourceId();
  ASSERT_TRUE(own);
  for (const auto& source : backend.sources()) {
    EXPECT_NE(source.id, *own);
    EXPECT_EQ(source.name.find("Midi Through"), std::string::npos);
  }
}

// A second client subscribed to our source, stamping what arrives.
class Listener {
 public:
  explicit Listener(std::int64_t source) {
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, 0) < 0) {
      seq_ = nullptr;
      return;
    }
    port_ = snd_seq_create_simple_port(seq_, "listener",
                                       SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                       SND_SEQ_PORT_TYPE_APPLICATION);
    snd_seq_connect_from(seq_, port_, static_cast<int>(source / 256),
                         static_cast<int>(source % 256));
  }
  ~Listener() {
    if (seq_) snd_seq_close(seq_);
  }
  bool ready() const { return seq_ && port_ >= 0; }
  // The note and arrival time of the next note-on within `ms`, or note -1.
  std::pair<int, std::int64_t> next(int ms) {
    std::vector<pollfd> waits(
        static_cast<std::size_t>(snd_seq_poll_descriptors_count(seq_, POLLIN)));
    snd_seq_poll_descriptors(seq_, waits.data(), static_cast<unsigned>(waits.size()), POLLIN);
    const std::int64_t until = midiClockNow() + static_cast<std::int64_t>(ms) * 1'000'000;
    while (midiClockNow() < until) {
      if (::poll(waits.data(), waits.size(),
                 static_cast<int>((until - midiClockNow()) / 1'000'000) + 1) <= 0)
        continue;
      snd_seq_event_t* event = nullptr;
      if (snd_seq_event_input(seq_, &event) >= 0 && event && event->type == SND_SEQ_EVENT_NOTEON)
        return {event->data.note.note, midiClockNow()};
    }
    return {-1, 0};
  }

 private:
  snd_seq_t* seq_ = nullptr;
  int port_ = -1;
};

TEST(AlsaMidiBackend, TimedMessagesWaitOnTheQueueUntilTheirTimeAndCanBeDropped) {
  if (!AlsaMidiBackend::present()) {
    GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing)";
  }
  AlsaMidiBackend backend;
  ASSERT_TRUE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  Listener listener(*backend.ownSourceId());
  ASSERT_TRUE(listener.ready());

  const std::int64_t due = midiClockNow() + 50'000'000;
  const std::uint8_t later[3] = {0x91, 60, 90};
  const std::uint8_t now[3] = {0x91, 48, 90};
  backend.publishAt(later, 3, due);
  backend.publishAt(now, 3, midiClockNow() - 1'000'000);  // already due: sent directly
  auto first = listener.next(1000);
  auto second = listener.next(1000);
  EXPECT_EQ(first.first, 48);
  EXPECT_EQ(second.first, 60);
  EXPECT_GE(second.second, due - 500'000);  // never early by more than half a millisecond

  backend.publishAt(later, 3, midiClockNow() + 100'000'000);
  backend.dropScheduled();
  EXPECT_EQ(listener.next(300).first, -1);
}

}  // namespace
}  // namespace orvo
