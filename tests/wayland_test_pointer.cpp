// A pointer for a headless compositor's seat: sway without input devices offers its
// clients no pointer, so `swaymsg seat - cursor ...` would reach nobody. This client makes
// one virtual pointer (wlr-virtual-pointer) and keeps it until it is killed; sway's cursor
// commands then move it and press its buttons.
//   wayland_test_pointer        (WAYLAND_DISPLAY names the compositor)
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace {
// The two interfaces as the compositor knows them; only the manager's first request is sent.
extern const wl_interface kVirtualPointer;
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kVirtualPointer};
const wl_message kManagerRequests[] = {{"create_virtual_pointer", "?on", kCreateTypes}};
const wl_interface kVirtualPointerManager = {"zwlr_virtual_pointer_manager_v1", 1, 1, kManagerRequests, 0, nullptr};
const wl_interface kVirtualPointer = {"zwlr_virtual_pointer_v1", 1, 0, nullptr, 0, nullptr};

wl_seat* seat = nullptr;
wl_proxy* manager = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, "wl_seat") == 0 && seat == nullptr) {
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, kVirtualPointerManager.name) == 0) {
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kVirtualPointerManager, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {Global, GlobalRemove};
}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "wayland_test_pointer: no Wayland display\n");
    return 1;
  }
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, nullptr);
  wl_display_roundtrip(display);
  if (manager == nullptr) {
    std::fprintf(stderr, "wayland_test_pointer: the compositor offers no virtual pointers\n");
    return 1;
  }
  wl_proxy_marshal_flags(manager, 0, &kVirtualPointer, 1, 0, seat, nullptr);
  wl_display_roundtrip(display);
  std::printf("ready\n");
  std::fflush(stdout);
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}
