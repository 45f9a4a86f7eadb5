#include "browser/browserclient.h"

#include "app/appglobals.h"
#include "common/debuglog.h"

void browserclient::onaftercreated(browserhandle *browser) {
  if (!mainbrowser) mainbrowser = browser;
  if (appglobals *g = appglobals::current()) g->browsercreated = true;
}

bool browserclient::doclose(browserhandle *browser) {
  // Only the main browser's close is the program's: were a debug window's
  // close to mark the program as closing, the main window would stop serving
  // the page and the tray's Exit would be ignored while the program runs on.
  if (appglobals *g = appglobals::current(); g && browser == mainbrowser) g->browserclosing = true;
  return false;
}

void browserclient::onbeforeclose(browserhandle *browser) {
  if (mainbrowser && mainbrowser == browser) {
    mainbrowser = nullptr;
    if (quitmessageloop) quitmessageloop();
  }
}

bool browserclient::onbeforebrowse(std::string_view url) {
  debugout(url);
  return url.starts_with("mailto:") || url.starts_with("tel:");
}
