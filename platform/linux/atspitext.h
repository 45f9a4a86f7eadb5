#pragma once

#include "platform/desktopwindows.h"
#include "platform/focusedtext.h"

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEventListener AtspiEventListener;
typedef struct _AtspiEvent AtspiEvent;
struct atspifunctions;

// The focused control's text through AT-SPI 2. The accessibility service
// has no "focused object" query: focus events are followed as they arrive
// (while the event loop runs), and when the last one no longer holds, the
// application that owns the active window is searched for its focused
// object. Every call to another application is bounded by a timeout. The
// library is loaded, and the connection to the accessibility bus
// (milliseconds, far more when the bus must first be started) made, at the
// first question, not at start-up.
class atspitext : public focusedtext {
 public:
  explicit atspitext(desktopwindows &windows);
  ~atspitext() override;
  atspitext(const atspitext &) = delete;
  atspitext &operator=(const atspitext &) = delete;

  std::optional<std::string> text() override;
  bool settext(const std::string &utf8) override;
  std::optional<selection> selected() override;

 private:
  // Connects and starts following focus events, once. Whether it works.
  bool start();
  static void onfocus(AtspiEvent *event, void *self);
  // The focused object (a new reference), or null.
  AtspiAccessible *focused();

  desktopwindows &windows_;
  // The library's functions, once started and connected.
  const atspifunctions *at_ = nullptr;
  bool started_ = false;
  AtspiEventListener *listener_ = nullptr;
  AtspiAccessible *lastfocus_ = nullptr;
};
