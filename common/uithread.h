#pragma once

#include <QCoreApplication>
#include <QThread>
#include <QtGlobal>

// Entry points of adapters that only the UI thread may use call this: a debug
// build stops at once when another thread gets in, instead of racing on
// windows, the tray or the plugin registry. Without an application object
// (unit tests of plain decisions) there is no UI thread to compare with and
// nothing is checked. Release builds compile it away.
inline void assertuithread() {
#ifndef NDEBUG
  const QCoreApplication *app = QCoreApplication::instance();
  if (app && QThread::currentThread() != app->thread()) qFatal("a UI-thread-only adapter was called on another thread");
#endif
}
