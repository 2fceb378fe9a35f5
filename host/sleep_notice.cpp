#include "host/sleep_notice.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace qh {

namespace {
// Written by the subscription's callback, which runs from SleepAnnounced on the one thread.
struct SleepNoticeState {
  GDBusConnection* bus = nullptr;
  guint subscription = 0;
  bool announced = false;
};
SleepNoticeState sleepNotice;
int sleepDelayFd = -1;  // logind's delay inhibitor: held until it is closed

// logind answers at once; a bus that does not is not waited on for long.
constexpr int kInhibitTimeoutMs = 1000;

void TakeSleepDelay(GDBusConnection* bus) {
  if (sleepDelayFd >= 0) return;
  GUnixFDList* fds = nullptr;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit",
      g_variant_new("(ssss)", "sleep", "Quiet Highland", "Saving the screensaver's settings", "delay"),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kInhibitTimeoutMs, nullptr, &fds, nullptr, &error);
  if (reply == nullptr) {
    g_clear_error(&error);  // no logind, or it refuses: the notice alone still ends the run
    return;
  }
  gint32 index = -1;
  g_variant_get(reply, "(h)", &index);
  g_variant_unref(reply);
  if (fds != nullptr) {
    sleepDelayFd = g_unix_fd_list_get(fds, index, nullptr);
    g_object_unref(fds);
  }
}

void OnPrepareForSleep(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                       const gchar* /*interface*/, const gchar* /*signal*/, GVariant* parameters,
                       gpointer /*data*/) {
  // PrepareForSleep(false) comes after the wake-up: only the way down ends the run.
  if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) {
    gboolean starting = FALSE;
    g_variant_get(parameters, "(b)", &starting);
    if (starting) sleepNotice.announced = true;
  }
}
}  // namespace

void ListenForSleep() {
  if (sleepNotice.bus != nullptr) return;
  GError* error = nullptr;
  sleepNotice.bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (sleepNotice.bus == nullptr) {
    g_clear_error(&error);  // no system bus: no notice, and nothing to say about it
    return;
  }
  // The callback is dispatched from this thread's default main context, which
  // SleepAnnounced iterates; the bus closing under us must not end the process.
  g_dbus_connection_set_exit_on_close(sleepNotice.bus, FALSE);
  sleepNotice.subscription = g_dbus_connection_signal_subscribe(
      sleepNotice.bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
      "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnPrepareForSleep, nullptr, nullptr);
  TakeSleepDelay(sleepNotice.bus);
}

bool SleepAnnounced() {
  if (sleepNotice.bus == nullptr) return false;
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  return sleepNotice.announced;
}

void StopListeningForSleep() {
  if (sleepNotice.bus == nullptr) return;
  g_dbus_connection_signal_unsubscribe(sleepNotice.bus, sleepNotice.subscription);
  g_object_unref(sleepNotice.bus);
  sleepNotice = SleepNoticeState{};
}

void ReleaseSleepDelay() {
  if (sleepDelayFd < 0) return;
  close(sleepDelayFd);
  sleepDelayFd = -1;
}

}  // namespace qh
