#include "sound/voice-hooks.h"

#include "platform/window-lines.h"
#include "sound/kokoro.h"
#include "sound/voice-installer.h"
#include "platform/platform-words.h"

namespace orvo {

VoiceHooks naturalVoiceHooks(Kokoro& voice, VoiceInstaller& installer,
                             std::function<void(const std::string&)> caption) {
  VoiceHooks hooks;
  hooks.installed = [&voice] { return voice.installed(); };
  hooks.installing = [&installer] { return installer.running(); };
  hooks.install = [&installer] { return installer.install(); };
  hooks.remove = [&voice, &installer] { return installer.remove() && !voice.installed(); };
  hooks.ready = [&voice] { return voice.state() == Kokoro::State::ready; };
  hooks.coming = [&voice] {
    const Kokoro::State state = voice.state();
    return voice.installed() && voice.enabled() &&
           (state == Kokoro::State::off || state == Kokoro::State::starting);
  };
  hooks.name = [&voice] {
    return voice.enabled() ? voice.name() : std::string(platformWords().ownVoice);
  };
  hooks.offered = [&voice] { return voice.offered(); };
  hooks.sayAs = [&voice, caption = std::move(caption)](const std::string& id,
                                                       const std::string& text) {
    caption(lines::say(text));
    const Kokoro::Spoken spoken = voice.say(
        text, [&caption] { caption(std::string(lines::speechStart)); }, id);
    return spoken.any && spoken.rest.empty();
  };
  return hooks;
}

}  // namespace orvo
