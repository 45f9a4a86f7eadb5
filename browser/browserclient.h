#pragma once

#include <functional>
#include <string>
#include <string_view>

class browserhandle;

// The client shared by every browser window of the program: which browser is
// the main one, the debug switches, and the life-span and navigation rules.
// The engine adapter calls these on the UI thread.
class browserclient {
 public:
  // The first browser created with this client; cleared when it closes.
  browserhandle *mainbrowser = nullptr;
  bool webrtcdebug = false;
  bool jssipdebug = false;

  // The service's web origin (scheme, host, port; no trailing slash): only
  // its pages get the native powers.
  std::string serviceorigin;

  // Called when the main browser has closed: ends the message loop.
  std::function<void()> quitmessageloop;
  // Told when a browser has been created, and when the main browser begins
  // to close.
  std::function<void()> onbrowsercreated;
  std::function<void()> onmainclosing;

  void onaftercreated(browserhandle *browser);
  // A browser of the program begins to close; the main browser's close marks
  // the program as closing. Answers false: the close goes on.
  bool doclose(browserhandle *browser);
  void onbeforeclose(browserhandle *browser);

  // Navigation rule: writes the URL to the debug output; answers true to
  // cancel ("mailto:" and "tel:" links, matched case-sensitively).
  static bool onbeforebrowse(std::string_view url);
};
