#include "browser/pagechannel.h"

void pagechannel::post(const QJsonArray &wire, int document) { on.post(pagemessage::fromjson(wire), document); }

QJsonObject pagechannel::newdocument() {
  return {{QStringLiteral("document"), on.newdocument()}, {QStringLiteral("menus"), menus}};
}

void pagechannel::linkclicked(const QString &href, int document) { on.linkclicked(href, document); }

bool pagechannel::notemenuentry(const pagemessage &insert) {
  const QJsonArray entry{QString::fromStdString(insert.getstring(0)), QString::fromStdString(insert.getstring(1))};
  if (menus.contains(entry)) return false;
  menus.append(entry);
  return true;
}
