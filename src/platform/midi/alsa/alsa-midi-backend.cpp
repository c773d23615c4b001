#include "platform/midi/alsa/alsa-midi-backend.h"

#include "platform/real-time-priority.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>

#include "platform/signals.h"

namespace orvo {
namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

std::int64_t idOf(int client, int port) {
  return static_cast<std::int64_t>(client) * 256 + port;
}

// The sequencer's own echo of every port; connecting it would feed our notes back.
bool isThrough(const std::string& name) {
  return name.find("Midi Through") != std::string::npos;
}

template <typename Visit>
void eachPort(snd_seq_t* seq, Visit&& visit) {
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      visit(id, snd_seq_port_info_get_port(port), snd_seq_port_info_get_capability(port),
            std::string(snd_seq_port_info_get_name(port)));
    }
  }
}

}  // namespace

bool AlsaMidiBackend::present() {
  return std::filesystem::exists("/dev/snd/seq");
}

AlsaMidiBackend::~AlsaMidiBackend() {
  stopping_ = true;
  if (stopPipe_[1] >= 0) {
    [[maybe_unused]] ssize_t written = ::write(stopPipe_[1], "x", 1);
  }
  if (reader_.joinable()) reader_.join();
  if (encoder_) snd_midi_event_free(encoder_);
  if (seq_ && queue_ >= 0) snd_seq_free_queue(seq_, queue_);
  if (seq_) snd_seq_close(seq_);
  for (int fd : stopPipe_) {
    if (fd >= 0) ::close(fd);
  }
}

bool AlsaMidiBackend::start(PacketHandler onPacket, std::function<void()> onSetupChanged) {
  if (!present()) return false;
  if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
    seq_ = nullptr;
    return false;
  }
  onPacket_ = std::move(onPacket);
  onSetupChanged_ = std::move(onSetupChanged);
  snd_seq_nonblock(seq_, 1);  // input is read after poll says so; output never waits
  snd_seq_set_client_name(seq_, "Orvo");
  client_ = snd_seq_client_id(seq_);
  unsigned type = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION;
  sourcePort_ = snd_seq_create_simple_port(seq_, "Orvo", kReadable, type);
  inPort_ = snd_seq_create_simple_port(seq_, "Orvo In", kWritable, type);
  outPort_ = snd_seq_create_simple_port(seq_, "Orvo Out", SND_SEQ_PORT_CAP_READ, type);
  if (inPort_ >= 0) {
    snd_seq_connect_from(seq_, inPort_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
  }
  snd_midi_event_new(16, &encoder_);
  makeQueue();
  if (::pipe2(stopPipe_, O_CLOEXEC) == 0) {
    reader_ = std::thread([this] { readLoop(); });
    // A note reaches the band and the judge at once even when the cores are busy.
    if (auto why = raiseToRealTime(reader_.native_handle())) whyNormal_ = *why;
  }
  return true;
}

void AlsaMidiBackend::makeQueue() {
  queue_ = snd_seq_alloc_named_queue(seq_, "Orvo");
  if (queue_ < 0) return;
  // The high-resolution timer, where the kernel has it: the system timer
  // would round due times to its tick.
  snd_timer_id_t* id;
  snd_timer_id_alloca(&id);
  snd_timer_id_set_class(id, SND_TIMER_CLASS_GLOBAL);
  snd_timer_id_set_sclass(id, SND_TIMER_SCLASS_NONE);
  snd_timer_id_set_card(id, -1);
  snd_timer_id_set_device(id, SND_TIMER_GLOBAL_HRTIMER);
  snd_timer_id_set_subdevice(id, 0);
  snd_seq_queue_timer_t* timer;
  snd_seq_queue_timer_alloca(&timer);
  snd_seq_queue_timer_set_type(timer, SND_SEQ_TIMER_ALSA);
  snd_seq_queue_timer_set_id(timer, id);
  snd_seq_set_queue_timer(seq_, queue_, timer);  // else the default timer stays
  if (snd_seq_start_queue(seq_, queue_, nullptr) < 0 || snd_seq_drain_output(seq_) < 0) {
    snd_seq_free_queue(seq_, queue_);
    queue_ = -1;
  }
}

std::optional<std::int64_t> AlsaMidiBackend::ownSourceId() {
  if (!seq_ || sourcePort_ < 0) return std::nullopt;
  return idOf(client_, sourcePort_);
}

std::vector<MidiSource> AlsaMidiBackend::sources() {
  std::vector<MidiSource> found;
  if (!seq_) return found;
  eachPort(seq_, [&](int client, int port, unsigned caps, const std::string& name) {
    if ((caps & kReadable) != kReadable || client == client_ || isThrough(name)) return;
    found.push_back({name, idOf(client, port)});
  });
  return found;
}

