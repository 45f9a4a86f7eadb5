#pragma once

#include <map>

#include "platform/wayland/nativeframes.h"

typedef struct _AtspiAccessible AtspiAccessible;
struct atspifunctions;

// The top-level frames (and dialogs) of other applications as the
// accessibility service (AT-SPI 2) shows them: on a Wayland session the only
// view of native Wayland applications' windows. A frame keeps its id while
// it exists; one that went away names no window. This program's own process
// is never asked (it would have to answer on the thread that asks). Every
// call to another application is bounded by a timeout. The library is
// loaded, and the service connected, at the first listing. UI thread only.
class atspiwindows {
 public:
  atspiwindows();
  ~atspiwindows();
  atspiwindows(const atspiwindows &) = delete;
  atspiwindows &operator=(const atspiwindows &) = delete;

  // The frames of every application but this one, in the service's order.
  std::vector<nativeframe> frames();
  // The frame in the active state; 0 when none.
  windowid activeframe();
  bool exists(windowid w);
  bool showing(windowid w);
  std::string title(windowid w);
  std::string appname(windowid w);
  std::uint32_t processid(windowid w);
  std::optional<screenrect> rect(windowid w);

 private:
  struct known {
    AtspiAccessible *frame = nullptr;  // a reference held
    std::uint32_t pid = 0;
    std::string appname;
  };
  // The frame behind an id, its cached state dropped; null when the id
  // names none (any more).
  const known *lookup(windowid w);
  windowid idof(AtspiAccessible *frame, std::uint32_t pid, const std::string &appname);
  void forget(std::map<windowid, known>::iterator it);
  // Loads the library and connects, once. Whether it works.
  bool start();

  // The library's functions, once started and connected.
  const atspifunctions *at_ = nullptr;
  bool started_ = false;
  std::uint64_t lastserial_ = 0;
  std::map<windowid, known> known_;
};
