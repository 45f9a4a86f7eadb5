// A bare Qt WebEngine program, the baseline of the start-up, memory and page
// round-trip benchmarks: one window with one view showing one page, a named
// persistent profile, and the web channel library injected into the page with
// one object that echoes messages. With --isolated the channel lives in a
// script world of its own, as the desktop program's does, and a small relay
// there passes the page's messages on through window events. With --software
// it draws in software, as the desktop program does on a machine without a
// graphics device.
//
//   minibrowser --data=DIR [--isolated] [--software] URL [--webEngineArgs SWITCH...]
#include "bench/minibrowser.h"

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QQuickWindow>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/sandbox.h"
#include "app/startuptimes.h"

int main(int argc, char **argv) {
  // The same start-up lines as the desktop program's, for the phases'
  // comparison.
  const startuptimes startup;
  startup.entered();
  // The engine's sandbox as the program has it for the same user, so that
  // both sides of a comparison pay for it alike.
  if (choosesandbox(::getuid(), ::geteuid(), false, std::getenv("ORVALINK_NO_SANDBOX")) != sandboxstate::on)
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--webEngineArgs"; ++i)
    if (std::string_view(argv[i]) == "--software") QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  QApplication app(argc, argv);
  startup.mark("Qt application made");
  QString url, data;
  bool isolated = false;
  for (const QString &a : app.arguments().mid(1)) {
    if (a == QLatin1String("--webEngineArgs")) break;
    if (a == QLatin1String("--isolated"))
      isolated = true;
    else if (a.startsWith(QLatin1String("--data=")))
      data = a.mid(7);
    else if (!a.startsWith(QLatin1String("--")))
      url = a;
  }
  if (url.isEmpty() || data.isEmpty()) {
    std::fprintf(stderr, "usage: minibrowser --data=DIR [--isolated] [--software] URL [--webEngineArgs SWITCH...]\n");
    return 2;
  }

  QWebEngineProfile profile(QStringLiteral("minibrowser"));
  profile.setPersistentStoragePath(data + QStringLiteral("/Storage"));
  profile.setCachePath(data + QStringLiteral("/Cache"));
  startup.mark("engine profile made");

  QWebEngineView view;
  auto *page = new QWebEnginePage(&profile, &view);
  view.setPage(page);

  pingpong echo;
  QWebChannel channel;
  channel.registerObject(QStringLiteral("echo"), &echo);
  const QWebEngineScript::ScriptWorldId world =
      isolated ? QWebEngineScript::ApplicationWorld : QWebEngineScript::MainWorld;
  page->setWebChannel(&channel, world);
  QFile library(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  library.open(QIODevice::ReadOnly);
  QString source = QString::fromUtf8(library.readAll());
  // The relay: JSON text both ways, as the desktop program's relay and page
  // bridge exchange it; messages posted before the channel is up wait.
  if (isolated)
    source += QStringLiteral(R"(
(function () {
  var echo = null, waiting = [];
  window.addEventListener('__benchout', function (e) {
    var m = JSON.parse(e.detail);
    if (echo) echo.post(m); else waiting.push(m);
  });
  new QWebChannel(qt.webChannelTransport, function (channel) {
    echo = channel.objects.echo;
    echo.message.connect(function (w) {
      window.dispatchEvent(new CustomEvent('__benchin', { detail: JSON.stringify(w) }));
    });
    waiting.forEach(function (m) { echo.post(m); });
    waiting = [];
  });
})();
)");
  QWebEngineScript script;
  script.setName(QStringLiteral("webchannel"));
  script.setSourceCode(source);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(world);
  page->scripts().insert(script);

  startup.mark("view, page and channel made");
  view.resize(800, 650);
  view.show();
  page->load(QUrl(url));
  startup.mark("window shown, page asked for");
  QObject::connect(page, &QWebEnginePage::loadFinished, &app, [&startup, once = false]() mutable {
    if (!once) startup.mark("first page load ended");
    once = true;
  });
  const int status = app.exec();
  // The page goes before the profile it uses.
  delete page;
  return status;
}
