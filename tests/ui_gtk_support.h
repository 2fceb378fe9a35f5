// Helpers of the in-process GTK tests: running the main loop until something happened,
// events as the X server would deliver them, and pixels read back from a drawn window.
#pragma once
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace qh::test {

// Runs the main loop until done() holds; false when it still does not after a generous
// bound (a stalled loop fails the test instead of hanging it).
inline bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (gtk_events_pending()) {
      gtk_main_iteration_do(FALSE);
    } else {
      g_usleep(1000);
    }
  }
  return true;
}

inline void PumpPending() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Counts the paints of a widget, so a test can wait for the next one.
struct PaintCounter {
  int paints = 0;
  void Attach(GtkWidget* widget) {
    g_signal_connect_after(widget, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer data) -> gboolean {
                             ++static_cast<PaintCounter*>(data)->paints;
                             return FALSE;
                           }),
                           this);
  }
  // Queues a paint (when asked) and waits until it has reached the X server.
  bool WaitForPaint(GtkWidget* widget, bool queue = true) {
    const int before = paints;
    if (queue) gtk_widget_queue_draw(widget);
    const bool painted = PumpUntil([&] { return paints > before; });
    gdk_display_sync(gtk_widget_get_display(widget));
    return painted;
  }
};

struct Rgb {
  int r, g, b;
};

// What the server shows of the widget's area now.
inline GdkPixbuf* ReadWidgetPixels(GtkWidget* widget) {
  gdk_display_sync(gtk_widget_get_display(widget));
  return gdk_pixbuf_get_from_window(gtk_widget_get_window(widget), 0, 0, gtk_widget_get_allocated_width(widget),
                                    gtk_widget_get_allocated_height(widget));
}

inline Rgb PixelAt(GdkPixbuf* pixbuf, int x, int y) {
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                    x * gdk_pixbuf_get_n_channels(pixbuf);
  return {p[0], p[1], p[2]};
}

// Pixels within `tolerance` of the colour in each channel.
inline int CountPixels(GdkPixbuf* pixbuf, Rgb colour, int tolerance) {
  int count = 0;
  for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
    for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); ++x) {
      const Rgb p = PixelAt(pixbuf, x, y);
      if (std::abs(p.r - colour.r) <= tolerance && std::abs(p.g - colour.g) <= tolerance &&
          std::abs(p.b - colour.b) <= tolerance) {
        ++count;
      }
    }
  }
  return count;
}

// Events delivered straight to the widget, as GTK hands them on from the server.
inline void SendEvent(GtkWidget* widget, GdkEvent* event, GdkDevice* device) {
  gdk_event_set_device(event, device);
  gtk_widget_event(widget, event);
  gdk_event_free(event);
}

inline GdkDevice* Pointer(GtkWidget* widget) {
  return gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
}
inline GdkDevice* Keyboard(GtkWidget* widget) {
  return gdk_seat_get_keyboard(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
}

inline void SendCrossing(GtkWidget* widget, GdkEventType type) {
  GdkEvent* event = gdk_event_new(type);
  event->crossing.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
  event->crossing.x = 10;
  event->crossing.y = 10;
  event->crossing.mode = GDK_CROSSING_NORMAL;
  event->crossing.detail = GDK_NOTIFY_NONLINEAR;
  SendEvent(widget, event, Pointer(widget));
}

inline void SendLeftPress(GtkWidget* widget) {
  GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
  event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
  event->button.button = GDK_BUTTON_PRIMARY;
  event->button.x = 10;
  event->button.y = 10;
  SendEvent(widget, event, Pointer(widget));
}

// A key as the server sends it: with its hardware code, which GTK's key bindings match.
inline void SendKey(GtkWidget* widget, guint keyval, GdkModifierType state = GdkModifierType(0)) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
  event->key.keyval = keyval;
  event->key.state = state;
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(widget)), keyval, &keys,
                                        &count) &&
      count > 0) {
    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    event->key.group = static_cast<guint8>(keys[0].group);
  }
  g_free(keys);
  SendEvent(widget, event, Keyboard(widget));
}

}  // namespace qh::test
