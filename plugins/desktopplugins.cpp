#include "plugins/desktopplugins.h"

#include "browser/sendtopage.h"
#include "plugins/relayprocess.h"
#include "update/updaterequest.h"

qxpenv desktopqxpenv() {
  qxpenv env;
  env.send = [](pagemessage m) { sendtopage(std::move(m)); };
  env.socketdir = runtimedirectory();
  return env;
}

downloader updaterequestdownloader() {
  return [](const std::string &name, const std::string &url, downloadcompletion done) {
    // The request deletes itself once its completion has run.
    auto *request = new updaterequest();
    request->openfile(name);
    request->start(url, [done = std::move(done)](const updaterequest &finished) {
      done(downloadresult{finished.status(), finished.url(), finished.path(), finished.failed()});
    });
  };
}
