#pragma once

#include <optional>

#include "platform/clipboardtext.h"
#include "platform/linux/clipboardbudget.h"
#include "platform/linux/x11connection.h"

typedef union _XEvent XEvent;

// The CLIPBOARD selection's text. Writing hands the bytes to the Qt
// clipboard, which serves them to other applications from the event loop.
// Reading asks the owner directly on a connection of our own, so that a
// script polling the clipboard sees each new owner at once, even while the
// UI thread waits inside the script. The connection is opened at the first
// use.
class x11clipboard : public clipboardtext {
 public:
  x11clipboard() = default;
  ~x11clipboard() override;
  std::string read() override;
  void write(const std::string &bytes) override;

 private:
  // Opens the connection and makes the requestor window, once; whether
  // both exist.
  bool open();
  std::optional<std::string> convert(Atom target, clipboardbudget &budget);
  bool waitfor(int type, XEvent &e, const clipboardbudget &budget);

  std::optional<x11connection> x_;
  Window requestor_ = 0;
  // The window Qt took the selection with when we last wrote it.
  Window ownwindow_ = 0;
};
