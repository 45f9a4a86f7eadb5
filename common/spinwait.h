#pragma once

#include <chrono>
#include <thread>

// Asks `ready` again and again, giving the processor to any other ready
// thread between asks, until it says yes or `spin` has passed; true when it
// said yes. For a thread that expects its next piece of work within
// microseconds: where idle processors sleep deeply (virtual machines), waking
// a thread that sleeps costs tens of microseconds, so such a thread waits
// awake first and sleeps only once this has found nothing.
template <class check>
bool spinuntil(std::chrono::microseconds spin, check ready) {
  for (const auto until = std::chrono::steady_clock::now() + spin; std::chrono::steady_clock::now() < until;
       std::this_thread::yield())
    if (ready()) return true;
  return false;
}
