// Helpers for the desktop-host integration tests:
//   desktop_test_tool pixel FILE X Y     prints the red, green and blue of a PNG's pixel;
//   desktop_test_tool differ A B         prints the share (0..1) of pixels of two pictures
//                                        of the same size that differ by more than 8;
//   desktop_test_tool logind             owns org.freedesktop.login1 on the system bus
//                                        (DBUS_SYSTEM_BUS_ADDRESS), prints "ready", and for
//                                        each line "sleep" read on stdin emits
//                                        PrepareForSleep(true) and prints "sent"; ends at EOF.
//                                        Inhibit calls print "inhibit WHAT MODE"; the release
//                                        of the inhibitor prints "released after the save" when
//                                        STORE exists then, "released before the save" if not;
//   desktop_test_tool upower             owns org.freedesktop.UPower on the system bus with
//                                        an OnBattery property (false), prints "ready", and
//                                        for each line "battery" or "mains" on stdin sets it,
//                                        announces PropertiesChanged and prints "sent".
#include <SDL.h>
#include <SDL_image.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SDL_Surface* LoadRgb(const char* file) {
  SDL_Surface* loaded = IMG_Load(file);
  if (loaded == nullptr) {
    std::fprintf(stderr, "can't read %s: %s\n", file, IMG_GetError());
    return nullptr;
  }
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(loaded);
  return rgb;
}

const uint8_t* PixelAt(SDL_Surface* s, int x, int y) {
  return static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 3;
}

int Pixel(const char* file, int x, int y) {
  SDL_Surface* s = LoadRgb(file);
  if (s == nullptr) return 1;
  if (x < 0 || y < 0 || x >= s->w || y >= s->h) {
    std::fprintf(stderr, "%d,%d is outside the %dx%d picture\n", x, y, s->w, s->h);
    return 1;
  }
  const uint8_t* p = PixelAt(s, x, y);
  std::printf("%d %d %d\n", p[0], p[1], p[2]);
  SDL_FreeSurface(s);
  return 0;
}

int Differ(const char* a, const char* b) {
  SDL_Surface* sa = LoadRgb(a);
  SDL_Surface* sb = LoadRgb(b);
  if (sa == nullptr || sb == nullptr) return 1;
  if (sa->w != sb->w || sa->h != sb->h) {
    std::fprintf(stderr, "the pictures differ in size\n");
    return 1;
  }
  long differing = 0;
  for (int y = 0; y < sa->h; ++y) {
    for (int x = 0; x < sa->w; ++x) {
      const uint8_t* p = PixelAt(sa, x, y);
      const uint8_t* q = PixelAt(sb, x, y);
      for (int c = 0; c < 3; ++c) {
        if (std::abs(p[c] - q[c]) > 8) {
          ++differing;
          break;
        }
      }
    }
  }
  std::printf("%.4f\n", static_cast<double>(differing) / (static_cast<double>(sa->w) * sa->h));
  return 0;
}

bool OwnName(GDBusConnection* bus, const char* name);

// The part of logind the saver uses: Inhibit hands out one end of a pipe, and the other end
// tells when the holder let it go.
struct FakeLogind {
  GDBusConnection* bus = nullptr;
  const char* store = nullptr;  // the settings file whose presence is told at the release
  GMainLoop* loop = nullptr;
};

constexpr const char* kLogindXml =
    "<node><interface name='org.freedesktop.login1.Manager'>"
    "<method name='Inhibit'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='h' direction='out'/></method>"
    "<signal name='PrepareForSleep'><arg type='b'/></signal></interface></node>";

gboolean InhibitorReleased(GIOChannel* /*channel*/, GIOCondition /*condition*/, gpointer data) {
  const auto* logind = static_cast<const FakeLogind*>(data);
  const bool saved = logind->store != nullptr && g_file_test(logind->store, G_FILE_TEST_EXISTS);
  std::printf("released %s\n", saved ? "after the save" : "before the save");
  std::fflush(stdout);
  return G_SOURCE_REMOVE;
}

void LogindMethod(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/, const gchar* /*iface*/,
                  const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
  const gchar *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
  g_variant_get(parameters, "(&s&s&s&s)", &what, &who, &why, &mode);
  int ends[2];
  if (std::strcmp(method, "Inhibit") != 0 || pipe(ends) != 0) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", "no");
    return;
  }
  std::printf("inhibit %s %s\n", what, mode);
  std::fflush(stdout);
  GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1);  // the list owns it now
  g_dbus_method_invocation_return_value_with_unix_fd_list(invocation, g_variant_new("(h)", 0), fds);
  g_object_unref(fds);
  GIOChannel* kept = g_io_channel_unix_new(ends[0]);
  g_io_add_watch(kept, GIOCondition(G_IO_HUP | G_IO_IN), InhibitorReleased, data);
  g_io_channel_unref(kept);
}

gboolean LogindInput(GIOChannel* channel, GIOCondition /*condition*/, gpointer data) {
  auto* logind = static_cast<FakeLogind*>(data);
  gchar* line = nullptr;
  GError* error = nullptr;
  if (g_io_channel_read_line(channel, &line, nullptr, nullptr, &error) != G_IO_STATUS_NORMAL) {
    g_main_loop_quit(logind->loop);  // EOF: done
    return G_SOURCE_REMOVE;
  }
  const bool sleep = std::strncmp(line, "sleep", 5) == 0;
  g_free(line);
  if (!sleep) return G_SOURCE_CONTINUE;
  if (!g_dbus_connection_emit_signal(logind->bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                     "PrepareForSleep", g_variant_new("(b)", TRUE), &error) ||
      !g_dbus_connection_flush_sync(logind->bus, nullptr, &error)) {
    std::fprintf(stderr, "can't send: %s\n", error->message);
    std::exit(1);
  }
  std::printf("sent\n");
  std::fflush(stdout);
  return G_SOURCE_CONTINUE;
}

