#pragma once

#include <optional>
#include <string>
#include <vector>

class browserclient;

// Command ids of the program's right-click menu.
inline constexpr int menuid_cut = 26500;
inline constexpr int menuid_copy = 26501;
inline constexpr int menuid_paste = 26502;
inline constexpr int menuid_devtools = 26503;
inline constexpr int menuid_webrtcinternals = 26504;
inline constexpr int menuid_webrtcdebug = 26505;
inline constexpr int menuid_jssipdebug = 26506;
inline constexpr int menuid_exit = 26507;

// What was right-clicked, as bits. The type bits say whether the click landed
// in a page or a frame that has a URL; the edit bits are the engine's edit
// state (the same values in both engines the program has known).
inline constexpr unsigned menutype_page = 1;
inline constexpr unsigned menutype_frame = 2;
inline constexpr unsigned menuedit_cancut = 4;
inline constexpr unsigned menuedit_cancopy = 8;
inline constexpr unsigned menuedit_canpaste = 16;

struct menucontext {
  unsigned typeflags = 0;
  unsigned editflags = 0;
};

struct menuentry {
  enum class kind { item, check, separator };
  kind type = kind::item;
  int id = 0;
  // "&" marks the mnemonic letter.
  std::string label;
  // Shortcut shown beside the label, in portable key text ("Ctrl+X").
  std::string accelerator;
  bool enabled = true;
  bool checked = false;
};

// The program's menu for a right-click, or nothing when the engine's own menu
// is to be shown unchanged (neither a page nor a frame was clicked).
std::optional<std::vector<menuentry>> buildcontextmenu(const menucontext &context,
                                                       const browserclient &client);

// The debug scripts the menu runs in a page.
enum class debugscript { webrtcenable, webrtcdisable, jssipenable, jssipdisable };

// What the engine adapter has to do for a chosen command.
struct menuchoice {
  enum class action { none, cut, copy, paste, showdevtools, webrtcinternals, runscript, closebrowser };
  action todo = action::none;
  // Set when todo is runscript.
  debugscript script = debugscript::webrtcenable;
};

// Decides a chosen command. The two debug switches flip here, on every
// choice, whether or not the adapter can then run the script. Ids outside
// the menu answer action::none (the engine handles them).
menuchoice choosecommand(int id, browserclient &client);
