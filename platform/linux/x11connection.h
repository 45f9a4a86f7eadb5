#pragma once

#include <optional>
#include <string>
#include <vector>

// Xlib's types, declared here without Xlib.h: its macros (Bool, Status,
// None ...) break Qt headers included after it.
struct _XDisplay;
typedef struct _XDisplay Display;
typedef unsigned long Window;
typedef unsigned long Atom;

// One connection to the X server, used only on the UI thread. Protocol
// errors (a window that went away meanwhile) are ignored: every query
// reports failure through its result instead.
class x11connection {
 public:
  x11connection();
  ~x11connection();
  x11connection(const x11connection &) = delete;
  x11connection &operator=(const x11connection &) = delete;

  // False when no display could be opened.
  explicit operator bool() const { return display_ != nullptr; }
  Display *display() const { return display_; }
  Window root() const { return root_; }
  Atom atom(const char *name) const;

  // A property's items (8-, 16- or 32-bit, each as one long for 32), any
  // type when `type` is AnyPropertyType; nothing when absent.
  struct propertyvalue {
    Atom type = 0;
    int format = 0;
    std::vector<unsigned char> bytes;  // format 8
    std::vector<long> items;           // format 32
  };
  std::optional<propertyvalue> property(Window w, Atom name, Atom type) const;
  // The first item of a 32-bit property (a window or a cardinal).
  std::optional<long> firstitem(Window w, const char *name, Atom type) const;

 private:
  Display *display_ = nullptr;
  Window root_ = 0;
};

// Asks the window manager to change a top-level window: a 32-bit client
// message of `type` (an atom name such as "_NET_WM_STATE") about `window`,
// sent to the root window where the manager listens. Works on any
// connection (Qt's own, or an x11connection's); does not flush.
void sendrootmessage(Display *display, Window window, const char *type, long l0, long l1 = 0, long l2 = 0, long l3 = 0);
