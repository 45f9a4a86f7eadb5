#include "browser/pagechannel.h"

#include <QThread>
#include <utility>

QJsonArray pagechannel::post(const QJsonArray &wire, int document) {
  QJsonArray mine;
  QJsonArray *const outer = std::exchange(reply, &mine);
  const int outerlevel = std::exchange(replylevel, QThread::currentThread()->loopLevel());
  on.post(pagemessage::fromjson(wire), document);
  reply = outer;
  replylevel = outerlevel;
  return mine;
}

void pagechannel::send(const QJsonArray &wire) {
  if (reply && replylevel == QThread::currentThread()->loopLevel()) {
    reply->append(wire);
    return;
  }
  if (reply)
    for (const QJsonValue &held : std::exchange(*reply, QJsonArray())) emit message(held.toArray());
  emit message(wire);
}

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