void AlsaMidiBackend::disconnectAll() {
  if (!seq_) return;
  std::lock_guard guard(mutex_);
  for (auto [client, port] : connected_) snd_seq_disconnect_from(seq_, inPort_, client, port);
  connected_.clear();
}

void AlsaMidiBackend::connect(const MidiSource& source) {
  if (!seq_ || inPort_ < 0) return;
  int client = static_cast<int>(source.id / 256);
  int port = static_cast<int>(source.id % 256);
  std::lock_guard guard(mutex_);
  if (snd_seq_connect_from(seq_, inPort_, client, port) >= 0) connected_.push_back({client, port});
}

void AlsaMidiBackend::refreshDestinations() {
  if (!seq_ || outPort_ < 0) return;
  std::vector<std::pair<int, int>> found;
  eachPort(seq_, [&](int client, int port, unsigned caps, const std::string& name) {
    if ((caps & kWritable) != kWritable || client == client_ || isThrough(name)) return;
    found.push_back({client, port});
  });
  std::lock_guard guard(mutex_);
  destinations_ = std::move(found);
}

void AlsaMidiBackend::output(const std::uint8_t* bytes, std::size_t size, int port,
                             std::int64_t delay) {
  std::lock_guard guard(mutex_);
  if (!seq_ || !encoder_ || port < 0) return;
  snd_seq_event_t event;
  snd_seq_ev_clear(&event);
  snd_midi_event_reset_encode(encoder_);
  if (snd_midi_event_encode(encoder_, bytes, static_cast<long>(size), &event) <= 0 ||
      event.type == SND_SEQ_EVENT_NONE) {
    return;
  }
  snd_seq_ev_set_source(&event, port);
  if (delay > 0 && queue_ >= 0) {
    // Relative to the queue's time now: the queue runs on its own clock, and
    // only the wait from now matters.
    snd_seq_real_time_t wait{static_cast<unsigned>(delay / 1'000'000'000),
                             static_cast<unsigned>(delay % 1'000'000'000)};
    snd_seq_ev_schedule_real(&event, queue_, 1, &wait);
  } else {
    snd_seq_ev_set_direct(&event);
  }
  if (port == sourcePort_) {
    snd_seq_ev_set_subs(&event);
    snd_seq_event_output_direct(seq_, &event);
    return;
  }
  for (auto [client, destPort] : destinations_) {
    snd_seq_ev_set_dest(&event, client, destPort);
    snd_seq_event_output_direct(seq_, &event);
  }
}

void AlsaMidiBackend::publish(const std::uint8_t* bytes, std::size_t size) {
  output(bytes, size, sourcePort_);
}

void AlsaMidiBackend::publishAt(const std::uint8_t* bytes, std::size_t size, std::int64_t due) {
  output(bytes, size, sourcePort_, due - midiClockNow());
}

void AlsaMidiBackend::dropScheduled() {
  std::lock_guard guard(mutex_);
  if (!seq_ || queue_ < 0) return;
  snd_seq_remove_events_t* remove;
  snd_seq_remove_events_alloca(&remove);
  snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT);
  snd_seq_remove_events_set_queue(remove, queue_);
  snd_seq_remove_events(seq_, remove);
}

void AlsaMidiBackend::sendToDestinations(const std::uint8_t* bytes, std::size_t size) {
  output(bytes, size, outPort_);
}

void AlsaMidiBackend::readLoop() {
  touchStack();
  blockQuitSignalsHere();
  snd_midi_event_t* decoder = nullptr;
  if (snd_midi_event_new(16, &decoder) < 0) return;
  snd_midi_event_no_status(decoder, 1);  // every message with its own status byte
  int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
  std::vector<pollfd> waits(static_cast<std::size_t>(count) + 1);
  snd_seq_poll_descriptors(seq_, waits.data(), static_cast<unsigned>(count), POLLIN);
  waits[static_cast<std::size_t>(count)] = {stopPipe_[0], POLLIN, 0};
  std::uint8_t bytes[16];
  while (!stopping_) {
    if (::poll(waits.data(), waits.size(), -1) < 0) continue;
    if (waits.back().revents & POLLIN) break;
    snd_seq_event_t* event = nullptr;
    while (snd_seq_event_input(seq_, &event) >= 0 && event) {
      switch (event->type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
          if (onSetupChanged_) onSetupChanged_();
          break;
        default: {
          snd_midi_event_reset_decode(decoder);
          long size = snd_midi_event_decode(decoder, bytes, sizeof bytes, event);
          if (size > 0) onPacket_(bytes, static_cast<std::size_t>(size));
        }
      }
    }
  }
  snd_midi_event_free(decoder);
}

}  // namespace orvo
