#pragma once

#include <QObject>
#include <QPointer>

class QPoint;
class QString;
class browserclient;
class browserwindow;
class dispatcher;

// The program's right-click menu on one browser window: builds the menu from
// the menu model, carries out the chosen command, and opens the debug
// windows (DevTools, WebRTC internals) as further browser windows of the
// program. A child of the window it serves.
class contextmenuhandler : public QObject {
  Q_OBJECT
 public:
  contextmenuhandler(browserwindow *window, browserclient &client, dispatcher &commands);

 private:
  void onrequest(const QPoint &position);
  void oncommand(int id);
  void showdevtools();
  browserwindow *opendebugwindow(const QString &title);

  browserwindow *window;
  browserclient &client;
  dispatcher &commands;
  QPointer<browserwindow> devtools;
};

// Gives `window` the program's menu in place of the engine's.
void installcontextmenu(browserwindow *window, browserclient &client, dispatcher &commands);
