#include "sound/midi-io.h"
#include "platform/window-lines.h"

#include <algorithm>
#include <cstdio>

namespace orvo {

MidiIO::MidiIO(MidiBackend& backend, Runtime& runtime, std::function<void(const std::string&)> ui,
               bool uiOn, MidiBackend* mirror)
    : backend_(backend), mirror_(mirror), runtime_(runtime), ui_(std::move(ui)), uiOn_(uiOn) {}

void MidiIO::start() {
  started_ =
      backend_.start([this](const std::uint8_t* bytes, std::size_t size) { parse(bytes, size); },
                     [this] { runtime_.onMain([this] { connectSources(); }); });
  if (mirror_) mirror_->start([](const std::uint8_t*, std::size_t) {}, [] {});
  connectSources();
  announce_ = true;  // start-up names the keyboards itself, once
}

std::string MidiIO::whyNoKeyboards() {
  if (!started_) return backend_.describe() + " is not available";
  if (!keyboards().empty()) return "";
  return backend_.sources().empty()
             ? "no MIDI source is connected to " + backend_.describe()
             : "every MIDI source of " + backend_.describe() + " is our own or a studio's echo";
}

void MidiIO::releaseHeld() {
  const Callbacks* callbacks = callbacks_.load(std::memory_order_acquire);
  for (std::size_t pitch = 0; pitch < held_.size(); ++pitch) {
    if (!held_[pitch].exchange(false)) continue;
    windowNote("on", static_cast<int>(pitch), 0);
    if (callbacks && callbacks->onNote) callbacks->onNote(static_cast<int>(pitch), 0);
  }
  if (pedalDown_.exchange(false) && callbacks && callbacks->onPedal) callbacks->onPedal(false);
}

bool MidiIO::ignoredSource(const std::string& name) const {
  for (const char* word : {"Orvo", "Midi Through"}) {
    if (name.find(word) != std::string::npos) return true;
  }
  for (const auto& word : ignoredWords_) {
    if (!word.empty() && name.find(word) != std::string::npos) return true;
  }
  return false;
}

void MidiIO::connectSources() {
  std::vector<std::string> names;
  if (started_) {
    backend_.disconnectAll();
    auto own = backend_.ownSourceId();
    for (const auto& source : backend_.sources()) {
      if ((own && source.id == *own) || ignoredSource(source.name)) continue;
      names.push_back(source.name);
      backend_.connect(source);
    }
    backend_.refreshDestinations();
  }
  bool lostOne = false;
  bool gainedOne = false;
  {
    std::lock_guard guard(keyboardsMutex_);
    if (names == keyboards_) return;
    for (const auto& name : keyboards_) {
      if (std::find(names.begin(), names.end(), name) == names.end()) lostOne = true;
    }
    for (const auto& name : names) {
      if (std::find(keyboards_.begin(), keyboards_.end(), name) == keyboards_.end())
        gainedOne = true;
    }
    keyboards_ = names;
  }
  // Keyboards are merged, so a keyboard that went away takes every held note
  // and the pedal with it: none may stay held for ever.
  if (lostOne) releaseHeld();
  if (!announce_) return;
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) list += (i ? ", " : "") + names[i];
  ui_(lines::keyboards(list));
  // Said as well as shown: a player who cannot see the screen must know why
  // notes stopped counting.
  const Callbacks* callbacks = callbacks_.load(std::memory_order_acquire);
  if (callbacks && callbacks->onKeyboard && (gainedOne || lostOne))
    callbacks->onKeyboard(gainedOne);
}

void MidiIO::setCallbacks(Callbacks callbacks) {
  auto owned = std::make_unique<Callbacks>(std::move(callbacks));
  std::lock_guard guard(callbacksMutex_);
  callbacks_ = owned.get();
  allCallbacks_.push_back(std::move(owned));
}

void MidiIO::windowNote(const char* verb, int note, int velocity) {
  if (!uiOn_) return;
  char line[24];
  ui_(std::string(lines::note(line, verb, note, velocity)));  // short enough to stay unallocated
}

