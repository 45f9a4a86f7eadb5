#include "app/rendering.h"

#include <dirent.h>
#include <unistd.h>

#include <string_view>

drawing choosedrawing(bool graphicsdevice, const char *quickbackend, const char *rhibackend) {
  const auto set = [](const char *v) { return v && *v; };
  if (set(quickbackend) || set(rhibackend)) return drawing::userchoice;
  return graphicsdevice ? drawing::gpu : drawing::software;
}

bool graphicsdevicein(const std::string &devdir) {
  if (::access((devdir + "/nvidiactl").c_str(), F_OK) == 0) return true;
  DIR *dri = ::opendir((devdir + "/dri").c_str());
  if (!dri) return false;
  bool found = false;
  while (const dirent *entry = ::readdir(dri)) {
    const std::string_view name = entry->d_name;
    if (name.starts_with("card") || name.starts_with("renderD")) {
      found = true;
      break;
    }
  }
  ::closedir(dri);
  return found;
}

std::string drawingline(drawing d) {
  switch (d) {
    case drawing::gpu:
      return "drawing: OpenGL on the graphics device";
    case drawing::software:
      return "drawing: in software (no graphics device)";
    case drawing::userchoice:
      return "drawing: as QT_QUICK_BACKEND or QSG_RHI_BACKEND say";
  }
  return {};
}
