#include "browser/sendtopage.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/appglobals.h"
#include "browser/browserapp.h"
#include "browser/browserclient.h"
#include "browser/browserhandle.h"

void sendtopage(pagemessage m) {
  QCoreApplication *ui = QCoreApplication::instance();
  if (!ui) return;
  QMetaObject::invokeMethod(ui, [m = std::move(m)] { delivertopage(m); }, Qt::QueuedConnection);
}

void delivertopage(const pagemessage &m) {
  appglobals *g = appglobals::current();
  if (!g || !g->app) return;
  browserclient *client = g->app->client.get();
  if (!client || !client->mainbrowser) return;
  browserhandle *browser = client->mainbrowser;
  if (!browser->isvalid() || !browser->hasmainframe()) return;
  browser->sendtomainframe(m);
}
