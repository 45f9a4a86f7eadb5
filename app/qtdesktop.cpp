#include "app/qtdesktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "app/qtclipboard.h"
#include "browser/linkrules.h"
#include "common/debuglog.h"

int qtdesktop::screenwidth() const {
  const QScreen *s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 0;
}

int qtdesktop::screenheight() const {
  const QScreen *s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 0;
}

void qtdesktop::openurl(const std::string &url) {
  if (!systembrowsermayopen(url)) {
    debugout("system browser: refused, not an http or https address: " + url);
    return;
  }
  debugout("open in system browser: " + url);
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void qtdesktop::clearcookies() {
  if (profile) profile->cookieStore()->deleteAllCookies();
}

void qtdesktop::setclipboardtext(const std::string &bytes) { ::setclipboardtext(bytes); }
