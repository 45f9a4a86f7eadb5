#pragma once

#include <QJsonArray>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One message between the page and the native side: a case-sensitive name
// and a positional list of strings (UTF-8), 32-bit ints and bools. Receivers
// read arguments with the defaulting getters and never reject a message.
struct pagemessage {
  using value = std::variant<std::string, int, bool>;

  std::string name;
  std::vector<value> args;

  pagemessage() = default;
  explicit pagemessage(std::string n, std::vector<value> a = {}) : name(std::move(n)), args(std::move(a)) {}

  // Absent or of another kind: "", 0, false.
  std::string getstring(std::size_t index) const;
  int getint(std::size_t index) const;
  bool getbool(std::size_t index) const;

  // Wire form shared with the page bridge script: [name, arg0, arg1, ...].
  QJsonArray tojson() const;
  // Reads the wire form. Integral numbers become ints; other numbers, nulls,
  // objects and arrays become values no getter accepts (read as defaults).
  static pagemessage fromjson(const QJsonArray &wire);
};

// Where a module sends its messages for the page. The program's sink may be
// called from any thread: it queues the message onto the UI thread and
// delivers it to the service's page there (or drops it when no page can take
// it). Tests record the messages instead.
using pagesink = std::function<void(pagemessage)>;

// Every message name, in both directions. Rectangles travel as left, right,
// top, bottom.
namespace msg {
// page -> native
inline constexpr std::string_view winpos = "winPos";
inline constexpr std::string_view winalwaysontop = "winAlwaysOnTop";
inline constexpr std::string_view wininsertmenu = "winInsertMenu";
inline constexpr std::string_view winremovemenugroup = "winRemoveMenuGroup";
inline constexpr std::string_view winnotification = "winNotification";
inline constexpr std::string_view loadqxp = "loadQXP";                 // url, request id
inline constexpr std::string_view makeqxpcall = "makeQXPCall";         // plugin no, fn, data, request id
inline constexpr std::string_view winrunupdate = "winRunUpdate";       // version
inline constexpr std::string_view winclearcookies = "winClearCookies";
inline constexpr std::string_view winonevent = "winOnEvent";           // JSON text
inline constexpr std::string_view winshow = "winShow";                 // bool
inline constexpr std::string_view wintoggle = "winToggle";
inline constexpr std::string_view winauth = "winAuth";                 // sign-in URL
// The page cannot write the system clipboard itself; the native side does.
inline constexpr std::string_view wincopy = "winCopy";                 // text up to its first NUL
// native -> page
inline constexpr std::string_view dial = "dial";                       // number
inline constexpr std::string_view hangup = "hangup";
inline constexpr std::string_view onmenu = "onMenu";                   // group, label
inline constexpr std::string_view onactivate = "onActivate";           // clipboard text (<= 20 bytes)
inline constexpr std::string_view onposchange = "onPosChange";         // left, right, top, bottom
inline constexpr std::string_view qxploaded = "qxpLoaded";             // request id, plugin no
inline constexpr std::string_view qxpcallcompleted = "qxpCallCompleted";  // request id, result
inline constexpr std::string_view oncompleteauth = "onCompleteAuth";   // request target
}  // namespace msg
