#include "platform/wayland/waylandwindows.h"

waylandwindows::waylandwindows(std::unique_ptr<x11windows> x11, windowid x11root)
    : x11_(std::move(x11)), x11root_(x11root) {}

std::vector<nativeframe> waylandwindows::framesbeside() {
  std::vector<std::uint32_t> x11pids;
  auto frames = frames_.frames();
  if (x11_ && !frames.empty())
    for (const Window w : x11_->toplevels())
      if (const std::uint32_t pid = x11_->processid(w)) x11pids.push_back(pid);
  return framesbesidex11(std::move(frames), x11pids);
}

// The compositor, XWayland's window manager, reports an active window only
// while an X11 window is active; otherwise XWayland's focus rests on a window
// of the compositor's own, which names nothing a script knows.
windowid waylandwindows::activewindow() {
  if (const windowid w = x11_ ? x11_->reportedactive() : 0) return w;
  return frames_.activeframe();
}

windowid waylandwindows::focuswindow() {
  if (x11_ && x11_->reportedactive()) return x11_->focuswindow();
  return frames_.activeframe();
}

windowid waylandwindows::setfocus(windowid w) { return x11_ && !isnativeframe(w) ? x11_->setfocus(w) : 0; }

bool waylandwindows::iswindow(windowid w) {
  if (isnativeframe(w)) return frames_.exists(w);
  return x11_ && x11_->iswindow(w);
}

bool waylandwindows::isvisible(windowid w) {
  if (isnativeframe(w)) return frames_.showing(w);
  return x11_ && x11_->isvisible(w);
}

bool waylandwindows::show(windowid w, const showrequest &r) { return x11_ && !isnativeframe(w) && x11_->show(w, r); }

void waylandwindows::setforeground(windowid w) {
  if (x11_ && !isnativeframe(w)) x11_->setforeground(w);
}

windowid waylandwindows::findchild(windowid parent, const std::optional<std::string> &classname,
                                   const std::optional<std::string> &title) {
  if (isnativeframe(parent)) return 0;  // a frame has no windows inside
  if (x11_)
    if (const windowid w = x11_->findchild(parent, classname, title)) return w;
  return isroot(parent) ? findframe(framesbeside(), classname, title) : 0;
}

std::vector<windowid> waylandwindows::descendants(windowid w) {
  if (isnativeframe(w)) return {};
  std::vector<windowid> out;
  if (x11_ && w) out = x11_->descendants(w);
  if (isroot(w))
    for (const nativeframe &f : framesbeside()) out.push_back(f.id);
  return out;
}

std::string waylandwindows::classname(windowid w) {
  if (isnativeframe(w)) return frames_.appname(w);
  return x11_ ? x11_->classname(w) : "";
}

std::string waylandwindows::title(windowid w) {
  if (isnativeframe(w)) return frames_.title(w);
  return x11_ ? x11_->title(w) : "";
}

std::optional<screenrect> waylandwindows::rect(windowid w) {
  if (isnativeframe(w)) return frames_.rect(w);
  return x11_ ? x11_->rect(w) : std::nullopt;
}

std::uint32_t waylandwindows::processid(windowid w) {
  if (isnativeframe(w)) return frames_.processid(w);
  return x11_ ? x11_->processid(w) : 0;
}

std::optional<screenpoint> waylandwindows::cursorpos() { return x11_ ? x11_->cursorpos() : std::nullopt; }

void waylandwindows::setcursorpos(screenpoint p) {
  if (x11_) x11_->setcursorpos(p);
}

std::optional<screenpoint> waylandwindows::translate(windowid from, windowid to, screenpoint p) {
  if (isnativeframe(from) || isnativeframe(to)) return std::nullopt;
  if (x11_) return x11_->translate(from, to, p);
  return from == 0 && to == 0 ? std::optional(p) : std::nullopt;
}

windowid waylandwindows::windowat(screenpoint p) { return x11_ ? x11_->windowat(p) : 0; }

windowid waylandwindows::childat(windowid parent, screenpoint p) {
  return x11_ && !isnativeframe(parent) ? x11_->childat(parent, p) : 0;
}
