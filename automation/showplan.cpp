#include "automation/showplan.h"

std::optional<showrequest> showplan(int command) {
  using vis = showrequest::visibility;
  using max = showrequest::maximized;
  switch (command) {
    case 0:  // SW_HIDE
      return showrequest{vis::hide, max::keep, false};
    case 1:   // SW_SHOWNORMAL
    case 9:   // SW_RESTORE
    case 10:  // SW_SHOWDEFAULT
      return showrequest{vis::show, max::clear, true};
    case 2:   // SW_SHOWMINIMIZED
    case 6:   // SW_MINIMIZE
    case 7:   // SW_SHOWMINNOACTIVE
    case 11:  // SW_FORCEMINIMIZE
      return showrequest{vis::minimize, max::keep, false};
    case 3:  // SW_MAXIMIZE, SW_SHOWMAXIMIZED
      return showrequest{vis::show, max::set, true};
    case 4:  // SW_SHOWNOACTIVATE
      return showrequest{vis::show, max::clear, false};
    case 5:  // SW_SHOW
      return showrequest{vis::show, max::keep, true};
    case 8:  // SW_SHOWNA
      return showrequest{vis::show, max::keep, false};
    default:
      return std::nullopt;
  }
}
