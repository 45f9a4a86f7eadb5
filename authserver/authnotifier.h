#pragma once

#include <functional>

#include "protocol/pagemessage.h"

// Where the sign-in listener sends the page's "onCompleteAuth" message. The
// program uses sendtopage; tests record the messages instead. Called on the
// network thread.
using authnotifier = std::function<void(pagemessage)>;
