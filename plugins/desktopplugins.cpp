#include "plugins/desktopplugins.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>

#include "common/paths.h"
#include "plugins/wineprefix.h"

namespace {
// The relay's answers read on the UI thread, where they go to the page.
class notifierwatch : public readwatch {
 public:
  notifierwatch(int fd, std::function<void()> ready) : notifier(fd, QSocketNotifier::Read) {
    notifier.setEnabled(false);
    QObject::connect(&notifier, &QSocketNotifier::activated, [ready = std::move(ready)] { ready(); });
  }
  void on(bool enabled) override { notifier.setEnabled(enabled); }

 private:
  QSocketNotifier notifier;
};
}  // namespace

qxpenv desktopqxpenv(pagesink send, pagesink deliver, const std::string &datadir, balloonsink balloons) {
  qxpenv env;
  env.send = std::move(send);
  env.deliver = std::move(deliver);
  env.socketdir = runtimedir();
  env.watch = [](int fd, std::function<void()> ready) -> std::unique_ptr<readwatch> {
    return std::make_unique<notifierwatch>(fd, std::move(ready));
  };
  env.later = [](std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
  };
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
