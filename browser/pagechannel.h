#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>

#include "protocol/pagemessage.h"

// The native end of the page bridge, published over QWebChannel as
// "orvabridge" to the relay script, which runs in the page's top frame in a
// script world of its own. The relay connects with newdocument(), which gives
// the document its number; it then posts the page's messages with post(),
// tagged with that number. Messages for the page go out through send(). Both
// use the wire form [name, arg0, arg1, ...].
class pagechannel : public QObject {
  Q_OBJECT
 public:
  struct handlers {
    // A message the page posted from the document numbered `document`.
    std::function<void(const pagemessage &, int document)> post;
    // A document has connected: the number it is given.
    std::function<int()> newdocument;
    // The user clicked the link `href` ("" for a click on no link) in a
    // document.
    std::function<void(const QString &href, int document)> linkclicked;
  };
  explicit pagechannel(handlers on, QObject *parent = nullptr) : QObject(parent), on(std::move(on)) {}

  // Answers with the messages for the page that were sent while the post was
  // handled, oldest first.
  Q_INVOKABLE QJsonArray post(const QJsonArray &wire, int document);
  // Answers {"document": its number, "menus": menuentries()}. The relay
  // listens to message() before it asks, so everything sent after this
  // answer reaches that document.
  Q_INVOKABLE QJsonObject newdocument();
  Q_INVOKABLE void linkclicked(const QString &href, int document);

  // The tray menu entries [group, label] the page has made, oldest first.
  // The page's state outlives its documents: every new document starts with
  // them. Kept even when their group leaves the menu, as the page keeps them.
  const QJsonArray &menuentries() const { return menus; }
  // Notes the entry a "winInsertMenu" names; true when it is a new one.
  bool notemenuentry(const pagemessage &insert);

  // Sends a message to the page. One sent while a post is handled (an answer
  // made at once) goes in the channel's reply to that post, which is sent
  // anyway: one message to the renderer instead of two. Any other goes out
  // with message() at once, after those still held, so that the page gets
  // them in the order they were sent.
  void send(const QJsonArray &wire);

 signals:
  void message(const QJsonArray &wire);

 private:
  handlers on;
  QJsonArray menus;
  // The reply of the post being handled, and the level of the UI thread's
  // event loop it is handled on: what a nested loop (a dialog) sends is not
  // held until the handler returns.
  QJsonArray *reply = nullptr;
  int replylevel = 0;
};
