#include "browser/browserclient.h"

#include "common/debuglog.h"

void browserclient::onaftercreated(browserhandle *browser) {
  if (!mainbrowser) mainbrowser = browser;
  if (onbrowsercreated) onbrowsercreated();
}

bool browserclient::doclose(browserhandle *browser) {
  // Only the main browser's close is the program's: were a debug window's
  // close to mark the program as closing, the main window would stop serving
  // the page and the tray's Exit would be ignored while the program runs on.
  if (browser == mainbrowser && onmainclosing) onmainclosing();
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