int Logind(const char* store) {
  GError* error = nullptr;
  FakeLogind logind;
  logind.store = store;
  logind.bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (logind.bus == nullptr) {
    std::fprintf(stderr, "no bus: %s\n", error->message);
    return 1;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kLogindXml, nullptr);
  static const GDBusInterfaceVTable vtable = {LogindMethod, nullptr, nullptr, {}};
  if (g_dbus_connection_register_object(logind.bus, "/org/freedesktop/login1", node->interfaces[0], &vtable, &logind,
                                        nullptr, &error) == 0) {
    std::fprintf(stderr, "can't serve the manager: %s\n", error->message);
    return 1;
  }
  if (!OwnName(logind.bus, "org.freedesktop.login1")) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  logind.loop = g_main_loop_new(nullptr, FALSE);
  GIOChannel* input = g_io_channel_unix_new(0);
  g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP), LogindInput, &logind);
  g_main_loop_run(logind.loop);
  g_io_channel_unref(input);
  g_dbus_node_info_unref(node);
  g_object_unref(logind.bus);
  return 0;
}

// Owns a name on the system bus for good; false with the reason on stderr.
bool OwnName(GDBusConnection* bus, const char* name) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", name, 4u /* do not queue */), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1,
      nullptr, &error);
  if (reply == nullptr) {
    std::fprintf(stderr, "can't own the name: %s\n", error->message);
    return false;
  }
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  if (result != 1) std::fprintf(stderr, "the name is taken (%u)\n", result);
  return result == 1;
}

struct UPowerService {
  GDBusConnection* bus = nullptr;
  GMainLoop* loop = nullptr;
  bool onBattery = false;
  std::string pending;  // stdin read so far
};

GVariant* GetUPowerProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError** error,
                            gpointer data) {
  if (std::strcmp(name, "OnBattery") == 0) return g_variant_new_boolean(static_cast<UPowerService*>(data)->onBattery);
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
  return nullptr;
}

gboolean ReadUPowerCommands(gint fd, GIOCondition, gpointer data) {
  auto* service = static_cast<UPowerService*>(data);
  char buffer[256];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got <= 0) {
    g_main_loop_quit(service->loop);
    return G_SOURCE_REMOVE;
  }
  service->pending.append(buffer, static_cast<size_t>(got));
  size_t end = 0;
  while ((end = service->pending.find('\n')) != std::string::npos) {
    const std::string line = service->pending.substr(0, end);
    service->pending.erase(0, end + 1);
    if (line != "battery" && line != "mains") continue;
    service->onBattery = line == "battery";
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&changed, "{sv}", "OnBattery", g_variant_new_boolean(service->onBattery));
    GError* error = nullptr;
    if (!g_dbus_connection_emit_signal(service->bus, nullptr, "/org/freedesktop/UPower",
                                       "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                       g_variant_new("(sa{sv}as)", "org.freedesktop.UPower", &changed, nullptr),
                                       &error) ||
        !g_dbus_connection_flush_sync(service->bus, nullptr, &error)) {
      std::fprintf(stderr, "can't send: %s\n", error->message);
      g_main_loop_quit(service->loop);
      return G_SOURCE_REMOVE;
    }
    std::printf("sent\n");
    std::fflush(stdout);
  }
  return G_SOURCE_CONTINUE;
}

int UPower() {
  GError* error = nullptr;
  UPowerService service;
  service.bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (service.bus == nullptr) {
    std::fprintf(stderr, "no bus: %s\n", error->message);
    return 1;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
      "<node><interface name='org.freedesktop.UPower'>"
      "<property name='OnBattery' type='b' access='read'/></interface></node>",
      &error);
  const GDBusInterfaceVTable vtable = {nullptr, GetUPowerProperty, nullptr, {}};
  if (node == nullptr ||
      g_dbus_connection_register_object(service.bus, "/org/freedesktop/UPower", node->interfaces[0], &vtable,
                                        &service, nullptr, &error) == 0) {
    std::fprintf(stderr, "can't export the object: %s\n", error->message);
    return 1;
  }
  if (!OwnName(service.bus, "org.freedesktop.UPower")) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  service.loop = g_main_loop_new(nullptr, FALSE);
  g_unix_fd_add(0, G_IO_IN, ReadUPowerCommands, &service);
  g_main_loop_run(service.loop);
  g_main_loop_unref(service.loop);
  g_dbus_node_info_unref(node);
  g_object_unref(service.bus);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "pixel") == 0) return Pixel(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (argc == 4 && std::strcmp(argv[1], "differ") == 0) return Differ(argv[2], argv[3]);
  if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "logind") == 0) return Logind(argc == 3 ? argv[2] : nullptr);
  if (argc == 2 && std::strcmp(argv[1], "upower") == 0) return UPower();
  std::fprintf(stderr, "usage: desktop_test_tool pixel FILE X Y | differ A B | logind [STORE] | upower\n");
  return 2;
}
