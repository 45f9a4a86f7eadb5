// The program's entry: start-up in a fixed order, the event loop, and the
// shutdown sequence.
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QPointer>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "app/appglobals.h"
#include "app/autostart.h"
#include "app/bringtofront.h"
#include "app/cmdline.h"
#include "app/commandsocket.h"
#include "app/connectionnotice.h"
#include "app/dialrelay.h"
#include "app/dialuri.h"
#include "app/dispatchtargets.h"
#include "app/handover.h"
#include "app/mainwindow.h"
#include "app/qtdesktop.h"
#include "app/qttrayhost.h"
#include "app/rendering.h"
#include "app/sandbox.h"
#include "app/schemeblocker.h"
#include "app/startuptimes.h"
#include "app/stderrlog.h"
#include "app/usage.h"
#include "app/windowevents.h"
#include "authserver/callbackserver.h"
#include "automation/scripthost.h"
#include "browser/browserapp.h"
#include "browser/browserclient.h"
#include "browser/browserwindow.h"
#include "browser/dispatcher.h"
#include "browser/downloadsaver.h"
#include "browser/pagekeeper.h"
#include "browser/sendtopage.h"
#include "common/buildconfig.h"
#include "common/debuglog.h"
#include "common/logfile.h"
#include "common/ownfiles.h"
#include "common/paths.h"
#include "platform/desktopbackend.h"
#include "plugins/desktopplugins.h"
#include "plugins/wineprefix.h"
#include "update/relaunch.h"
#include "update/updatecheck.h"
#include "update/updaterequest.h"

namespace {

// The longest the tray icon waits for the first page load.
constexpr std::chrono::milliseconds traywait{1000};

// The program's own icon, read as the PNG it is: an image reader left to
// find a file's format loads every image format plugin to ask each of them.
QIcon builtinicon() {
  QImageReader reader(QStringLiteral(":/app/orvalink.png"), "png");
  reader.setAutoDetectImageFormat(false);
  return QIcon(QPixmap::fromImage(reader.read()));
}

// Plugin files are fetched like installers, into the download directory.
// Requests still running when `owner` goes are deleted with it.
downloader plugindownloader(std::string directory, QObject &owner) {
  return [directory = std::move(directory), &owner](const std::string &name, const std::string &url,
                                                    downloadcompletion done) {
    // The request deletes itself once its completion has run.
    auto *request = new updaterequest(&owner);
    if (std::string problem; !request->openreplacement(directory, name, problem)) {
      debugout("plugin download of " + loggable(url) + " refused: " + problem);
      delete request;
      return;
    }
    request->start(url, [done = std::move(done)](updaterequest &finished) {
      done(downloadresult{finished.status(), finished.url(), finished.failed(), finished.takefile()});
    });
  };
}

// The browser profile: cache and storage in the data directory, or in memory
// when that directory cannot be made. Every page using it must be gone
// before it is.
std::unique_ptr<QWebEngineProfile> makeprofile(const std::string &datadir) {
  std::unique_ptr<QWebEngineProfile> profile;
  std::string problem;
  if (openowndir(datadir, problem)) {
    profile = std::make_unique<QWebEngineProfile>(QStringLiteral("orvalink"));
    profile->setPersistentStoragePath(QString::fromStdString(datadir + "/Storage"));
    profile->setCachePath(QString::fromStdString(datadir + "/Cache"));
  } else {
    debugout("data directory cannot be used (" + problem + "): browser data is kept in memory only");
    profile = std::make_unique<QWebEngineProfile>();
  }
  profile->setHttpUserAgent(QStringLiteral("vaVederorIduroru/") + QString::fromLatin1(buildconfig::version));
  return profile;
}

// Owns the main browser window. The window deletes itself once it has closed
// (the Exit path); while it is still open, its owner deletes it.
class mainbrowserowner {
 public:
  mainbrowserowner() = default;
  mainbrowserowner(const mainbrowserowner &) = delete;
  mainbrowserowner &operator=(const mainbrowserowner &) = delete;
  ~mainbrowserowner() { reset(); }

  void reset(browserwindow *browser = nullptr) {
    delete window.data();
    window = browser;
  }
  browserwindow *operator->() const { return window.data(); }
  browserwindow &operator*() const { return *window; }

 private:
  QPointer<browserwindow> window;
};

}  // namespace

