#include "app/appglobals.h"

#include "browser/browserapp.h"
#include "common/buildconfig.h"

namespace {
// The process-wide pointer to the one instance; set for its lifetime.
appglobals *theglobals = nullptr;
}  // namespace

appglobals::appglobals() : app(std::make_shared<browserapp>()), serviceorigin(buildconfig::serviceorigin) {
  theglobals = this;
}

appglobals::~appglobals() {
  if (theglobals == this) theglobals = nullptr;
}

appglobals *appglobals::current() { return theglobals; }
