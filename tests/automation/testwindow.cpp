// A plain X11 window for the automation tests: a top-level window with
// known title and class, child windows with their own titles and classes,
// and a log of the key and button events it receives (one line each), so a
// test can observe what the scripts typed and clicked. Like a toolkit's
// client leader, an unmapped 10x10 top-level window with the same class and
// title is made once the window is mapped, so it lies above the frame.
//
// Usage: orva_testwindow <log file> <title>
// The log begins with "window <id>" and "ready" once the window is mapped.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
Window makewindow(Display *d, Window parent, int x, int y, int w, int h, const char *cls, const std::string &title) {
  const Window win = XCreateSimpleWindow(d, parent, x, y, w, h, 1, BlackPixel(d, 0), WhitePixel(d, 0));
  XClassHint hint{const_cast<char *>("orvatest"), const_cast<char *>(cls)};
  XSetClassHint(d, win, &hint);
  XStoreName(d, win, title.c_str());
  XChangeProperty(d, win, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char *>(title.data()),
                  static_cast<int>(title.size()));
  XSelectInput(d, win, KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
  return win;
}

std::string modifiers(unsigned state) {
  std::string m;
  if (state & ShiftMask) m += "shift+";
  if (state & ControlMask) m += "ctrl+";
  if (state & Mod1Mask) m += "alt+";
  if (state & Mod4Mask) m += "super+";
  return m;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <log file> <title>\n", argv[0]);
    return 2;
  }
  FILE *log = std::fopen(argv[1], "w");
  Display *d = XOpenDisplay(nullptr);
  if (!log || !d) return 1;
  auto line = [&](const std::string &s) {
    std::fprintf(log, "%s\n", s.c_str());
    std::fflush(log);
  };

  const Window top = makewindow(d, DefaultRootWindow(d), 100, 100, 400, 300, "OrvaTestFrame", argv[2]);
  const long pid = getpid();
  XChangeProperty(d, top, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char *>(&pid), 1);
  Atom deletewindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, top, &deletewindow, 1);
  const Window ok = makewindow(d, top, 10, 10, 80, 30, "OrvaButton", "OK");
  const Window edit = makewindow(d, top, 10, 60, 200, 30, "OrvaEdit", "Edit me");
  makewindow(d, edit, 5, 5, 20, 20, "OrvaButton", "OK");
  makewindow(d, top, 10, 110, 300, 30, "OrvaLabel", std::string(300, 'L'));
  makewindow(d, top, 10, 160, 100, 30, "OrvaLabel", "Caf\xC3\xA9 \xE2\x82\xAC");
  XMapSubwindows(d, edit);
  XMapSubwindows(d, top);
  XMapWindow(d, top);
  (void)ok;
  line("window " + std::to_string(top));

  bool ready = false;
  for (;;) {
    XEvent e{};
    XNextEvent(d, &e);
    switch (e.type) {
      case MapNotify:
        if (e.xmap.window == top && !ready) {
          ready = true;
          const Window leader = makewindow(d, DefaultRootWindow(d), 0, 0, 10, 10, "OrvaTestFrame", argv[2]);
          XSync(d, False);
          line("leader " + std::to_string(leader));
          line("ready");
        }
        break;
      case KeyPress:
      case KeyRelease: {
        const KeySym sym = XLookupKeysym(&e.xkey, 0);
        const char *name = XKeysymToString(sym);
        line(std::string(e.type == KeyPress ? "press " : "release ") + modifiers(e.xkey.state) + (name ? name : "?"));
        break;
      }
      case ButtonPress:
      case ButtonRelease: {
        char where[96];
        std::snprintf(where, sizeof where, " %d %lu %d %d", e.xbutton.button, e.xbutton.window, e.xbutton.x_root,
                      e.xbutton.y_root);
        line(std::string(e.type == ButtonPress ? "buttonpress" : "buttonrelease") + where);
        break;
      }
      case ClientMessage:
        if (static_cast<Atom>(e.xclient.data.l[0]) == deletewindow) {
          XCloseDisplay(d);
          return 0;
        }
        break;
      default:
        break;
    }
  }
}
