#include "app/schemeblocker.h"

#include <QDesktopServices>

#include "browser/browserclient.h"

schemeblocker::schemeblocker() {
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "drop");
  QDesktopServices::setUrlHandler(QStringLiteral("tel"), this, "drop");
}

schemeblocker::~schemeblocker() {
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("tel"));
}

void schemeblocker::drop(const QUrl &url) {
  // The navigation rule writes the URL to the debug output.
  browserclient::onbeforebrowse(url.toString(QUrl::FullyEncoded).toStdString());
}
