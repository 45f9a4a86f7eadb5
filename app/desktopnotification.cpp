#include "app/desktopnotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

#include "common/debuglog.h"

namespace {
// The notification's icon: an icon name of the desktop's theme, or a file URL.
QString iconof(balloonicon icon, const QString &iconpath) {
  if (icon == balloonicon::info) return QStringLiteral("dialog-information");
  if (icon == balloonicon::user && !iconpath.startsWith(u':') && QFileInfo(iconpath).isFile())
    return QUrl::fromLocalFile(QFileInfo(iconpath).absoluteFilePath()).toString();
  return {};
}
}  // namespace

void notifydesktop(const QString &title, const QString &text, balloonicon icon, int timeoutms, const QString &iconpath,
                   QObject *context) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // A balloon without a time of its own stays as long as the desktop's
  // notifications do (-1), rather than until dismissed (0).
  call << QStringLiteral("orvalink Desktop") << 0u << iconof(icon, iconpath) << title << text << QStringList()
       << QVariantMap() << (timeoutms > 0 ? timeoutms : -1);
  auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), context);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher *w) {
    if (w->isError()) debugout("tray: desktop notification not shown: " + w->error().message().toStdString());
    w->deleteLater();
  });
}
