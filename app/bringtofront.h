#pragma once

class QWidget;

// Makes a shown top-level window the active one, raised above the others,
// for a request a later start handed over (a second launch, a clicked
// telephone link). The window manager is asked the way a task bar asks
// (_NET_ACTIVE_WINDOW from a pager): a plain request from an application
// that had no user input lately falls to focus-stealing prevention. A window
// that is not mapped yet is asked for once it is, within two seconds.
void bringtofront(QWidget &window);
