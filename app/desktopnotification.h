#pragma once

#include <QString>

#include "platform/balloons.h"

class QObject;

// A balloon shown as a desktop notification (org.freedesktop.Notifications),
// for desktops without a tray to show it at. `iconpath` is the program's
// icon file for balloonicon::user (ignored unless it is a file). The call is
// asynchronous; a failure (no notification service) is said in the debug
// output once the answer arrives, while `context` lives.
void notifydesktop(const QString &title, const QString &text, balloonicon icon, int timeoutms, const QString &iconpath,
                   QObject *context);
