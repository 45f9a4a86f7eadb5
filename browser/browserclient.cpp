#include "browser/browserclient.h"

#include "app/appglobals.h"
#include "common/debuglog.h"

void browserclient::onaftercreated(browserhandle *browser) {
  if (!mainbrowser) mainbrowser = browser;
  if (appglobals *g = appglobals::current()) g->browsercreated = true;
}

bool browserclient::doclose(browserhandle *) {
  if (appglobals *g = appglobals::current()) g->browserclosing = true;
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
