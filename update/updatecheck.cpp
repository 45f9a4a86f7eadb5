#include "update/updatecheck.h"

#include <QCoreApplication>
#include <QString>

#include "app/appglobals.h"
#include "common/buildconfig.h"
#include "update/commandline.h"
#include "update/updaterequest.h"
#include "update/version.h"

namespace {

// The running installer download is the application object's child of this
// name, so a second request can find it without any state of its own.
const QString installerdownloadname = QStringLiteral("installerdownload");

void tell(const QString &text) {
  if (appglobals *g = appglobals::current()) g->tray.balloon(text, QStringLiteral("Update"), niif_user, 10);
}

QString notfoundtext(const QString &version) {
  return "Version " + version + " not found, or no permissions to save file - please retry.";
}

bool updateunderway() {
  const appglobals *g = appglobals::current();
  return !g->updatecommand.empty() || QCoreApplication::instance()->findChild<updaterequest *>(
                                          installerdownloadname, Qt::FindDirectChildrenOnly);
}

void installerdone(const updaterequest &request) {
  appglobals *g = appglobals::current();
  if (!g) return;
  if (request.status() != 200) {
    // Only a refusal that came with an error page is told; no answer at all
    // leaves the "downloading" balloon as the last word.
    if (request.cancelled())
      tell(QStringLiteral("An error occured whilst trying to download the update. Please try again later."));
    return;
  }
  if (request.failed()) {
    tell(QStringLiteral("An error occured whilst trying to download update. It is important, for security "
                        "reasons, that this is downloaded and installed. Please see ") +
         QString::fromStdString(g->serviceorigin) +
         QStringLiteral("/docs/desktop_install/ for more information."));
    return;
  }
  g->updatecommand = installercommand(request.path());
  tell(QStringLiteral("Update downloaded. Restarting."));
  // exit, not quit: a quit request is cancelled while a window refuses to
  // close and stays visible (the main window only hides, the tray icon's
  // window stays), so the program would never restart.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

}  // namespace

std::string updateurl(const std::string &origin, const std::string &version) {
  return origin + "/files/qx_desktop_" + version + ".exe";
}

std::string installercommand(const std::string &installerpath) {
  return shellquote(installerpath) + installerswitches;
}

void runupdate(const std::string &version) {
  appglobals *g = appglobals::current();
  if (!g || !QCoreApplication::instance()) return;
  const QString v = QString::fromStdString(version);
  if (!isnewerversion(version, buildconfig::version)) {
    tell(notfoundtext(v));
    return;
  }
  if (updateunderway()) {
    tell(QStringLiteral("An update is already in progress. Please wait for it to finish."));
    return;
  }
  tell("Found version " + v + ", downloading.");
  auto *request = new updaterequest(QCoreApplication::instance());
  if (!request->openfile(installerfile)) {
    delete request;
    tell(notfoundtext(v));
    return;
  }
  request->setObjectName(installerdownloadname);
  request->start(updateurl(g->serviceorigin, version), [request](const updaterequest &r) {
    request->setObjectName(QString());
    installerdone(r);
  });
}
