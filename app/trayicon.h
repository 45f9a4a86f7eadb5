#pragma once

#include <QString>
#include <map>
#include <vector>

#include "platform/balloons.h"

// Fixed tray menu commands.
inline constexpr int cmd_about = 104;
inline constexpr int cmd_exit = 105;
// Page entries are numbered from here each time the menu is built; only
// numbers up to cmd_pagelast can be chosen.
inline constexpr int cmd_pagefirst = 15000;
inline constexpr int cmd_pagelast = 15100;
inline constexpr int cmd_clipboardcall = 15101;

// What the tray icon needs from the desktop: the notification-area icon, its
// balloons and its popup menu. Implemented over QSystemTrayIcon; tests use a
// recording fake.
class trayhost {
 public:
  virtual ~trayhost() = default;
  virtual bool add(const QString &tooltip, const QString &iconpath) = 0;
  virtual bool remove() = 0;
  virtual bool showballoon(const QString &text, const QString &title, balloonicon icon, int timeoutms) = 0;
  // The page entries of an open popup menu changed: rebuild it.
  virtual void refreshmenu() = 0;
  virtual void settooltip(const QString &tooltip) = 0;
};

// One entry of the popup menu as shown, from the top.
struct trayentry {
  int id = -1;
  bool separator = false;
  QString label;
  bool checked = false;
};

// The notification-area icon, its balloons and the page-defined part of its
// menu. Lives in appglobals; used on the UI thread only.
class trayicon {
 public:
  struct menuitem {
    QString group;
    QString label;
    bool checked = false;
    int id = -1;  // given when the menu is built
  };
  struct menugroup {
    std::vector<menuitem> items;
    int separatorid = -1;
  };

  trayhost *host = nullptr;
  bool enabled = false;
  bool hidden = true;
  bool removed = true;
  bool addpending = false;
  QString tooltip;
  QString iconpath;
  // Groups ordered by their UTF-16 names.
  std::map<QString, menugroup> menugroups;
  struct heldballoon {
    QString text, title;
    balloonicon icon = balloonicon::none;
    int timeoutseconds = 0;
  };
  // At most maxheldballoons, the newest.
  static constexpr std::size_t maxheldballoons = 5;
  std::vector<heldballoon> held;

  // Adds the icon (unless hidden). Returns whether it was added.
  bool create(trayhost *h, const QString &tip, const QString &icon, bool hiddenatstart);
  // Shows a balloon: text cut to 255 UTF-16 units, title to 63. Balloons
  // asked for before the icon exists are held (the newest
  // maxheldballoons) and shown once it is created.
  bool balloon(const QString &text, const QString &title, balloonicon icon, int timeoutseconds);
  // The same for a module's request: the program's balloon sink.
  bool balloon(const balloonrequest &request);
  void remove();
  // Changes the tooltip (cut to 127 UTF-16 units), also of an icon added later.
  void settooltip(const QString &tip);
  // The notification area came back (its host restarted): add the icon again.
  void restore();

  void addmenuitem(const QString &group, const QString &label, bool checked);
  void removemenugroup(const QString &group);
  // The item built with this id, or an item whose id is -1.
  menuitem finditem(int id) const;
  // Numbers the page entries from cmd_pagefirst and returns them as shown
  // from the top (each insertion goes to the top of the menu).
  std::vector<trayentry> buildmenu();
};
