#pragma once

#include <memory>

#include "protocol/pagemessage.h"

class browserclient;

// The program's page sink. Callable from any thread: the message is queued
// onto the UI thread, where it goes to the client's main browser, which
// delivers it only to a connected service document; it is dropped silently
// when the client is gone or has no valid main browser with a main frame.
pagesink makepagesink(std::weak_ptr<browserclient> client);
// The UI-thread half alone: delivers at once. Called only on the UI thread,
// by a caller that answers the page's request while it still handles it.
pagesink makepagesinkhere(std::weak_ptr<browserclient> client);
