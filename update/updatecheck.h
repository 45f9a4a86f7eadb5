#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <string>

#include "platform/balloons.h"
#include "update/relaunch.h"
#include "update/updaterequest.h"

// The installer's file name in the download directory; every update
// replaces it.
inline constexpr const char *installerfile = "qx_desktop.exe";
// Switches for a silent install into the program's own folder. The text
// begins and ends with a space; the backslash in the quoted argument is kept
// by the command-line splitting and reaches the installer as it is.
inline constexpr const char *installerswitches =
    " /SP- /verysilent /noicons \"/dir=expand:{pf32}\\orvalink Desktop for Windows\" ";
// Shown by the shutdown sequence when an update is pending.
inline constexpr const char *updatingtext = "orvalink Desktop for Windows is updating, please wait whilst we restart.";

// The installer file of `version` on the service at `origin` (no trailing
// slash); the version text is used exactly as given.
std::string updateurl(const std::string &origin, const std::string &version);

// The command line that runs the downloaded installer silently: its path,
// quoted only when a shell would split or change it (the data directory's
// name holds spaces), followed directly by installerswitches.
std::string installercommand(const std::string &installerpath);

// What the updater needs from the program.
struct updaterconfig {
  // The service's web origin (no trailing slash); installers come from it.
  std::string serviceorigin;
  // Where the installer is saved; made when needed.
  std::string downloaddir;
  // Every outcome is told here, titled "Update".
  balloonsink balloons;
  // The installer has arrived intact and passed its checks: keeps it, open,
  // for shutdown to start.
  std::function<void(pendingupdate update)> schedule;
  // Base64 Ed25519 public key installers must be signed with (a detached
  // signature at "<installer url>.sig"); empty: installers are not signed.
  std::string signingkey;
};

// Self-update on the page's request. UI thread only.
class updater {
 public:
  explicit updater(updaterconfig config);
  // A download still running is abandoned.
  ~updater();
  updater(const updater &) = delete;
  updater &operator=(const updater &) = delete;

  // "winRunUpdate" from the page, with the version the service offers. When
  // it is newer than this build, downloads its installer (after its
  // signature, when installers are signed) into a new file beside
  // installerfile; once the download has completed intact, its signature
  // verifies (when needed) and it proves to be a program this system can
  // start, puts it in place, schedules it and ends the event loop, so that
  // shutdown starts the file checked. An installer for another system is
  // not scheduled: the program goes on. Every outcome is told with a
  // balloon. While a download runs (or an update is already scheduled) a
  // further request is refused with a balloon.
  void run(const std::string &version);

 private:
  void tell(const QString &text) const;
  // Downloads `url` into a new file beside `name`; false (told) when that
  // file cannot be made.
  bool fetch(const std::string &name, const std::string &url, const QString &version, updaterequest::completion done);
  void signaturefetched(updaterequest &request, const std::string &url, const QString &version);
  void installerdone(updaterequest &request, const QString &version, const replacementfile *signature);
  // Whether the downloaded installer is the one signed, when installers are
  // signed, and may be started here; when not, says why (debug output) and
  // what the user can do (balloon).
  bool acceptable(const replacementfile &file, const std::string &url, const replacementfile *signature,
                  const QString &version) const;

  updaterconfig config;
  QPointer<updaterequest> download;
  bool scheduled = false;
};