void MidiIO::parse(const std::uint8_t* bytes, std::size_t size) {
  const Callbacks* callbacks = callbacks_.load(std::memory_order_acquire);
  std::size_t i = 0;
  while (i < size) {
    std::uint8_t status = bytes[i];
    if (status >= 0xF8) {  // real-time
      ++i;
      continue;
    }
    if (status == 0xF0) {  // system exclusive, skipped whole
      while (i < size && bytes[i] != 0xF7) ++i;
      ++i;
      continue;
    }
    if (status < 0x80) {  // a data byte outside a message; running status is not supported
      ++i;
      continue;
    }
    std::size_t length = 1;
    if (status < 0xF0) {
      length = (status >= 0xC0 && status <= 0xDF) ? 2 : 3;
    } else if (status == 0xF1 || status == 0xF3) {
      length = 2;
    } else if (status == 0xF2) {
      length = 3;
    }
    if (length == 3 && i + 2 < size && (bytes[i + 1] >= 0x80 || bytes[i + 2] >= 0x80)) {
      ++i;  // broken off by another status byte: that byte starts the next message
      continue;
    }
    if (i + 2 < size) {
      int type = status & 0xF0;
      int first = bytes[i + 1];
      int second = bytes[i + 2];
      if (type == 0x80) {
        windowNote("on", first, 0);
        if (callbacks && callbacks->onNote) callbacks->onNote(first, 0);
      } else if (type == 0x90) {
        windowNote("on", first, second);
        if (callbacks && callbacks->onNote) callbacks->onNote(first, second);
      } else if (type == 0xB0 && first == 64) {
        pedalDown_.store(second > 63, std::memory_order_relaxed);
        if (callbacks && callbacks->onPedal) callbacks->onPedal(second > 63);
      }
      if (type == 0x80 || type == 0x90) {
        held_[static_cast<std::size_t>(first)].store(type == 0x90 && second > 0,
                                                     std::memory_order_relaxed);
      }
    }
    i += length;
  }
}

bool MidiIO::account(const std::uint8_t* bytes, std::size_t size, bool ahead) {
  if (size == 3) {
    std::uint8_t status = bytes[0];
    std::size_t slot = (status & 0x0F) * 128u + (bytes[1] & 0x7F);
    {
      std::lock_guard guard(soundLock_);
      if ((status & 0xF0) == 0x90 && bytes[2] > 0) {
        sounding_.set(slot);
      } else if (status >= 0x80 && status < 0xA0 && !ahead) {
        sounding_.reset(slot);
      }
    }
    if ((status & 0x0F) == 0 && status >= 0x80 && status < 0xA0) {
      windowNote("out", bytes[1], status == 0x90 ? bytes[2] : 0);
    }
  }
  // The piano part sounds here only when no studio host plays it, and still goes
  // out as MIDI; during a band playback it joins the band, which sounds only here.
  Sampler* sampler = sampler_.load();
  if (sampler && size == 3 && sampler->ready()) {
    if ((bytes[0] & 0x0F) == 0 && !pianoHere) {
      if (!studioSoundsPiano) sampler->play(bytes, size);
    } else {
      sampler->play(bytes, size);
      return false;
    }
  }
  return true;
}

void MidiIO::send(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 3) return;
  if (!account(bytes, size, false)) return;
  backend_.publish(bytes, size);
  if (mirror_) mirror_->publish(bytes, size);
  if (alsoToPiano) backend_.sendToDestinations(bytes, size);
}

void MidiIO::sendAt(const std::uint8_t* bytes, std::size_t size, double due) {
  if (size == 0 || size > 3) return;
  const double delay = due - runtime_.now();
  Sampler* sampler = sampler_.load();
  if (delay <= 0) return send(bytes, size);
  // The built-in sound and the piano's own port have no timed output: those
  // messages wait on a timer instead (they allocate, but are rare).
  if ((sampler && sampler->ready()) || alsoToPiano) {
    std::array<std::uint8_t, 3> copy{};
    std::copy(bytes, bytes + size, copy.begin());
    const std::uint64_t generation = allOffs_.load();
    runtime_.after(delay, [this, copy, size, generation] {
      if (allOffs_.load() == generation) send(copy.data(), size);
    });
    return;
  }
  if (!account(bytes, size, true)) return;
  const std::int64_t at = midiClockNow() + static_cast<std::int64_t>(delay * 1e9);
  backend_.publishAt(bytes, size, at);
  if (mirror_) mirror_->publishAt(bytes, size, at);
}

void MidiIO::allOff() {
  allOffs_.fetch_add(1);
  backend_.dropScheduled();
  if (mirror_) mirror_->dropScheduled();
  std::bitset<16 * 128> copy;
  {
    std::lock_guard guard(soundLock_);
    copy = sounding_;
  }
  for (std::size_t slot = 0; slot < copy.size(); ++slot) {
    if (!copy.test(slot)) continue;
    send(
        {static_cast<std::uint8_t>(0x80 | (slot / 128)), static_cast<std::uint8_t>(slot % 128), 0});
  }
}

std::vector<std::pair<int, int>> MidiIO::sounding() {
  std::lock_guard guard(soundLock_);
  std::vector<std::pair<int, int>> notes;
  for (std::size_t slot = 0; slot < sounding_.size(); ++slot) {
    if (sounding_.test(slot))
      notes.push_back({static_cast<int>(slot / 128), static_cast<int>(slot % 128)});
  }
  return notes;
}

std::vector<std::string> MidiIO::keyboards() {
  std::lock_guard guard(keyboardsMutex_);
  return keyboards_;
}

}  // namespace orvo
