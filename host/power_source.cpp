#include "host/power_source.h"

#include <gio/gio.h>

namespace qh {

namespace {
constexpr const char* kUPower = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";

// Written by the callbacks, which run from OnBattery on the one thread.
struct PowerSourceState {
  GDBusConnection* bus = nullptr;
  guint nameWatch = 0;
  guint subscription = 0;
  GCancellable* pending = nullptr;  // the question asked when UPower appeared
  bool onBattery = false;
};
PowerSourceState power;

bool ReadOnBattery(GVariant* value, bool* onBattery) {
  if (value == nullptr || !g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) return false;
  *onBattery = g_variant_get_boolean(value) != FALSE;
  return true;
}

void OnAnswer(GObject* bus, GAsyncResult* result, gpointer /*data*/) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (reply == nullptr) {
    // Cancelled (we stopped, or UPower went away) or refused: whatever we knew stands.
    g_clear_error(&error);
    return;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  bool onBattery = false;
  if (ReadOnBattery(value, &onBattery)) power.onBattery = onBattery;
  if (value != nullptr) g_variant_unref(value);
  g_variant_unref(reply);
}

void CancelQuestion() {
  if (power.pending == nullptr) return;
  g_cancellable_cancel(power.pending);
  g_object_unref(power.pending);
  power.pending = nullptr;
}

void OnUPowerAppeared(GDBusConnection* bus, const gchar* /*name*/, const gchar* /*owner*/, gpointer /*data*/) {
  CancelQuestion();
  power.pending = g_cancellable_new();
  g_dbus_connection_call(bus, kUPower, kUPowerPath, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", kUPower, "OnBattery"), G_VARIANT_TYPE("(v)"),
                         G_DBUS_CALL_FLAGS_NONE, -1, power.pending, OnAnswer, nullptr);
}

void OnUPowerVanished(GDBusConnection* /*bus*/, const gchar* /*name*/, gpointer /*data*/) {
  CancelQuestion();
  power.onBattery = false;  // nobody to say otherwise: mains
}

void OnPropertiesChanged(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                         const gchar* /*interface*/, const gchar* /*signal*/, GVariant* parameters,
                         gpointer /*data*/) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  const gchar* interface = nullptr;
  GVariant* changed = nullptr;
  g_variant_get(parameters, "(&s@a{sv}@as)", &interface, &changed, nullptr);
  if (g_strcmp0(interface, kUPower) == 0) {
    GVariant* value = g_variant_lookup_value(changed, "OnBattery", G_VARIANT_TYPE_BOOLEAN);
    bool onBattery = false;
    if (ReadOnBattery(value, &onBattery)) power.onBattery = onBattery;
    if (value != nullptr) g_variant_unref(value);
  }
  g_variant_unref(changed);
}
}  // namespace

void FollowPowerSource() {
  if (power.bus != nullptr) return;
  GError* error = nullptr;
  power.bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (power.bus == nullptr) {
    g_clear_error(&error);  // no system bus: mains, and nothing to say about it
    return;
  }
  g_dbus_connection_set_exit_on_close(power.bus, FALSE);
  power.subscription = g_dbus_connection_signal_subscribe(
      power.bus, kUPower, "org.freedesktop.DBus.Properties", "PropertiesChanged", kUPowerPath, kUPower,
      G_DBUS_SIGNAL_FLAGS_NONE, OnPropertiesChanged, nullptr, nullptr);
  // Not started on demand: a machine without a battery need not start UPower for us.
  power.nameWatch = g_bus_watch_name_on_connection(power.bus, kUPower, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                   OnUPowerAppeared, OnUPowerVanished, nullptr, nullptr);
}

bool OnBattery() {
  if (power.bus == nullptr) return false;
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  return power.onBattery;
}

void StopFollowingPowerSource() {
  if (power.bus == nullptr) return;
  CancelQuestion();
  g_bus_unwatch_name(power.nameWatch);
  g_dbus_connection_signal_unsubscribe(power.bus, power.subscription);
  g_object_unref(power.bus);
  power = PowerSourceState{};
}

}  // namespace qh
