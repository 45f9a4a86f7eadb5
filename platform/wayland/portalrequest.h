#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <map>

class QTimer;

// The desktop portal service and object every portal interface lives on.
inline const QString portalservice = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalpath = QStringLiteral("/org/freedesktop/portal/desktop");

// The answer to a portal request: 0 done, 1 cancelled by the user, 2 failed
// (also when the call itself failed or no answer came in time; `error` then
// says why).
struct portalresponse {
  unsigned code = 2;
  QVariantMap results;
  QString error;
};

// Portal methods that answer later through a Request object: the Response
// signal of the request's path (known from the bus name and a handle token
// of ours) is subscribed to before the call, so that no answer is missed.
// Asynchronous; callbacks run on the UI thread.
class portalrequests : public QObject {
  Q_OBJECT
 public:
  using callback = std::function<void(const portalresponse &)>;
  portalrequests();
  ~portalrequests() override;
  // Calls interface.method(arguments..., options + handle_token); `done`
  // gets the response, or a failure after `timeoutms` (0: waits for as long
  // as the desktop takes, e.g. for the user to answer a dialog).
  void call(const QString &interface, const QString &method, const QVariantList &arguments, QVariantMap options,
            callback done, int timeoutms);

 private slots:
  void onresponse(const QDBusMessage &message);

 private:
  struct pending {
    callback done;
    QTimer *timer = nullptr;
  };
  void finish(const QString &path, const portalresponse &response);
  QString sender_;
  unsigned counter_ = 0;
  std::map<QString, pending> pending_;
};

// Asks the portal to end a session (its handle from CreateSession); no answer
// is awaited.
void closeportalsession(const QString &session);
