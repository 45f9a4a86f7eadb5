#pragma once

#include "protocol/pagemessage.h"

// Sends a message to the page of the main browser. Callable from any thread:
// the message is queued onto the UI thread, where it is dropped silently when
// there is no valid main browser or main frame.
void sendtopage(pagemessage m);

// The UI-thread half: delivers at once, or drops.
void delivertopage(const pagemessage &m);
