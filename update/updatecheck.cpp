#include "update/updatecheck.h"

#include <QCoreApplication>

#include "common/buildconfig.h"
#include "common/debuglog.h"
#include "update/commandline.h"
#include "update/programkind.h"
#include "update/version.h"

namespace {

QString notfoundtext(const QString &version) {
  return "Version " + version + " not found, or no permissions to save file - please retry.";
}

}  // namespace

std::string updateurl(const std::string &origin, const std::string &version) {
  return origin + "/files/qx_desktop_" + version + ".exe";
}

std::string installercommand(const std::string &installerpath) { return shellquote(installerpath) + installerswitches; }

updater::updater(updaterconfig c) : config(std::move(c)) {}

updater::~updater() { delete download.data(); }

void updater::tell(const QString &text) const {
  if (config.balloons) config.balloons({"Update", text.toStdString(), balloonicon::user});
}

bool updater::installable(const std::string &path, const QString &version) const {
  const programkind kind = classifyfile(path);
  if (kind.runshere) return true;
  debugout("update: the installer " + path + " is " + kind.what + ", which cannot be started on this system");
  tell("Version " + version +
       " is an update for another system and cannot be installed here. This program is updated from its "
       "package, with the system's package manager.");
  return false;
}

void updater::installerdone(const updaterequest &request, const QString &version) {
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
         QString::fromStdString(config.serviceorigin) + QStringLiteral("/docs/desktop_install/ for more information."));
    return;
  }
  if (!installable(request.path(), version)) return;
  scheduled = true;
  if (config.schedule) config.schedule(installercommand(request.path()));
  tell(QStringLiteral("Update downloaded. Restarting."));
  // exit, not quit: a quit request is cancelled while a window refuses to
  // close and stays visible (the main window only hides, the tray icon's
  // window stays), so the program would never restart.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void updater::run(const std::string &version) {
  if (!QCoreApplication::instance()) return;
  const QString v = QString::fromStdString(version);
  if (!isnewerversion(version, buildconfig::version)) {
    tell(notfoundtext(v));
    return;
  }
  if (scheduled || download) {
    tell(QStringLiteral("An update is already in progress. Please wait for it to finish."));
    return;
  }
  tell("Found version " + v + ", downloading.");
  // Deletes itself once finished; ~updater deletes one still running.
  auto *request = new updaterequest;
  if (!request->openfile(config.downloaddir, installerfile)) {
    delete request;
    tell(notfoundtext(v));
    return;
  }
  download = request;
  request->start(updateurl(config.serviceorigin, version), [this, v](const updaterequest &r) {
    download = nullptr;
    installerdone(r, v);
  });
}
