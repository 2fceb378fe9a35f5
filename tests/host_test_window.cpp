// A stand-in for a screensaver host in the integration tests, over plain Xlib:
//   host_test_window create W H     makes and maps a window, prints its id, and keeps it
//                                   until killed (the X server then destroys it);
//   host_test_window probe          maps a small window and exits: the window manager
//                                   now handles requests;
//   host_test_window pixel ID X Y   prints the red, green and blue of one pixel of a window;
//   host_test_window bmp PATH W H R G B   writes a one-colour 24-bit BMP picture.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/select.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Waits for the window to be mapped. A window manager that is still starting may drop
// the map request, so it is repeated every half second.
bool WaitMapped(Display* display, Window window) {
  for (int attempt = 0; attempt < 60; ++attempt) {
    XMapWindow(display, window);
    XFlush(display);
    const int fd = ConnectionNumber(display);
    for (int waited = 0; waited < 10; ++waited) {
      XEvent event;
      while (XPending(display) > 0) {
        XNextEvent(display, &event);
        if (event.type == MapNotify) return true;
      }
      fd_set set;
      FD_ZERO(&set);
      FD_SET(fd, &set);
      timeval timeout{0, 50000};
      select(fd + 1, &set, nullptr, nullptr, &timeout);
    }
  }
  return false;
}

int Create(int width, int height, bool keep) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "host_test_window: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, width, height, 0,
                                            WhitePixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, "host-test-window");
  XSelectInput(display, window, StructureNotifyMask);
  if (!WaitMapped(display, window)) {
    std::fprintf(stderr, "host_test_window: the window was never mapped\n");
    return 1;
  }
  std::printf("%lu\n", static_cast<unsigned long>(window));
  std::fflush(stdout);
  if (!keep) return 0;
  XEvent event;
  while (true) XNextEvent(display, &event);  // until killed
}

int Pixel(unsigned long window, int x, int y) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 1;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  // The default visual of a 24-bit screen: 8 bits each, red highest.
  std::printf("%lu %lu %lu\n", (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  XDestroyImage(image);
  XCloseDisplay(display);
  return 0;
}

void PutLe(FILE* file, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), file);
}

int WriteBmp(const char* path, int width, int height, int r, int g, int b) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 1;
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
  std::fputs("BM", file);
  PutLe(file, 54 + imageBytes, 4);
  PutLe(file, 0, 4);
  PutLe(file, 54, 4);
  PutLe(file, 40, 4);
  PutLe(file, static_cast<uint32_t>(width), 4);
  PutLe(file, static_cast<uint32_t>(height), 4);
  PutLe(file, 1, 2);
  PutLe(file, 24, 2);
  PutLe(file, 0, 4);
  PutLe(file, imageBytes, 4);
  PutLe(file, 2835, 4);
  PutLe(file, 2835, 4);
  PutLe(file, 0, 4);
  PutLe(file, 0, 4);
  for (int y = 0; y < height; ++y) {
    uint32_t written = 0;
    for (int x = 0; x < width; ++x, written += 3) {
      std::fputc(b, file);
      std::fputc(g, file);
      std::fputc(r, file);
    }
    for (; written < rowBytes; ++written) std::fputc(0, file);
  }
  return std::fclose(file) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "create") == 0) return Create(std::atoi(argv[2]), std::atoi(argv[3]), true);
  if (argc == 2 && std::strcmp(argv[1], "probe") == 0) return Create(8, 8, false);
  if (argc == 5 && std::strcmp(argv[1], "pixel") == 0) {
    return Pixel(std::strtoul(argv[2], nullptr, 0), std::atoi(argv[3]), std::atoi(argv[4]));
  }
  if (argc == 8 && std::strcmp(argv[1], "bmp") == 0) {
    return WriteBmp(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]),
                    std::atoi(argv[7]));
  }
  std::fprintf(stderr, "usage: host_test_window create W H | probe | pixel ID X Y | bmp PATH W H R G B\n");
  return 2;
}
