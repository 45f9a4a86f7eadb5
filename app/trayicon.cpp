#include "app/trayicon.h"

#include <algorithm>

#include "common/uithread.h"

bool trayicon::create(trayhost *h, const QString &tip, const QString &icon, bool hiddenatstart) {
  assertuithread();
  enabled = true;
  host = h;
  tooltip = tip.left(127);
  iconpath = icon;
  hidden = hiddenatstart;
  if (hidden) return false;
  const bool ok = host && host->add(tooltip, iconpath);
  hidden = removed = addpending = !ok;
  if (ok) {
    for (const auto &b : held) balloon(b.text, b.title, b.icon, b.timeoutseconds);
    held.clear();
  }
  return ok;
}

bool trayicon::balloon(const QString &text, const QString &title, balloonicon icon, int timeoutseconds) {
  assertuithread();
  if (!host || removed) {
    // Without a notification area the page may ask for balloons all day:
    // only the newest few wait, already cut to what will be shown.
    if (held.size() >= maxheldballoons) held.erase(held.begin());
    held.push_back({text.left(255), title.left(63), icon, timeoutseconds});
    return false;
  }
  return host->showballoon(text.left(255), title.left(63), icon, timeoutseconds * 1000);
}

bool trayicon::balloon(const balloonrequest &request) {
  return balloon(QString::fromStdString(request.text), QString::fromStdString(request.title), request.icon,
                 request.timeoutseconds);
}

void trayicon::remove() {
  assertuithread();
  addpending = false;
  if (enabled && !removed && host && host->remove()) removed = hidden = true;
}

void trayicon::settooltip(const QString &tip) {
  assertuithread();
  tooltip = tip.left(127);
  if (host && !removed) host->settooltip(tooltip);
}

void trayicon::restore() {
  assertuithread();
  if (!enabled || !host) return;
  const bool ok = host->add(tooltip, iconpath);
  hidden = removed = !ok;
  addpending = !ok;
}

void trayicon::addmenuitem(const QString &group, const QString &label, bool checked) {
  assertuithread();
  menugroup &g = menugroups[group];
  auto it = std::find_if(g.items.begin(), g.items.end(), [&](const menuitem &i) { return i.label == label; });
  if (it != g.items.end()) {
    it->checked = checked;
    return;
  }
  g.items.push_back(menuitem{group, label, checked, -1});
  if (host) host->refreshmenu();
}

void trayicon::removemenugroup(const QString &group) {
  assertuithread();
  auto it = menugroups.find(group);
  if (it == menugroups.end()) return;
  menugroups.erase(it);
  if (host) host->refreshmenu();
}

trayicon::menuitem trayicon::finditem(int id) const {
  for (const auto &[name, g] : menugroups)
    for (const auto &i : g.items)
      if (i.id == id) return i;
  return menuitem{};
}

std::vector<trayentry> trayicon::buildmenu() {
  assertuithread();
  std::vector<trayentry> shown;
  int next = cmd_pagefirst;
  for (auto &[name, g] : menugroups) {
    g.separatorid = next++;
    shown.insert(shown.begin(), trayentry{g.separatorid, true, {}, false});
    for (auto &i : g.items) {
      i.id = next++;
      shown.insert(shown.begin(), trayentry{i.id, false, i.label, i.checked});
    }
  }
  return shown;
}
