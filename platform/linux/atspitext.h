#pragma once

#include "platform/desktopwindows.h"
#include "platform/focusedtext.h"

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEventListener AtspiEventListener;
typedef struct _AtspiEvent AtspiEvent;

// The focused control's text through AT-SPI 2. The accessibility service
// has no "focused object" query: focus events are followed as they arrive
// (while the event loop runs), and when the last one no longer holds, the
// application that owns the active window is searched for its focused
// object. Every call to another application is bounded by a timeout.
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
  static void onfocus(AtspiEvent *event, void *self);
  // The focused object (a new reference), or null.
  AtspiAccessible *focused();

  desktopwindows &windows_;
  bool ready_ = false;
  AtspiEventListener *listener_ = nullptr;
  AtspiAccessible *lastfocus_ = nullptr;
};
