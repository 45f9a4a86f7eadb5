#include "platform/wayland/portalhotkeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QTimer>

#include "common/debuglog.h"
#include "platform/wayland/waylandkeys.h"

namespace {
const QString interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
// Names the desktop's record of the program's shortcuts: a fixed token keeps
// the user's assignments from one run to the next.
const QString sessiontoken = QStringLiteral("orvalinkdesktop");

// One entry of the portal's a(sa{sv}) shortcut lists.
struct portalshortcut {
  QString id;
  QVariantMap properties;
};
using portalshortcuts = QList<portalshortcut>;

QDBusArgument &operator<<(QDBusArgument &out, const portalshortcut &s) {
  out.beginStructure();
  out << s.id << s.properties;
  out.endStructure();
  return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, portalshortcut &s) {
  in.beginStructure();
  in >> s.id >> s.properties;
  in.endStructure();
  return in;
}
}  // namespace

Q_DECLARE_METATYPE(portalshortcut)
Q_DECLARE_METATYPE(portalshortcuts)

portalhotkeys::portalhotkeys() {
  qDBusRegisterMetaType<portalshortcut>();
  qDBusRegisterMetaType<portalshortcuts>();
  QDBusConnection::sessionBus().connect(portalservice, portalpath, interface, QStringLiteral("Activated"), this,
                                        SLOT(onactivated(QDBusMessage)));
}

portalhotkeys::~portalhotkeys() { closeportalsession(session_); }

void portalhotkeys::setlistener(std::function<void(int)> listener) { listener_ = std::move(listener); }

bool portalhotkeys::grab(const hotkeyrequest &request) {
  const std::string name = hotkeyname(request.virtualkey, request.modifiers);
  if (name.empty() || state_ == state::failed) return false;
  // The same keys twice: the first registration keeps them, as with X11
  // grabs.
  for (const shortcut &s : shortcuts_)
    if (s.name == name) return true;
  shortcuts_.push_back(
      {name, request.identifier, request.description, portaltrigger(request.virtualkey, request.modifiers)});
  changed_ = true;
  if (!scheduled_) {
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
      scheduled_ = false;
      flush();
    });
  }
  return true;
}

bool portalhotkeys::firenamed(const std::string &name) {
  for (const shortcut &s : shortcuts_) {
    if (s.name != name) continue;
    if (listener_) listener_(s.identifier);
    return true;
  }
  return false;
}

QVariant portalhotkeys::shortcutlist() const {
  portalshortcuts list;
  for (const shortcut &s : shortcuts_)
    list.push_back({QString::fromStdString(s.name),
                    {{QStringLiteral("description"), QString::fromStdString(s.description)},
                     {QStringLiteral("preferred_trigger"), QString::fromStdString(s.trigger)}}});
  return QVariant::fromValue(list);
}

// The first batch makes the session (some desktops register shortcuts only
// from CreateSession's list), later ones bind the whole list again. Grabs
// that arrive while the desktop is answering go with the next round.
void portalhotkeys::flush() {
  if (!changed_) return;
  if (state_ == state::none) {
    state_ = state::creating;
    changed_ = false;
    requests_.call(
        interface, QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), sessiontoken}, {QStringLiteral("shortcuts"), shortcutlist()}},
        [this](const portalresponse &r) {
          session_ = r.results.value(QStringLiteral("session_handle")).toString();
          if (r.code != 0 || session_.isEmpty()) {
            state_ = state::failed;
            debugout("hotkeys: the desktop's shortcut portal gave no session (" + r.error.toStdString() + ")");
            return;
          }
          bind();
        },
        30000);
  } else if (state_ == state::ready) {
    changed_ = false;
    bind();
  }
}

void portalhotkeys::bind() {
  state_ = state::binding;
  // Desktops that ask the user to confirm answer after the user did.
  requests_.call(
      interface, QStringLiteral("BindShortcuts"),
      {QVariant::fromValue(QDBusObjectPath(session_)), shortcutlist(), QString()}, {},
      [this](const portalresponse &r) {
        if (r.code != 0) debugout("hotkeys: BindShortcuts: " + r.error.toStdString());
        list();
      },
      10000);
}

void portalhotkeys::list() {
  requests_.call(
      interface, QStringLiteral("ListShortcuts"), {QVariant::fromValue(QDBusObjectPath(session_))}, {},
      [this](const portalresponse &r) {
        const auto bound = qdbus_cast<portalshortcuts>(r.results.value(QStringLiteral("shortcuts")));
        for (const shortcut &s : shortcuts_) {
          std::string keys = "no keys";
          for (const portalshortcut &b : bound)
            if (b.id.toStdString() == s.name)
              keys = b.properties.value(QStringLiteral("trigger_description")).toString().toStdString();
          debugout("hotkey " + s.name + " (" + s.description + "): " + (keys.empty() ? "no keys" : keys));
        }
        state_ = state::ready;
        flush();
      },
      10000);
}

void portalhotkeys::onactivated(const QDBusMessage &message) {
  const QVariantList args = message.arguments();
  if (args.size() < 2 || session_.isEmpty()) return;
  if (qvariant_cast<QDBusObjectPath>(args[0]).path() != session_) return;
  const std::string id = args[1].toString().toStdString();
  for (const shortcut &s : shortcuts_)
    if (s.name == id && listener_) {
      listener_(s.identifier);
      return;
    }
}

bool hasglobalshortcuts(int timeoutms) {
  QDBusMessage get = QDBusMessage::createMethodCall(
      portalservice, portalpath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get.setArguments({interface, QStringLiteral("version")});
  const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, timeoutms);
  return reply.type() == QDBusMessage::ReplyMessage;
}
