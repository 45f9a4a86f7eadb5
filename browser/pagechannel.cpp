#include "browser/pagechannel.h"

#include <QMetaMethod>

void pagechannel::post(const QJsonArray &wire) { onmessage(pagemessage::fromjson(wire)); }

void pagechannel::newdocument() { emit documentstarted(); }

// The web channel connects to message() when the page's client subscribes to
// it; before that, messages for the page are lost.
void pagechannel::connectNotify(const QMetaMethod &signal) {
  if (signal == QMetaMethod::fromSignal(&pagechannel::message))
    QMetaObject::invokeMethod(this, &pagechannel::listening, Qt::QueuedConnection);
}
