#pragma once

#include <string>

struct pagemessage;

// One browser window of the program as the rest of the program sees it. The
// browser engine adapter implements it; tests use fakes.
class browserhandle {
 public:
  virtual ~browserhandle() = default;
  // False once the browser has begun to close or its page is gone.
  virtual bool isvalid() const = 0;
  // True while the browser shows a document that can receive messages.
  virtual bool hasmainframe() const = 0;
  // Delivers a message to the page bridge of the service document the main
  // frame holds, once that document has connected; otherwise drops it.
  virtual void sendtomainframe(const pagemessage &m) = 0;
  // Loads a URL in the main frame.
  virtual void loadurl(const std::string &url) = 0;
  // Asks the browser to close (not forced): the page may still object.
  virtual void closebrowser() = 0;
};
