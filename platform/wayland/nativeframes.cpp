#include "platform/wayland/nativeframes.h"

#include <QString>
#include <algorithm>

namespace {
// Full Unicode case folding, as for X11 class names and titles.
bool sametext(const std::string &a, const std::string &b) {
  return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}
}  // namespace

std::vector<nativeframe> framesbesidex11(std::vector<nativeframe> frames, const std::vector<std::uint32_t> &x11pids) {
  std::erase_if(frames, [&](const nativeframe &f) {
    return f.pid != 0 && std::find(x11pids.begin(), x11pids.end(), f.pid) != x11pids.end();
  });
  return frames;
}

windowid findframe(const std::vector<nativeframe> &frames, const std::optional<std::string> &appname,
                   const std::optional<std::string> &title) {
  for (const nativeframe &f : frames)
    if ((!appname || sametext(f.appname, *appname)) && (!title || sametext(f.title, *title))) return f.id;
  return 0;
}
