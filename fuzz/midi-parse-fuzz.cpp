// Any bytes from a keyboard, as one packet and as a stream: never a crash, an
// endless loop, a read past the packet, or a note outside 0..127.

#include <cstdint>
#include <cstdlib>

#include "doubles/virtual-runtime.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/midi/raw/midi-stream-framer.h"
#include "sound/midi-io.h"

namespace {

void checkNote(int pitch, int velocity) {
  if (pitch < 0 || pitch > 127 || velocity < 0 || velocity > 127) std::abort();
}

orvo::MidiIO& link() {
  static orvo::VirtualRuntime runtime;
  static orvo::LoopbackMidiBackend backend;
  static orvo::Opt opt;
  static orvo::MidiIO midi(
      backend, runtime, opt, [](const std::string&) {}, true);
  static bool listening = [] {
    midi.setCallbacks({checkNote, [](bool) {}});
    return true;
  }();
  (void)listening;
  return midi;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvo::MidiIO& midi = link();
  midi.parse(data, size);
  orvo::MidiStreamFramer framer;
  for (std::size_t i = 0; i < size; ++i) {
    framer.feed(data[i], [&](const std::uint8_t* bytes, std::size_t count) {
      if (count == 0 || count > 3) std::abort();
      midi.parse(bytes, count);
    });
  }
  return 0;
}
