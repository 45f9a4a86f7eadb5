#pragma once

#include <QObject>
#include <functional>
#include <string>

class QNetworkReply;

// datadir + "/qxDownloads": installers and plugin files are downloaded here.
std::string downloaddir();

// Downloads one URL into one file of downloaddir(), streaming the body to the
// file as it arrives. Used for installers and for plugin files. Runs on the
// UI thread; the object deletes itself after its completion has run.
class updaterequest : public QObject {
  Q_OBJECT
 public:
  using completion = std::function<void(const updaterequest &)>;

  explicit updaterequest(QObject *parent = nullptr);
  ~updaterequest() override;

  // Creates downloaddir() and opens downloaddir()/name for writing, truncating
  // an existing file. False when the directory or the file cannot be made.
  bool openfile(const std::string &name);
  // Starts a GET of `url`. `done` runs once when the request has finished,
  // whatever the outcome.
  void start(const std::string &url, completion done);

  // HTTP status of the response; 0 when there was none.
  int status() const;
  // The URL the finished request reports.
  const std::string &url() const;
  // Full path of the output file; empty while no file is open.
  const std::string &path() const;
  // Set when the status was not 200, a write failed, or the transfer broke off.
  bool failed() const;
};
