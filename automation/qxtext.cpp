// The qx functions for control texts, coordinates, the clipboard, waiting,
// notices and requests to the page.
#include <chrono>
#include <cstring>
#include <thread>

#include "automation/automationstate.h"
#include "automation/clipboardwait.h"
#include "automation/inputplan.h"
#include "automation/luavalues.h"
#include "automation/qxfunctions.h"
#include "automation/textlimits.h"

namespace {
// Texts of controls come back as at most 1023 UTF-16 units. The optional raw
// argument changes nothing here: texts are UTF-8 from end to end.
constexpr std::size_t controltextunits = 1023;

void pushtext(lua_State *L, const std::string &s) { lua_pushlstring(L, s.data(), s.size()); }

int getactivecontroltext(lua_State *L) {
  focusedtext *f = focusedtextof(L);
  const auto text = f ? f->text() : std::nullopt;
  if (!text) return 0;
  pushtext(L, cututf16(*text, controltextunits));
  return 1;
}

// A given window's own text (the caption of an X window; controls inside
// toolkit windows are not windows of their own here).
int getcontroltext(lua_State *L) {
  const auto w = towindow(L, 1);
  desktopwindows *d = windowsof(L);
  if (!w || *w == 0 || !d || !d->iswindow(*w)) return 0;
  pushtext(L, cututf16(d->title(*w), controltextunits));
  return 1;
}

int setactivecontroltext(lua_State *L) {
  std::size_t n = 0;
  const char *s = luaL_checklstring(L, 1, &n);
  if (focusedtext *f = focusedtextof(L)) f->settext(std::string(s, n));
  return 0;
}

int getactivecontrolseltext(lua_State *L) {
  focusedtext *f = focusedtextof(L);
  const auto sel = f ? f->selected() : std::nullopt;
  if (!sel) return 0;
  lua_createtable(L, 0, 2);
  lua_pushnumber(L, sel->start);
  lua_setfield(L, -2, "s");
  lua_pushnumber(L, sel->end);
  lua_setfield(L, -2, "e");
  return 1;
}

int getcursorpos(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto p = d ? d->cursorpos() : std::nullopt;
  if (!p) return 0;
  pushpoint(L, *p);
  return 1;
}

int setcursorpos(lua_State *L) {
  const auto p = topoint(L, 1);
  desktopwindows *d = windowsof(L);
  if (p && d) d->setcursorpos(*p);
  return 0;
}

// Converts the point argument between two windows (0: the screen); the point
// comes back unchanged when a window is missing or the conversion fails.
int convertpoint(lua_State *L, windowid from, windowid to, screenpoint p) {
  desktopwindows *d = windowsof(L);
  if (d) p = d->translate(from, to, p).value_or(p);
  pushpoint(L, p);
  return 1;
}

int screentoclient(lua_State *L) {
  const auto p = topoint(L, 2);
  if (!p) return 0;
  const windowid w = towindow(L, 1).value_or(0);
  if (w == 0) return convertpoint(L, 0, 0, *p);
  return convertpoint(L, 0, w, *p);
}

int clienttoscreen(lua_State *L) {
  const auto p = topoint(L, 2);
  if (!p) return 0;
  const windowid w = towindow(L, 1).value_or(0);
  if (w == 0) return convertpoint(L, 0, 0, *p);
  return convertpoint(L, w, 0, *p);
}

int mapwindowpoints(lua_State *L) {
  const auto p = topoint(L, 3);
  if (!p) return 0;
  return convertpoint(L, towindow(L, 1).value_or(0), towindow(L, 2).value_or(0), *p);
}

std::string readclipboard(lua_State *L) {
  clipboardtext *c = clipboardof(L);
  return c ? c->read() : std::string();
}

int getclipboardtext(lua_State *L) {
  pushtext(L, readclipboard(L));
  return 1;
}

int setclipboardtext(lua_State *L) {
  std::size_t n = 0;
  const char *s = luaL_checklstring(L, 1, &n);
  if (clipboardtext *c = clipboardof(L)) c->write(std::string(s, strnlen(s, n)));
  return 0;
}

void sleepfor(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int waitforclipboardtext(lua_State *L) {
  const int ms = checkint(L, 1);
  pushtext(L, waitforclipboard(
                  ms, [L] { return readclipboard(L); }, sleepfor));
  return 1;
}

int sleep(lua_State *L) {
  sleepfor(sleepmilliseconds(luaL_checknumber(L, 1)));
  return 0;
}

int alert(lua_State *L) {
  std::size_t titlelength = 0, textlength = 0;
  const char *title = luaL_checklstring(L, 1, &titlelength);
  const char *text = luaL_checklstring(L, 2, &textlength);
  showballoon(L, {cututf8({title, titlelength}, 64), cututf8({text, textlength}, 255)});
  return 0;
}

int dial(lua_State *L) {
  std::size_t n = 0;
  const char *number = luaL_checklstring(L, 1, &n);
  tellpage(L, pagemessage(std::string(msg::dial), {cututf8({number, n}, 20)}));
  return 0;
}

int hangup(lua_State *L) {
  tellpage(L, pagemessage(std::string(msg::hangup)));
  return 0;
}

// There are no embedded HTML views on this desktop.
int gethtmlfromieserver(lua_State *) { return 0; }

const luaL_Reg functions[] = {
    {"getactivecontroltext", getactivecontroltext},
    {"getcontroltext", getcontroltext},
    {"setactivecontroltext", setactivecontroltext},
    {"getactivecontrolseltext", getactivecontrolseltext},
    {"getcursorpos", getcursorpos},
    {"setcursorpos", setcursorpos},
    {"screentoclient", screentoclient},
    {"clienttoscreen", clienttoscreen},
    {"mapwindowpoints", mapwindowpoints},
    {"getclipboardtext", getclipboardtext},
    {"setclipboardtext", setclipboardtext},
    {"waitforclipboardtext", waitforclipboardtext},
    {"sleep", sleep},
    {"alert", alert},
    {"dial", dial},
    {"hangup", hangup},
    {"gethtmlfromieserver", gethtmlfromieserver},
    {nullptr, nullptr},
};
}  // namespace

void addtextfunctions(lua_State *L) { luaL_setfuncs(L, functions, 0); }