int main(int argc, char **argv) {
  const startuptimes startup;
  const cmdline options = parsecmdline(std::vector<std::string>(argv, argv + argc));
  if (options.help || options.version) {
    std::fputs((options.help ? helptext() : versiontext()).c_str(), stdout);
    return 0;
  }
  if (options.autostart) return runautostart(*options.autostart, options.serviceorigin);
  if (options.command) return commandsocket::post(*options.command);
  if (options.hotkey) return commandsocket::presshotkey(*options.hotkey);
  std::optional<std::string> dialnumber;
  if (options.dialuri) {
    dialnumber = dialablenumber(*options.dialuri);
    if (!dialnumber) {
      std::fprintf(stderr, "orvalink-desktop: no number to dial in %s (at most %zu digits, '+', '*' or '#')\n",
                   options.dialuri->c_str(), maxdialbytes);
      return 2;
    }
  }
  // A copy already running takes the request and comes to the front. Its
  // scripts may hold its event loop for up to 10 s, hence the long wait.
  const handoverrequest handover =
      dialnumber ? handoverrequest{handoverrequest::kind::dial, *dialnumber, {}} : handoverrequest{};
  switch (sendtorunningcopy(commandsocketpath(), handoverline(handover), std::chrono::seconds(15))) {
    case handoverresult::delivered:
      return 0;
    case handoverresult::notrunning:
    case handoverresult::gone:
      break;
    case handoverresult::refused:
    case handoverresult::noanswer:
      std::fprintf(stderr, "orvalink-desktop: a running copy did not take the request\n");
      return 1;
  }
  // The engine's sandbox stays on unless it cannot run (root) or the user
  // turned it off; the engine reads this variable when it starts.
  const sandboxstate sandbox =
      choosesandbox(::getuid(), ::geteuid(), options.nosandbox, std::getenv("ORVALINK_NO_SANDBOX"));
  if (sandbox != sandboxstate::on) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  startup.entered();
  startup.mark("no running copy to hand over to");
  debugout(sandboxline(sandbox));
  // The desktop backend for this session. The program's own windows use its
  // Qt platform: X11 wherever there is one (under Wayland through XWayland),
  // so that placement, pinning and activation work.
  const sessionenvironment session = currentsession();
  const desktopkind backendkind = choosedesktop(session);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", qtplatformfor(backendkind, session));
  // Set through Qt's interface rather than its environment variable, which
  // would reach every program started from here (the system browser too).
  const drawing draw =
      choosedrawing(graphicsdevicein("/dev"), std::getenv("QT_QUICK_BACKEND"), std::getenv("QSG_RHI_BACKEND"));
  if (draw == drawing::software) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  debugout(drawingline(draw));

  // 1. The application state.
  auto globals = std::make_unique<appglobals>();
  globals->instance = executablepath();
  if (options.serviceorigin) globals->serviceorigin = *options.serviceorigin;
  // The browser client exists from the start, so that every module can be
  // given the page sink made from it; until the main browser shows the page,
  // the sink drops what it is given.
  globals->app->client = std::make_shared<browserclient>();
  browserclient &client = *globals->app->client;
  client.serviceorigin = globals->serviceorigin;
  // exit, not quit: quit first asks every window to close and is cancelled
  // when one refuses, as the debug windows do, leaving the program running.
  client.quitmessageloop = [] { QCoreApplication::exit(0); };
  client.onbrowsercreated = [&globals] { globals->browsercreated = true; };
  client.onmainclosing = [&globals] { globals->browserclosing = true; };
  const pagesink topage = makepagesink(globals->app->client);
  const std::string exedir = exedirof(globals->instance);
  // When an update's installer cannot start, the program starts again as it
  // was started, but without a telephone link: that was dialled already.
  std::vector<std::string> startarguments(argv + 1, argv + argc);
  std::erase_if(startarguments, [](const std::string &a) { return isdialuri(a); });
  restartonexit restart(globals->instance, std::move(startarguments));
  // The engine's verbose log (and everything else written to standard error)
  // also goes to cef_debug.log beside the executable, or where the
  // executable's directory cannot take it, in the user's state directory.
  runlog debuglog = opendebuglog(exedir);
  const std::string debuglogpath = debuglog.path;
  stderrlog enginelog(std::move(debuglog.fd));
  if (!debuglog.note.empty()) debugout(debuglog.note);
  debugout("debug log: " + (debuglogpath.empty() ? std::string("none") : debuglogpath));

  // 2-3. The engine's settings travel as command-line switches.
  std::vector<std::string> args = engineargs(options.rest, debuglogpath);
  std::vector<char *> qargv;
  for (std::string &a : args) qargv.push_back(a.data());
  qargv.push_back(nullptr);
  int qargc = static_cast<int>(args.size());
  QApplication app(qargc, qargv.data());
  app.setQuitOnLastWindowClosed(false);
  app.setApplicationName(QStringLiteral("orvalink-desktop"));
  app.setWindowIcon(builtinicon());
  startup.mark("Qt application made");

  // 5-6. The script host runs settings.lua: data directory, title, icon.
  // Balloons asked for before the tray icon exists wait for it.
  const balloonsink balloons = [&globals](const balloonrequest &b) { globals->tray.balloon(b); };
  automationservices scriptservices;
  scriptservices.page = topage;
  scriptservices.balloons = balloons;
  scriptservices.togglemainwindow = [&globals] {
    if (globals->mainwindow) globals->mainwindow->togglewindow();
  };
  desktopbackend backend = makedesktopbackend(backendkind, balloons);
  // Hotkeys pressed through a desktop keybinding reach the running copy as
  // requests; the script state owns the service from here on.
  hotkeyservice *namedhotkeys = backend.automation ? backend.automation->hotkeys.get() : nullptr;
  const scriptsettings settings =
      initscripting(settingsdirof(globals->instance), "settings.lua", std::move(backend.automation), scriptservices);
  globals->lua.reset(settings.lua);
  globals->datadir = settings.datadir;
  if (!settings.icon.empty()) globals->icon = QString::fromStdString(settings.icon);
  if (!settings.title.empty()) globals->title = QString::fromStdString(settings.title);
  debugout("data directory: " + globals->datadir);
  startup.mark("desktop backend and settings.lua");

  // 7-8. The main window at the bottom-right corner of the primary screen.
  qtdesktop desktop;
  mainwindow window(desktop, *backend.window, topage);
  window.setWindowTitle(globals->title);
  const QRect screen = app.primaryScreen() ? app.primaryScreen()->geometry() : QRect(0, 0, 800, 650);
  const placement at = mainwindowplacement(screen.width(), screen.height());
  window.setGeometry(at.x, at.y, at.width, at.height);
  globals->mainwindow = &window;

  // 9. The tray icon. Making and docking Qt's tray icon takes several
  // milliseconds of this thread, which the first page would wait for: it is
  // added once the first page load has ended, or after traywait if that takes
  // longer. Until then the model keeps the tooltip and the page's menu
  // entries, and balloons wait.
  const QString traytooltip = QStringLiteral("orvalink Desktop");
  globals->tray.settooltip(traytooltip);
  std::optional<qttrayhost> trayhost;
  const auto addtray = [&globals, &trayhost, &window, &startup] {
    if (trayhost) return;
    trayhost.emplace(
        globals->tray, [&window](unsigned int id) { window.oncommand(id); }, [&window] { window.togglewindow(); });
    globals->tray.create(&*trayhost, globals->tray.tooltip, globals->icon, false);
    startup.mark("tray icon");
  };
  QTimer::singleShot(traywait, &app, addtray);
  // The tooltip and a balloon tell the user when the page cannot reach the service.
  connectionnotice connection(globals->tray, traytooltip, balloons);
  startup.mark("window");

  // 10. The browser engine, then the main browser. The browser is made before
  // the window is shown: Qt remakes a window already on screen when a view
  // drawn with OpenGL is added to it, which would hold back the first page.
  schemeblocker blocker;
  std::unique_ptr<QWebEngineProfile> profile = makeprofile(globals->datadir);
  installdownloads(profile.get(), globals->datadir);
  desktop.profile = profile.get();
  QObject plugindownloads;
  const qxpenv pluginenv = desktopqxpenv(topage, makepagesinkhere(globals->app->client), globals->datadir, balloons);
  pluginhost plugins(globals->plugins, pluginenv, plugindownloader(downloaddir(globals->datadir), plugindownloads),
                     {globals->serviceorigin, buildconfig::signingkey});
  updater updates({globals->serviceorigin, downloaddir(globals->datadir), balloons,
                   [&globals](pendingupdate update) { globals->update = std::move(update); }, buildconfig::signingkey});
  traymenuadapter pagemenu(globals->tray);
  pluginrequestsadapter pageplugins(plugins);
  // Set once the sign-in listener has started: another user's copy holds its
  // port, so a sign-in in the system browser would complete in that copy.
  std::optional<uid_t> signinheldby;
  dispatcher commands({desktop, window, pagemenu, pageplugins, balloons,
                       [&updates](const std::string &version) { updates.run(version); },
                       [&globals](const std::string &jsontext) {
                         if (globals->lua) onpageevent(globals->lua.get(), jsontext);
                       },
                       [&signinheldby, &balloons] {
                         if (signinheldby)
                           balloons({std::string(signintitle), std::string(signinblockedtext), balloonicon::info});
                       }});
  // Telephone links are dialled the way qx.dial does, once the page can take them.
  dialrelay dials([&topage](const std::string &number) { topage(pagemessage(std::string(msg::dial), {number})); });
  if (dialnumber) dials.request(*dialnumber);
  startup.mark("engine profile and plugin host");

  mainbrowserowner mainbrowser;
  auto *browser = new browserwindow(profile.get(), *globals->app->client, commands);
  mainbrowser.reset(browser);
  QObject::connect(browser, &browserwindow::pageconnected, &app, [&dials](bool up) { dials.pageconnected(up); });
  window.setbrowserview(mainbrowser->view());
  // The keeper loads the start page and brings it back after an outage of
  // the service or the end of its renderer; the window owns it.
  auto *keeper = new pagekeeper(*mainbrowser, globals->serviceorigin + "/a/desktop/",
                                [&connection](bool up) { connection.changed(up); });
  keeper->loadstartpage("start-up");
  startup.mark("main browser made, start page asked for");
  QObject::connect(mainbrowser->view(), &QWebEngineView::loadFinished, &app,
                   [&startup, &addtray, once = std::make_shared<bool>(false)] {
                     if (!*once) startup.mark("first page load ended");
                     *once = true;
                     addtray();
                   });

  // 11. The automation module.
  loadautomation(globals->lua.get());
  startup.mark("automation.lua");

  // 12. The sign-in listener.
  callbackserverconfig signin;
  signin.notify = topage;
  std::unique_ptr<callbackserver> signinlistener = startcallbackserver(std::move(signin));
  signinheldby = signinlistener->heldbyotheruser();

  // Commands posted by other programs, and the requests of later starts.
  commandsocket commandlistener([&window](unsigned int command) { window.oncommand(command); },
                                [&window, &backend, &dials, &namedhotkeys](const handoverrequest &r) {
                                  if (r.what == handoverrequest::kind::hotkey) {
                                    if (!namedhotkeys || !namedhotkeys->firenamed(r.name))
                                      debugout("hotkey " + r.name + ": no such hotkey");
                                    return;
                                  }
                                  window.showrestore();
                                  bringtofront(window, *backend.window);
                                  if (r.what == handoverrequest::kind::dial) dials.request(r.number);
                                });
  commandlistener.listen();

  // 13. Show the window in front.
  window.showNormal();
  window.raise();
  window.activateWindow();
  startup.mark("sign-in listener, command socket, window shown");

  // 14. The event loop runs until the main browser has closed or an update
  // has been scheduled.
  app.exec();
  // A copy started from now on (the update's installer may start one) runs on its own.
  commandlistener.close();
  namedhotkeys = nullptr;

  // Shutdown, strictly in this order.
  if (globals->update) {
    debugout("shutdown: update balloon");
    globals->tray.balloon({"Update", updatingtext, balloonicon::user});
  }
  debugout("shutdown: stopping plugins");
  finiplugins(globals->plugins);
  debugout("shutdown: stopping the sign-in listener");
  stopcallbackserver(std::move(signinlistener));
  // Time for the plugin workers to make their "fini" calls and end before
  // the application state releases them.
  debugout("shutdown: pause");
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  // A plugin still busy now answers nobody and is called no more.
  closeplugins(globals->plugins);
  // Windows plugins' hosts end with their Wine server.
  pluginenv.wine->stop();
  if (globals->update) {
    debugout("shutdown: starting the update command");
    if (startupdate(globals->update) < 0) restart.request();
  }
  // The owned parts go in this order: the main browser (with its debug
  // windows) and the client before the profile their pages use; the script
  // state, with its desktop backend, before the application state, which
  // releases the plugins.
  debugout("shutdown: browser engine");
  mainbrowser.reset();
  globals->app->client.reset();
  profile.reset();
  debugout("shutdown: tray icon removed");
  globals->tray.remove();
  debugout("shutdown: scripts closed");
  globals->lua.reset();
  debugout("shutdown: application state released");
  globals->mainwindow = nullptr;
  skipexitcleanupifbusy(globals->plugins);
  globals.reset();
  return 0;
}
