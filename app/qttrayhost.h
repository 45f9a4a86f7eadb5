#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "app/trayicon.h"

class QMenu;
class QSystemTrayIcon;

// The tray icon on this desktop: QSystemTrayIcon with a popup menu rebuilt
// from the tray icon's menu model each time it opens. While the desktop has
// no tray, balloons are shown as desktop notifications instead.
class qttrayhost : public QObject, public trayhost {
  Q_OBJECT
 public:
  // `model` builds the page entries; `oncommand` receives chosen ids;
  // `onleftclick` runs on a left click on the icon.
  qttrayhost(trayicon &model, std::function<void(unsigned int)> oncommand, std::function<void()> onleftclick);
  ~qttrayhost() override;

  bool add(const QString &tooltip, const QString &iconpath) override;
  bool remove() override;
  bool showballoon(const QString &text, const QString &title, balloonicon kind, int timeoutms) override;
  void refreshmenu() override;
  void settooltip(const QString &tooltip) override;

 private:
  void buildmenu();

  trayicon &model;
  std::function<void(unsigned int)> oncommand;
  std::function<void()> onleftclick;
  QSystemTrayIcon *icon = nullptr;  // a child of this object
  QString iconpath;
  bool notifying = false;  // the last balloon went to desktop notifications
  // A widget, so it cannot be a child of this object; the icon does not own it.
  std::unique_ptr<QMenu> menu;
};
