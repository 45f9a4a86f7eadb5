#include "browser/pagechannel.h"

#include <QMetaMethod>

void pagechannel::post(const QJsonArray &wire) { onmessage(pagemessage::fromjson(wire)); }

QJsonArray pagechannel::newdocument() {
  emit documentstarted();
  return menus;
}

bool pagechannel::notemenuentry(const pagemessage &insert) {
  const QJsonArray entry{QString::fromStdString(insert.getstring(0)), QString::fromStdString(insert.getstring(1))};
  if (menus.contains(entry)) return false;
  menus.append(entry);
  return true;
}

// The web channel connects to message() when the page's client subscribes to
// it; before that, messages for the page are lost.
void pagechannel::connectNotify(const QMetaMethod &signal) {
  if (signal == QMetaMethod::fromSignal(&pagechannel::message))
    QMetaObject::invokeMethod(this, &pagechannel::listening, Qt::QueuedConnection);
}
