#pragma once

#include <QJsonArray>
#include <QObject>

// The web channel object of the bare browser: every message the page posts
// comes straight back through the message() signal, in the same wire form as
// the desktop program's page bridge ([name, arg0, ...]).
class pingpong : public QObject {
  Q_OBJECT
 public:
  Q_INVOKABLE void post(const QJsonArray &wire) { emit message(wire); }

 signals:
  void message(const QJsonArray &wire);
};
