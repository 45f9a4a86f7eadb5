#pragma once

#include <QJsonArray>
#include <QObject>
#include <functional>

#include "protocol/pagemessage.h"

// The native end of the page bridge, published to the page's script over
// QWebChannel as "orvabridge". The page posts messages with post(); messages
// for the page go out through the message() signal. Both use the wire form
// [name, arg0, arg1, ...].
class pagechannel : public QObject {
  Q_OBJECT
 public:
  using receiver = std::function<void(const pagemessage &)>;
  explicit pagechannel(receiver onmessage, QObject *parent = nullptr)
      : QObject(parent), onmessage(std::move(onmessage)) {}

  Q_INVOKABLE void post(const QJsonArray &wire);
  // A new document's bridge has connected; it says so before it listens to
  // message(), so everything sent after this belongs to that document. The
  // answer is menuentries().
  Q_INVOKABLE QJsonArray newdocument();

  // The tray menu entries [group, label] the page has made, oldest first.
  // The page's state outlives its documents: every new document starts with
  // them. Kept even when their group leaves the menu, as the page keeps them.
  const QJsonArray &menuentries() const { return menus; }
  // Notes the entry a "winInsertMenu" names; true when it is a new one.
  bool notemenuentry(const pagemessage &insert);

 signals:
  void message(const QJsonArray &wire);
  // Emitted by newdocument().
  void documentstarted();
  // The page's channel client has begun to listen to message(): from now on
  // what is sent reaches the page. Emitted from the event loop.
  void listening();

 protected:
  void connectNotify(const QMetaMethod &signal) override;

 private:
  receiver onmessage;
  QJsonArray menus;
};
