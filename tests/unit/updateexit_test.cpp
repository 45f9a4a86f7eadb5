// needs: gui
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "tests/update/fakehttp.h"
#include "tests/update/recordingballoons.h"
#include "update/updatecheck.h"

namespace {

// A window that stays open when asked to close, as the tray icon's window
// does while the program runs.
class stayingwindow : public QWidget {
 protected:
  void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

// A downloaded update must end the event loop even though a window refuses
// to close and stays visible (that cancels a quit request).
TEST(runupdate, ends_the_event_loop_although_the_window_refuses_to_close) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char arg0[] = "updateexit";
  char *argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  QTemporaryDir tmp;
  recordingballoons told;
  fakehttp server;
  updater updates({server.origin(), downloaddir(tmp.path().toStdString()), told.sink(), {}, {}});
  server.handler = [](const std::string &) { return fakehttp::response{200, "#!/bin/sh\n"}; };
  stayingwindow window;
  window.show();

  updates.run("1.2.0");
  bool timedout = false;
  QTimer::singleShot(10000, &app, [&] {
    timedout = true;
    QCoreApplication::exit(1);
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(timedout);
  EXPECT_EQ(told.texts().last(), "Update downloaded. Restarting.");
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
