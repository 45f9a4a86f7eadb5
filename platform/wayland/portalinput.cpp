#include "platform/wayland/portalinput.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QScreen>

#include "common/debuglog.h"
#include "platform/wayland/waylandkeys.h"

namespace {
const QString interface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr unsigned keyboard = 1, pointer = 2;
// Far enough to reach a corner from anywhere on any screen.
constexpr double farmove = 100000;
constexpr int pointersettlems = 50;
}  // namespace

portalinput::portalinput(balloonsink balloons) : balloons_(std::move(balloons)), pause_(new QTimer(this)) {
  pause_->setSingleShot(true);
  connect(pause_, &QTimer::timeout, this, [this] { drain(); });
}

portalinput::~portalinput() { closeportalsession(session_); }

void portalinput::key(int virtualkey, bool down) {
  const unsigned state = down ? 1 : 0;
  // Letters and digits as symbols, so they come out right whatever layout
  // the desktop has; other keys by their position.
  if (const unsigned keysym = textkeysym(virtualkey))
    send({QStringLiteral("NotifyKeyboardKeysym"), {static_cast<int>(keysym), state}});
  else if (const unsigned code = evdevkeycode(virtualkey))
    send({QStringLiteral("NotifyKeyboardKeycode"), {static_cast<int>(code), state}});
}

// The portal moves the pointer only relative to where it is: first into the
// bottom-right corner of the desktop, then back to the point. Not the
// top-left corner: desktops open their overview when the pointer hits it.
void portalinput::movepointer(screenpoint p) {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect desktop = screen->virtualGeometry();
  send({QStringLiteral("NotifyPointerMotion"), {farmove, farmove}});
  send({QStringLiteral("NotifyPointerMotion"),
        {double(p.x - (desktop.x() + desktop.width() - 1)), double(p.y - (desktop.y() + desktop.height() - 1))}});
}

void portalinput::button(int number, bool down) {
  if (const unsigned code = evdevbutton(number))
    send({QStringLiteral("NotifyPointerButton"), {static_cast<int>(code), down ? 1u : 0u}});
}

std::optional<screenpoint> portalinput::screensize() {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  return screenpoint{screen->size().width(), screen->size().height()};
}

void portalinput::send(event e) {
  switch (state_) {
    case state::failed:
      return;
    case state::started:
      queued_.push_back(std::move(e));
      drain();
      return;
    case state::none:
      queued_.push_back(std::move(e));
      start();
      return;
    case state::starting:
      queued_.push_back(std::move(e));
      return;
  }
}

// One event at a time: the next goes when the portal has taken this one.
// Sent all at once, a desktop may reorder or drop them. After a move the
// rest waits a moment more, or a desktop may drop a button pressed in the
// same instant.
void portalinput::drain() {
  if (inflight_ || pause_->isActive() || queued_.empty()) return;
  const event e = std::move(queued_.front());
  queued_.pop_front();
  QDBusMessage message = QDBusMessage::createMethodCall(portalservice, portalpath, interface, e.method);
  QVariantList arguments{QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap()};
  arguments.append(e.arguments);
  message.setArguments(arguments);
  inflight_ = true;
  auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
  const bool moved = e.method == QStringLiteral("NotifyPointerMotion");
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, moved](QDBusPendingCallWatcher *w) {
    w->deleteLater();
    inflight_ = false;
    if (moved && (queued_.empty() || queued_.front().method != QStringLiteral("NotifyPointerMotion")))
      pause_->start(pointersettlems);
    drain();
  });
}

void portalinput::fail(const std::string &why) {
  state_ = state::failed;
  queued_.clear();
  debugout("input: " + why);
  if (balloons_) balloons_({"Automation error", why});
}

// CreateSession, SelectDevices, Start: the last may wait for the user to
// allow it.
void portalinput::start() {
  state_ = state::starting;
  requests_.call(
      interface, QStringLiteral("CreateSession"), {},
      {{QStringLiteral("session_handle_token"), QStringLiteral("orvalinkdesktopinput")}},
      [this](const portalresponse &r) {
        session_ = r.results.value(QStringLiteral("session_handle")).toString();
        if (r.code != 0 || session_.isEmpty())
          return fail("The desktop gave no remote-control session for typing and clicking (" + r.error.toStdString() +
                      ").");
        requests_.call(
            interface, QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(session_))},
            {{QStringLiteral("types"), keyboard | pointer}},
            [this](const portalresponse &r) {
              if (r.code != 0)
                return fail("The desktop offers no keyboard and pointer for typing and clicking (" +
                            r.error.toStdString() + ").");
              requests_.call(
                  interface, QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(session_)), QString()}, {},
                  [this](const portalresponse &r) {
                    const unsigned devices = r.results.value(QStringLiteral("devices"), keyboard).toUInt();
                    if (r.code != 0 || !(devices & keyboard))
                      return fail(r.code == 1 ? "Typing and clicking into other applications was not allowed."
                                              : "The desktop refused typing and clicking into other applications (" +
                                                    r.error.toStdString() + ").");
                    state_ = state::started;
                    debugout("input: the desktop's remote-control session runs");
                    // A new virtual keyboard may drop its first key: a Shift
                    // tap goes first.
                    queued_.push_front(
                        {QStringLiteral("NotifyKeyboardKeycode"), {static_cast<int>(evdevkeycode(0x10)), 0u}});
                    queued_.push_front(
                        {QStringLiteral("NotifyKeyboardKeycode"), {static_cast<int>(evdevkeycode(0x10)), 1u}});
                    drain();
                  },
                  0);
            },
            30000);
      },
      30000);
}
