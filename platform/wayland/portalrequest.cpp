#include "platform/wayland/portalrequest.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace {
const QString requestinterface = QStringLiteral("org.freedesktop.portal.Request");
}

portalrequests::portalrequests() {
  // The request path holds the caller's unique name without the colon and
  // with dots as underscores.
  sender_ = QDBusConnection::sessionBus().baseService().mid(1).replace('.', '_');
}

portalrequests::~portalrequests() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (auto &[path, p] : pending_)
    bus.disconnect(portalservice, path, requestinterface, QStringLiteral("Response"), this,
                   SLOT(onresponse(QDBusMessage)));
}

void portalrequests::call(const QString &interface, const QString &method, const QVariantList &arguments,
                          QVariantMap options, callback done, int timeoutms) {
  const QString token = QStringLiteral("orvalink%1").arg(++counter_);
  const QString path = portalpath + QStringLiteral("/request/") + sender_ + '/' + token;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.connect(portalservice, path, requestinterface, QStringLiteral("Response"), this, SLOT(onresponse(QDBusMessage)));
  pending &p = pending_[path];
  p.done = std::move(done);
  if (timeoutms > 0) {
    p.timer = new QTimer(this);
    p.timer->setSingleShot(true);
    connect(p.timer, &QTimer::timeout, this, [this, path, method] {
      finish(path, {2, {}, method + QStringLiteral(": no answer in time")});
    });
    p.timer->start(timeoutms);
  }

  options.insert(QStringLiteral("handle_token"), token);
  QDBusMessage message = QDBusMessage::createMethodCall(portalservice, portalpath, interface, method);
  QVariantList all = arguments;
  all.append(options);
  message.setArguments(all);
  auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path, method](QDBusPendingCallWatcher *w) {
    w->deleteLater();
    if (w->isError()) finish(path, {2, {}, method + QStringLiteral(": ") + w->error().message()});
  });
}

void portalrequests::onresponse(const QDBusMessage &message) {
  const QVariantList args = message.arguments();
  portalresponse response;
  if (args.size() >= 1) response.code = args[0].toUInt();
  if (args.size() >= 2) response.results = qdbus_cast<QVariantMap>(args[1]);
  if (response.code == 1)
    response.error = QStringLiteral("cancelled");
  else if (response.code != 0)
    response.error = QStringLiteral("refused");
  finish(message.path(), response);
}

void portalrequests::finish(const QString &path, const portalresponse &response) {
  const auto it = pending_.find(path);
  if (it == pending_.end()) return;
  pending p = std::move(it->second);
  pending_.erase(it);
  QDBusConnection::sessionBus().disconnect(portalservice, path, requestinterface, QStringLiteral("Response"), this,
                                           SLOT(onresponse(QDBusMessage)));
  if (p.timer) p.timer->deleteLater();
  if (p.done) p.done(response);
}

void closeportalsession(const QString &session) {
  if (session.isEmpty()) return;
  QDBusMessage message = QDBusMessage::createMethodCall(
      portalservice, session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close"));
  QDBusConnection::sessionBus().asyncCall(message);
}
