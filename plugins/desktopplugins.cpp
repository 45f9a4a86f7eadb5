#include "plugins/desktopplugins.h"

#include "common/paths.h"

qxpenv desktopqxpenv(pagesink send) {
  qxpenv env;
  env.send = std::move(send);
  env.socketdir = runtimedir();
  return env;
}
