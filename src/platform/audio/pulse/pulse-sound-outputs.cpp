#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <chrono>

#include "platform/audio/sound-outputs.h"

namespace orvo {

namespace {

// Sinks coming and going, on a threaded main loop of its own. A server that
// goes away (or is not there yet) is looked for again every two seconds.
class PulseWatch final : public SoundOutputs::Watch {
 public:
  explicit PulseWatch(std::function<void(bool)> changed) : changed_(std::move(changed)) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    connect();
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_start(loop_);
  }
  ~PulseWatch() override {
    if (!loop_) return;
    pa_threaded_mainloop_stop(loop_);
    if (retry_) pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
    drop();
    pa_threaded_mainloop_free(loop_);
  }
  PulseWatch(const PulseWatch&) = delete;
  PulseWatch& operator=(const PulseWatch&) = delete;

 private:
  static constexpr pa_usec_t kRetry = 2 * PA_USEC_PER_SEC;

  // On the loop's thread (or under its lock).
  void connect() {
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Orvo");
    if (!context_) return;
    pa_context_set_state_callback(context_, &PulseWatch::stateChanged, this);
    pa_context_set_subscribe_callback(context_, &PulseWatch::event, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) retryLater();
  }
  void drop() {
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  void retryLater() {
    if (retry_) return;
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), kRetry);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    retry_ = api->time_new(api, &when, &PulseWatch::retry, this);
  }
  static void retry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
    auto& watch = *static_cast<PulseWatch*>(self);
    api->time_free(event);
    watch.retry_ = nullptr;
    watch.drop();
    watch.connect();
  }
  static void stateChanged(pa_context* context, void* self) {
    auto& watch = *static_cast<PulseWatch*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
      if (pa_operation* asking =
              pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr))
        pa_operation_unref(asking);
      // A server that has just come may have brought outputs; one that came
      // back has lost every stream that was on it.
      watch.changed_(watch.everReady_);
      watch.everReady_ = true;
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
      watch.retryLater();
    }
  }
  static void event(pa_context*, pa_subscription_event_type_t type, std::uint32_t, void* self) {
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SINK &&
        (kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE))
      static_cast<PulseWatch*>(self)->changed_(false);
  }

  std::function<void(bool)> changed_;
  bool everReady_ = false;  // on the loop's thread
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_time_event* retry_ = nullptr;
};

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

  std::unique_ptr<Watch> watch(std::function<void(bool)> changed) override {
    return std::make_unique<PulseWatch>(std::move(changed));
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
