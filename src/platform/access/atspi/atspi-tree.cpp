#include "platform/access/atspi/atspi-tree.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <cstdlib>
#include <filesystem>

namespace orvo {
namespace {

constexpr int kCallMs = 1000;
constexpr std::size_t kMaxHandles = 50000;
thread_local bool onQueue = false;

std::string taken(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

bool clear(GError*& error) {
  if (!error) return true;
  g_error_free(error);
  error = nullptr;
  return false;
}

// A session bus to ask: without one, starting AT-SPI would only complain.
bool sessionBusExists() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  return runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

// Asks the accessibility bus's launcher whether it is on, and switches it on.
bool accessibilityBusOn() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    clear(error);
    return false;
  }
  GVariant* address = g_dbus_connection_call_sync(
      bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
      G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
  bool answers = address != nullptr;
  if (address) g_variant_unref(address);
  clear(error);
  if (answers) {
    GVariant* enabled = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, kCallMs, nullptr, &error);
    bool on = false;
    if (enabled) {
      GVariant* inner = nullptr;
      g_variant_get(enabled, "(v)", &inner);
      on = inner && g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN) &&
           g_variant_get_boolean(inner);
      if (inner) g_variant_unref(inner);
      g_variant_unref(enabled);
    }
    clear(error);
    if (!on) {
      GVariant* set = g_dbus_connection_call_sync(
          bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
          g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
          nullptr, G_DBUS_CALL_FLAGS_NONE, kCallMs, nullptr, &error);
      if (set) g_variant_unref(set);
      clear(error);
    }
  }
  g_object_unref(bus);
  return answers;
}

}  // namespace

// Our numbers for AT-SPI's objects, each held by a reference until the
// oldest are let go.
struct AtspiTree::Handles {
  std::unordered_map<AccessNode, AtspiAccessible*> objects;
  std::deque<AccessNode> order;
  AccessNode next = 1;

  ~Handles() {
    for (auto& [id, object] : objects) g_object_unref(object);
  }

  AccessNode add(AtspiAccessible* object) {
    AccessNode id = next++;
    objects[id] = object;
    order.push_back(id);
    while (order.size() > kMaxHandles) {
      auto old = objects.find(order.front());
      if (old != objects.end()) {
        g_object_unref(old->second);
        objects.erase(old);
      }
      order.pop_front();
    }
    return id;
  }

  AtspiAccessible* get(AccessNode id) {
    auto found = objects.find(id);
    return found == objects.end() ? nullptr : found->second;
  }
};

AtspiTree::AtspiTree(Runtime& runtime)
    : runtime_(runtime), queue_(runtime.serial("orvo.atspi")), handles_(new Handles) {}

AtspiTree::~AtspiTree() {
  // The references go on the queue that made them.
  use([this] { handles_.reset(); });
}

void AtspiTree::use(const std::function<void()>& work) {
  if (onQueue) {
    work();
    return;
  }
  auto done = runtime_.makeSemaphore();
  queue_.post([&work, done] {
    onQueue = true;
    work();
    onQueue = false;
    done->signal();
  });
  // Every call inside is bounded, so the work always ends; `work` lives on
  // this stack until it has.
  while (!done->wait(1.0)) {
  }
}

bool AtspiTree::start() {
  if (started_) return true;
  if (runtime_.now() - lastTry_ < 5.0) return false;
  lastTry_ = runtime_.now();
  if (!sessionBusExists() || !accessibilityBusOn()) return false;
  int status = atspi_init();
  if (status != 0 && status != 1) return false;
  atspi_set_timeout(kCallMs, 15000);
  started_ = true;
  return true;
}

bool AtspiTree::reachable() {
  bool answers = false;
  use([&] {
    if (!start() || !handles_) return;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return;
    GError* error = nullptr;
    atspi_accessible_get_child_count(desktop, &error);
    answers = clear(error);
    g_object_unref(desktop);
  });
  return answers;
}

std::vector<AccessNode> AtspiTree::children(AccessNode node, std::size_t limit) {
  std::vector<AccessNode> out;
  if (!started_ || !handles_) return out;
  AtspiAccessible* parent = node == 0 ? atspi_get_desktop(0) : handles_->get(node);
  if (!parent) return out;
  GError* error = nullptr;
  int count = atspi_accessible_get_child_count(parent, &error);
  if (clear(error)) {
    for (int i = 0; i < count && out.size() < limit; ++i) {
      AtspiAccessible* child = atspi_accessible_get_child_at_index(parent, i, &error);
      if (!clear(error) || !child) break;
      out.push_back(handles_->add(child));
    }
  }
  if (node == 0) g_object_unref(parent);
  return out;
}

