// Gives a headless compositor's seat a pointer and a keyboard for the whole
// test: a virtual pointer and a virtual keyboard (with a US keymap) stay
// attached until this client ends. Without them the seat has no input
// devices, so the compositor's own cursor commands reach no window and a
// typing tool's first key is lost while its keyboard is being added.
// Prints "ready" once both devices exist; ends with the compositor or on a
// signal.
#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const { Free(p); }
};
template <typename T, auto Free>
using Owned = std::unique_ptr<T, Deleter<Free>>;

struct Fd {
  int fd = -1;
  ~Fd() { if (fd >= 0) close(fd); }
};

struct Globals {
  wl_seat* seat = nullptr;
  zwlr_virtual_pointer_manager_v1* pointers = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* g = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !g->seat) {
    g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    g->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    g->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  }
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registry_listener{on_global, on_global_remove};

// The default US keymap as text, in a sealed memory file the compositor maps.
bool send_keymap(zwp_virtual_keyboard_v1* keyboard) {
  Owned<xkb_context, xkb_context_unref> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (!context) return false;
  xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  Owned<xkb_keymap, xkb_keymap_unref> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return false;
  Owned<char, free> text(xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1));
  if (!text) return false;
  const size_t size = std::strlen(text.get()) + 1;
  Fd file{memfd_create("keymap", MFD_CLOEXEC)};
  if (file.fd < 0 || write(file.fd, text.get(), size) != static_cast<ssize_t>(size)) return false;
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.fd,
                                 static_cast<uint32_t>(size));
  return true;
}

}  // namespace

int main() {
  Owned<wl_display, wl_display_disconnect> display(wl_display_connect(nullptr));
  if (!display) {
    std::fprintf(stderr, "virtual_input: no Wayland display\n");
    return 1;
  }
  Globals globals;
  Owned<wl_registry, wl_registry_destroy> registry(wl_display_get_registry(display.get()));
  wl_registry_add_listener(registry.get(), &registry_listener, &globals);
  wl_display_roundtrip(display.get());
  if (!globals.seat || !globals.pointers || !globals.keyboards) {
    std::fprintf(stderr, "virtual_input: the compositor lacks a seat or the virtual input globals\n");
    return 1;
  }
  Owned<wl_seat, wl_seat_destroy> seat(globals.seat);
  Owned<zwlr_virtual_pointer_manager_v1, zwlr_virtual_pointer_manager_v1_destroy> pointers(globals.pointers);
  Owned<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy> keyboards(globals.keyboards);

  Owned<zwlr_virtual_pointer_v1, zwlr_virtual_pointer_v1_destroy> pointer(
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers.get(), seat.get()));
  Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> keyboard(
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards.get(), seat.get()));
  if (!send_keymap(keyboard.get())) {
    std::fprintf(stderr, "virtual_input: could not make a keymap\n");
    return 1;
  }
  if (wl_display_roundtrip(display.get()) < 0) {
    std::fprintf(stderr, "virtual_input: the compositor refused the devices\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  // Keep the devices until the compositor goes away.
  while (wl_display_dispatch(display.get()) >= 0) {
  }
  return 0;
}
