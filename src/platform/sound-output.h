#pragma once
// Whether this machine can make any sound at all: an ALSA playback device, or
// a PulseAudio or PipeWire server to hand sound to. Without one, speaking
// would only wait on sentences nobody hears, so they are printed instead.

namespace orvo {

bool soundOutputPresent();

}  // namespace orvo
