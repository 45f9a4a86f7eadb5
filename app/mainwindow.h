#pragma once

#include <QWidget>
#include <optional>

#include "browser/windowcontrol.h"
#include "protocol/pagemessage.h"

class desktopservices;
class ownwindow;

// The program's main window: holds the browser view, hides instead of closing,
// and reports activation, moves and tray menu commands to the page.
class mainwindow : public QWidget, public windowcontrol {
  Q_OBJECT
 public:
  // Activation, moves and the page's tray menu commands go to `topage`;
  // keeping above and the window class are asked of `windowstate`.
  mainwindow(desktopservices &desktop, ownwindow &windowstate, pagesink topage);

  // The browser view that fills the client area.
  void setbrowserview(QWidget *view);
  // A window command: from the tray menu or posted by another program.
  void oncommand(unsigned int command);

  std::uint64_t nativeid() const override;
  bool isvisible() const override;
  void showrestore() override;
  void hide() override;
  void settopmost(bool on) override;
  void placewindow(int x, int y, int width, int height) override;

 protected:
  bool event(QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void changeEvent(QEvent *event) override;
  void moveEvent(QMoveEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

 private:
  bool browserready() const;
  void sendposition();
  void fitbrowser();
  void applytopmost();

  desktopservices &desktop;
  ownwindow &windowstate;
  pagesink topage;
  QWidget *browserview = nullptr;
  // Always-on-top asked for while the window was not yet mapped.
  std::optional<bool> pendingtopmost;
};
