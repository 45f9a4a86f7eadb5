#include "plugins/desktopplugins.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "common/paths.h"
#include "plugins/wineprefix.h"

qxpenv desktopqxpenv(pagesink send, const std::string &datadir, balloonsink balloons) {
  qxpenv env;
  env.send = std::move(send);
  env.socketdir = runtimedir();
  // The balloon is shown on the UI thread; the prefix is made on a worker.
  env.wine = std::make_shared<wineprefix>(datadir + "/wine", [balloons = std::move(balloons)] {
    QMetaObject::invokeMethod(QCoreApplication::instance(), [balloons] {
      if (balloons)
        balloons({"Windows plugins", "Preparing Wine for the service's Windows plugins; this takes a few seconds once.",
                  balloonicon::info});
    });
  });
  return env;
}