std::optional<NodeInfo> AtspiTree::info(AccessNode node) {
  if (!started_ || !handles_) return std::nullopt;
  if (node == 0) {
    NodeInfo desktop;
    desktop.role = "desktop frame";
    return desktop;
  }
  AtspiAccessible* object = handles_->get(node);
  if (!object) return std::nullopt;
  GError* error = nullptr;
  NodeInfo info;
  info.role = taken(atspi_accessible_get_role_name(object, &error));
  // The first call tells whether the app answers at all.
  if (!clear(error)) return std::nullopt;
  info.name = taken(atspi_accessible_get_name(object, &error));
  clear(error);
  // Role, name and states come from libatspi's cache of the app; the rest
  // is a round trip each, so only asked for where it is used: a walk over a
  // menu of 500 items would otherwise take three times as long.
  if (info.name.empty()) {
    info.description = taken(atspi_accessible_get_description(object, &error));
    clear(error);
  }
  if (info.role == "application") {
    info.pid = static_cast<int>(atspi_accessible_get_process_id(object, &error));
    clear(error);
  }
  if (AtspiStateSet* states = atspi_accessible_get_state_set(object)) {
    info.active = atspi_state_set_contains(states, ATSPI_STATE_ACTIVE);
    info.sensitive = atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE);
    info.enabled = atspi_state_set_contains(states, ATSPI_STATE_ENABLED);
    info.focused = atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
    info.modal = atspi_state_set_contains(states, ATSPI_STATE_MODAL);
    g_object_unref(states);
  }
  if (info.focused) {
    info.roleDescription = taken(atspi_accessible_get_localized_role_name(object, &error));
    clear(error);
  }
  // A text's value, for a control named by what it shows; passwords never.
  if (info.role != "password text" && info.name.empty() && info.description.empty()) {
    if (AtspiText* text = atspi_accessible_get_text_iface(object)) {
      int count = atspi_text_get_character_count(text, &error);
      if (clear(error) && count > 0) {
        info.value = taken(atspi_text_get_text(text, 0, std::min(count, 200), &error));
        clear(error);
      }
      g_object_unref(text);
    }
  }
  return info;
}

std::vector<std::string> AtspiTree::actions(AccessNode node) {
  std::vector<std::string> out;
  AtspiAccessible* object = started_ && handles_ ? handles_->get(node) : nullptr;
  if (!object) return out;
  AtspiAction* action = atspi_accessible_get_action_iface(object);
  if (!action) return out;
  GError* error = nullptr;
  int count = atspi_action_get_n_actions(action, &error);
  if (clear(error)) {
    for (int i = 0; i < count && i < 32; ++i) {
      out.push_back(taken(atspi_action_get_action_name(action, i, &error)));
      clear(error);
    }
  }
  g_object_unref(action);
  return out;
}

bool AtspiTree::doAction(AccessNode node, std::size_t index) {
  AtspiAccessible* object = started_ && handles_ ? handles_->get(node) : nullptr;
  if (!object) return false;
  AtspiAction* action = atspi_accessible_get_action_iface(object);
  if (!action) return false;
  GError* error = nullptr;
  bool done = atspi_action_do_action(action, static_cast<int>(index), &error);
  done = clear(error) && done;
  g_object_unref(action);
  return done;
}

bool AtspiTree::insertText(AccessNode node, const std::string& text) {
  AtspiAccessible* object = started_ && handles_ ? handles_->get(node) : nullptr;
  if (!object) return false;
  AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(object);
  if (!editable) return false;
  GError* error = nullptr;
  int caret = 0;
  if (AtspiText* plain = atspi_accessible_get_text_iface(object)) {
    caret = atspi_text_get_caret_offset(plain, &error);
    if (!clear(error) || caret < 0) caret = 0;
    g_object_unref(plain);
  }
  bool done = atspi_editable_text_insert_text(editable, caret, text.c_str(),
                                              static_cast<int>(text.size()), &error);
  done = clear(error) && done;
  g_object_unref(editable);
  return done;
}

bool AtspiTree::typeKeys(const std::string& text) {
  if (!started_) return false;
  GError* error = nullptr;
  bool done = atspi_generate_keyboard_event(0, text.c_str(), ATSPI_KEY_STRING, &error);
  return clear(error) && done;
}

std::optional<std::string> AtspiTree::selection(AccessNode node) {
  AtspiAccessible* object = started_ && handles_ ? handles_->get(node) : nullptr;
  if (!object) return std::nullopt;
  AtspiText* text = atspi_accessible_get_text_iface(object);
  if (!text) return std::nullopt;
  std::optional<std::string> out;
  GError* error = nullptr;
  int count = atspi_text_get_n_selections(text, &error);
  if (clear(error) && count > 0) {
    if (AtspiRange* range = atspi_text_get_selection(text, 0, &error)) {
      if (clear(error) && range->end_offset > range->start_offset) {
        out = taken(atspi_text_get_text(text, range->start_offset, range->end_offset, &error));
        if (!clear(error)) out.reset();
      }
      g_free(range);
    }
    clear(error);
  }
  g_object_unref(text);
  return out;
}

}  // namespace orvo
