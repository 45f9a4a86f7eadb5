#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <functional>
#include <optional>
#include <string>

#include "browser/pagerecovery.h"

class browserwindow;

// Keeps the main browser on the service's start page. It loads the start
// page; when that load fails because the service cannot be reached or is
// down, and when the page's renderer ends abnormally, it shows the program's
// own connecting page and loads the start page again: after a back-off, at
// once when the network comes back, or when the user presses "Try now".
// Failed navigations of the page itself are the page's business.
class pagekeeper : public QObject {
  Q_OBJECT
 public:
  // Told true when the start page has loaded, false while the program is
  // connecting to the service or restoring the page.
  using statelistener = std::function<void(bool up)>;

  // A child of `window`, whose page it serves.
  pagekeeper(browserwindow &window, const std::string &starturl, statelistener onstate);

  // Loads the start page, as at start-up.
  void loadstartpage(const std::string &why);

 private:
  enum class mode { idle, loading, waiting, givenup };

  void onloading(const QWebEngineLoadingInfo &info);
  void onrendererended(QWebEnginePage::RenderProcessTerminationStatus status, int exitcode);
  void retrylater(const std::string &reason);
  void showconnecting(const std::string &reason, std::optional<std::chrono::milliseconds> nexttry);
  void watchnetwork();
  void seterrorpages(bool on);
  void setup(bool isup);

  browserwindow &window;
  const QUrl starturl;
  statelistener onstate;
  QTimer retrytimer;
  mode now = mode::idle;
  bool up = true;
  unsigned failures = 0;
  rendererrestarts restarts;
  bool watchingnetwork = false;
  networkreach lastreach = networkreach::unknown;
};
