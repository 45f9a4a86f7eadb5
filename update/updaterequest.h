#pragma once

#include <sys/types.h>

#include <QFile>
#include <QObject>
#include <functional>
#include <string>

#include "common/ownfiles.h"

class QNetworkAccessManager;
class QNetworkReply;

// datadir + "/qxDownloads": installers and plugin files are downloaded here.
std::string downloaddir(const std::string &datadir);

// Downloads one URL into one file of the download directory, streaming the
// body to the file as it arrives. Used for installers and for plugin files. Runs on the
// UI thread (it needs a running Qt event loop); the object deletes itself
// after its completion has run. Each request has its own network manager, so
// requests share no state and need nothing global.
class updaterequest : public QObject {
  Q_OBJECT
 public:
  using completion = std::function<void(updaterequest &)>;

  explicit updaterequest(QObject *parent = nullptr);
  ~updaterequest() override;

  // Creates `directory` and opens directory/name for writing, truncating an
  // existing file. False when the directory or the file cannot be made, or
  // when `name` is not a plain file name (empty, "..", holds a '/'). The
  // directory is made with mode 0700; an existing one must be this user's.
  bool openfile(const std::string &directory, const std::string &name);
  // For a file that is checked before it is used: the body goes to a new
  // file beside directory/name (a replacementfile), which the request leaves
  // as it is; the completion takes it (takefile) to check it and put it in
  // place; it is made with `mode`. False, with the reason in `problem`, when
  // it cannot be made.
  bool openreplacement(const std::string &directory, const std::string &name, std::string &problem, mode_t mode = 0600);
  // The file opened with openreplacement, handed over.
  replacementfile takefile();
  // Starts a GET of `url`. `done` runs once when the request has finished,
  // whatever the outcome. A second call while one runs is ignored.
  void start(const std::string &url, completion done);

  // HTTP status of the response; 0 when there was none.
  int status() const;
  // The URL given to start(), unchanged (also after redirects).
  const std::string &url() const;
  // Full path of the output file; empty while no file is open.
  const std::string &path() const;
  // Set when the status was not 200, a write failed, or the transfer broke off.
  bool failed() const;
  // Set when a response other than 200 carried a body: the request was
  // cancelled at its first chunk (an error page, not the file asked for).
  bool cancelled() const;
  // Why a transfer with a good status failed, for the debug output (empty
  // when it did not fail).
  const std::string &whyfailed() const;

 private:
  void onreadyread();
  void writeavailable();
  void cancel();
  void onfinished();

  QNetworkAccessManager *manager;
  QNetworkReply *reply = nullptr;
  QFile file;
  replacementfile replacement;
  std::string urltext;
  std::string filepath;
  int httpstatus = 0;
  qint64 received = 0;
  std::string failure;
  bool hasfailed = false;
  bool wascancelled = false;
  completion done;
};
