#include "app/qttrayhost.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app/desktopnotification.h"
#include "common/debuglog.h"
#include "common/uithread.h"

qttrayhost::qttrayhost(trayicon &model, std::function<void(unsigned int)> oncommand, std::function<void()> onleftclick)
    : model(model), oncommand(std::move(oncommand)), onleftclick(std::move(onleftclick)) {
  icon = new QSystemTrayIcon(this);
  menu = std::make_unique<QMenu>();
  icon->setContextMenu(menu.get());
  connect(menu.get(), &QMenu::aboutToShow, this, &qttrayhost::buildmenu);
  connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && this->onleftclick) this->onleftclick();
  });
}

qttrayhost::~qttrayhost() = default;

bool qttrayhost::add(const QString &tooltip, const QString &iconpath) {
  assertuithread();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) debugout("tray: no system tray on this desktop yet");
  this->iconpath = iconpath;
  icon->setIcon(QIcon(iconpath));
  icon->setToolTip(tooltip);
  icon->show();
  return icon->isVisible();
}

bool qttrayhost::remove() {
  assertuithread();
  icon->hide();
  return true;
}

bool qttrayhost::showballoon(const QString &text, const QString &title, balloonicon kind, int timeoutms) {
  assertuithread();
  // Balloons are also written to the debug output: on desktops without a
  // notification service they would otherwise leave no trace.
  debugout("balloon: " + title.toStdString() + " | " + text.toStdString());
  // Asked each time: a tray that starts later takes the balloons again.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (!notifying) debugout("tray: no system tray on this desktop; balloons go to desktop notifications");
    notifying = true;
    notifydesktop(title, text, kind, timeoutms, iconpath, this);
    return true;
  }
  notifying = false;
  if (kind == balloonicon::user)
    icon->showMessage(title, text, icon->icon(), timeoutms);
  else
    icon->showMessage(title, text, kind == balloonicon::info ? QSystemTrayIcon::Information : QSystemTrayIcon::NoIcon,
                      timeoutms);
  return icon->isVisible();
}

void qttrayhost::refreshmenu() {
  assertuithread();
  if (menu->isVisible()) buildmenu();
}

void qttrayhost::settooltip(const QString &tooltip) {
  assertuithread();
  debugout("tray: tooltip " + tooltip.toStdString());
  icon->setToolTip(tooltip);
}

void qttrayhost::buildmenu() {
  menu->clear();
  for (const trayentry &e : model.buildmenu()) {
    if (e.separator) {
      menu->addSeparator();
      continue;
    }
    QAction *a = menu->addAction(e.label);
    a->setCheckable(e.checked);
    a->setChecked(e.checked);
    // Entries past the last page id are shown but cannot be chosen.
    if (e.id <= cmd_pagelast) {
      const unsigned int id = static_cast<unsigned int>(e.id);
      connect(a, &QAction::triggered, this, [this, id] { oncommand(id); });
    }
  }
  QAction *about = menu->addAction(QStringLiteral("&About ..."));
  connect(about, &QAction::triggered, this, [this] { oncommand(cmd_about); });
  menu->setDefaultAction(about);
  QAction *exit = menu->addAction(QStringLiteral("&Exit"));
  connect(exit, &QAction::triggered, this, [this] { oncommand(cmd_exit); });
}
