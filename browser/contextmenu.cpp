#include "browser/contextmenu.h"

#include "browser/browserclient.h"

namespace {
menuentry item(int id, const char *label, const char *accelerator = "", bool enabled = true) {
  return {menuentry::kind::item, id, label, accelerator, enabled, false};
}
menuentry check(int id, const char *label, bool checked) {
  return {menuentry::kind::check, id, label, "", true, checked};
}
menuentry separator() { return {menuentry::kind::separator, 0, "", "", true, false}; }
}  // namespace

std::optional<std::vector<menuentry>> buildcontextmenu(const menucontext &context,
                                                       const browserclient &client) {
  if ((context.typeflags & (menutype_page | menutype_frame)) == 0) return std::nullopt;
  const unsigned edit = context.editflags;
  return std::vector<menuentry>{
      item(menuid_cut, "Cut", "Ctrl+X", (edit & menuedit_cancut) != 0),
      item(menuid_copy, "Copy", "Ctrl+C", (edit & menuedit_cancopy) != 0),
      item(menuid_paste, "Paste", "Ctrl+V", (edit & menuedit_canpaste) != 0),
      separator(),
      item(menuid_devtools, "&Show DevTools"),
      item(menuid_webrtcinternals, "&WebRTC Internals"),
      check(menuid_webrtcdebug, "WebRTC Debug &Logging", client.webrtcdebug),
      check(menuid_jssipdebug, "&JsSIP Debug Logging", client.jssipdebug),
      separator(),
      item(menuid_exit, "&Exit"),
  };
}

menuchoice choosecommand(int id, browserclient &client) {
  using action = menuchoice::action;
  switch (id) {
    case menuid_cut:
      return {action::cut};
    case menuid_copy:
      return {action::copy};
    case menuid_paste:
      return {action::paste};
    case menuid_devtools:
      return {action::showdevtools};
    case menuid_webrtcinternals:
      return {action::webrtcinternals};
    case menuid_webrtcdebug:
      client.webrtcdebug = !client.webrtcdebug;
      return {action::runscript, client.webrtcdebug ? debugscript::webrtcenable : debugscript::webrtcdisable};
    case menuid_jssipdebug:
      client.jssipdebug = !client.jssipdebug;
      return {action::runscript, client.jssipdebug ? debugscript::jssipenable : debugscript::jssipdisable};
    case menuid_exit:
      return {action::closebrowser};
    default:
      return {};
  }
}
