#include "browser/sendtopage.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

#include "browser/browserclient.h"
#include "browser/browserhandle.h"
#include "common/uithread.h"

namespace {
// The UI-thread half: delivers at once, or drops.
void delivertopage(const browserclient *client, const pagemessage &m) {
  assertuithread();
  if (!client || !client->mainbrowser) return;
  browserhandle *browser = client->mainbrowser;
  if (!browser->isvalid() || !browser->hasmainframe()) return;
  browser->sendtomainframe(m);
}
}  // namespace

pagesink makepagesink(std::weak_ptr<browserclient> client) {
  return [client = std::move(client)](pagemessage m) {
    QCoreApplication *ui = QCoreApplication::instance();
    if (!ui) return;
    QMetaObject::invokeMethod(
        ui, [client, m = std::move(m)] { delivertopage(client.lock().get(), m); }, Qt::QueuedConnection);
  };
}

pagesink makepagesinkhere(std::weak_ptr<browserclient> client) {
  return [client = std::move(client)](const pagemessage &m) { delivertopage(client.lock().get(), m); };
}
