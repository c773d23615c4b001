#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <chrono>

#include "platform/audio/sound-outputs.h"

namespace orvo {

namespace {

// Each question opens a connection of its own and closes it: asked rarely
// (a request, a choice), it keeps no thread and no state between times.
class PulseSoundOutputs final : public SoundOutputs {
 public:
  std::optional<std::vector<SoundOutput>> list() override {
    Connection connection;
    if (!connection.ready()) return std::nullopt;
    Listing listing;
    pa_operation* asking =
        pa_context_get_sink_info_list(connection.context, &Listing::add, &listing);
    if (!asking) return std::nullopt;
    const bool answered = connection.runUntil([&] { return listing.done; });
    pa_operation_unref(asking);
    if (!answered || listing.failed) return std::nullopt;
    return listing.outputs;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kPatience{1000};

  struct Listing {
    std::vector<SoundOutput> outputs;
    bool done = false;
    bool failed = false;
    static void add(pa_context*, const pa_sink_info* sink, int last, void* self) {
      auto& listing = *static_cast<Listing*>(self);
      if (last != 0) {
        listing.failed = last < 0;
        listing.done = true;
        return;
      }
      const char* description = sink->description ? sink->description : sink->name;
      listing.outputs.push_back({sink->name, description});
    }
  };

  // A connection to the server, never started by us when none runs.
  struct Connection {
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = nullptr;
    const Clock::time_point deadline = Clock::now() + kPatience;

    Connection() {
      if (!loop) return;
      context = pa_context_new(pa_mainloop_get_api(loop), "Orvo");
      if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        pa_context_unref(context);
        context = nullptr;
      }
    }
    ~Connection() {
      if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
      }
      if (loop) pa_mainloop_free(loop);
    }
    bool ready() {
      if (!context) return false;
      runUntil([this] {
        const pa_context_state_t state = pa_context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      });
      return pa_context_get_state(context) == PA_CONTEXT_READY;
    }
    // Runs the loop until `done` or the deadline; whether `done` came first.
    template <typename Done>
    bool runUntil(Done done) {
      while (!done()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        if (pa_mainloop_prepare(loop, static_cast<int>(wait)) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0) {
          return false;
        }
      }
      return true;
    }
  };
};

}  // namespace

std::unique_ptr<SoundOutputs> makePulseSoundOutputs() {
  return std::make_unique<PulseSoundOutputs>();
}

}  // namespace orvo
