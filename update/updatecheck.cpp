#include "update/updatecheck.h"

#include <QCoreApplication>
#include <memory>

#include "common/buildconfig.h"
#include "common/debuglog.h"
#include "common/signature.h"
#include "update/commandline.h"
#include "update/programkind.h"
#include "update/version.h"

namespace {

QString notfoundtext(const QString &version) {
  return "Version " + version + " not found, or no permissions to save file - please retry.";
}

// A download that is not the installer the service signed or that broke off.
QString brokendownloadtext(const std::string &origin) {
  return QStringLiteral(
             "An error occured whilst trying to download update. It is important, for security "
             "reasons, that this is downloaded and installed. Please see ") +
         QString::fromStdString(origin) + QStringLiteral("/docs/desktop_install/ for more information.");
}

// The installer is saved executable by its owner: it is started from the
// descriptor kept open, never made executable by name.
constexpr mode_t installermode = 0700;

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

bool updater::fetch(const std::string &name, const std::string &url, const QString &version,
                    updaterequest::completion done) {
  // Deletes itself once finished; ~updater deletes one still running.
  auto *request = new updaterequest;
  if (std::string problem; !request->openreplacement(config.downloaddir, name, problem, installermode)) {
    debugout("update: cannot save " + name + ": " + problem);
    delete request;
    tell(notfoundtext(version));
    return false;
  }
  download = request;
  request->start(url, [this, done = std::move(done)](updaterequest &r) {
    download = nullptr;
    done(r);
  });
  return true;
}

void updater::signaturefetched(updaterequest &request, const std::string &url, const QString &version) {
  if (request.status() != 200 || request.failed()) {
    debugout("update: the installer " + loggable(url) + " refused: its signature could not be fetched from " +
             loggable(url) + ".sig (status " + std::to_string(request.status()) + "); not downloaded");
    tell(notfoundtext(version));
    return;
  }
  auto signature = std::make_shared<replacementfile>(request.takefile());
  fetch(installerfile, url, version,
        [this, version, signature](updaterequest &r) { installerdone(r, version, signature.get()); });
}

bool updater::acceptable(const replacementfile &file, const std::string &url, const replacementfile *signature,
                         const QString &version) const {
  if (!config.signingkey.empty()) {
    const std::string problem = signature ? signatureproblem(file.fd(), signature->fd(), config.signingkey)
                                          : std::string("it has no signature");
    if (!problem.empty()) {
      debugout("update: the installer " + loggable(url) + " refused: " + problem + "; not started");
      tell(brokendownloadtext(config.serviceorigin));
      return false;
    }
  }
  const programkind kind = classifydescriptor(file.fd());
  if (kind.runshere) return true;
  debugout("update: the installer " + file.targetpath() + " is " + kind.what +
           ", which cannot be started on this system");
  tell("Version " + version +
       " is an update for another system and cannot be installed here. This program is updated from its "
       "package, with the system's package manager.");
  return false;
}

void updater::installerdone(updaterequest &request, const QString &version, const replacementfile *signature) {
  if (request.status() != 200) {
    // Only a refusal that came with an error page is told; no answer at all
    // leaves the "downloading" balloon as the last word.
    if (request.cancelled())
      tell(QStringLiteral("An error occured whilst trying to download the update. Please try again later."));
    return;
  }
  if (request.failed()) {
    debugout("update: the download of " + loggable(request.url()) + " failed: " + loggable(request.whyfailed()));
    tell(brokendownloadtext(config.serviceorigin));
    return;
  }
  // What is checked is what runs: the checks read the new file's
  // descriptor, and shutdown starts the file through a descriptor of it.
  replacementfile file = request.takefile();
  if (!acceptable(file, request.url(), signature, version)) return;
  std::string problem;
  pendingupdate update;
  if (file.commit(problem)) {
    update = {installercommand(file.path()), file.readonly()};
    if (!update) problem = "cannot open " + file.path() + " again";
  }
  if (!update) {
    debugout("update: the installer could not be saved: " + problem);
    tell(notfoundtext(version));
    return;
  }
  scheduled = true;
  if (config.schedule) config.schedule(std::move(update));
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
  const std::string url = updateurl(config.serviceorigin, version);
  if (config.signingkey.empty()) {
    fetch(installerfile, url, v, [this, v](updaterequest &r) { installerdone(r, v, nullptr); });
    return;
  }
  // The signature first: without one there is nothing to download.
  fetch(std::string(installerfile) + ".sig", url + ".sig", v,
        [this, url, v](updaterequest &r) { signaturefetched(r, url, v); });
}
