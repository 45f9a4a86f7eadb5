#pragma once

#include "browser/dispatcher.h"

class QWebEngineProfile;

// Desktop services on Qt: primary screen size, the system browser, the
// browser profile's cookies and the clipboard.
class qtdesktop : public desktopservices {
 public:
  QWebEngineProfile *profile = nullptr;

  int screenwidth() const override;
  int screenheight() const override;
  void openurl(const std::string &url) override;
  void clearcookies() override;
  void setclipboardtext(const std::string &bytes) override;
};
