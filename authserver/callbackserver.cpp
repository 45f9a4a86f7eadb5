#include "authserver/callbackserver.h"

#include <boost/asio/ip/address.hpp>
#include <boost/system/system_error.hpp>
#include <exception>

#include "authserver/httpserver.h"
#include "common/debuglog.h"
#include "common/socketowner.h"
#include "common/spinwait.h"

callbackserver::callbackserver(callbackserverconfig config) {
  boost::asio::ip::tcp::endpoint endpoint;
  try {
    endpoint = {boost::asio::ip::make_address(config.address), config.port};
    server = std::make_unique<httpserver>(io, endpoint, std::move(config.notify), config.idletimeout, config.owner,
                                          config.deferaccept);
  } catch (const std::exception &e) {
    std::string holder;
    if (endpoint.address().is_v4() && endpoint.port() != 0) {
      std::optional<uid_t> uid = listeneruid(ipv4address(endpoint));
      if (uid && *uid != config.owner) {
        otheruser = uid;
        holder = "; another user's copy of the program (uid " + std::to_string(*uid) + ") holds the port";
      }
    }
    debugout("callback server: cannot listen on " + config.address + ":" + std::to_string(config.port) + ": " +
             e.what() + holder + "; sign-in completion will not reach the program");
    return;
  }
  network = std::thread([this] { run(); });
}

callbackserver::~callbackserver() {
  io.stop();
  if (network.joinable()) network.join();
  // The server goes before the io loop: its pending operations are then
  // destroyed with the loop without running.
  server.reset();
}

unsigned short callbackserver::port() const { return server ? server->port() : 0; }

void callbackserver::run() {
  // A handler that throws ends one run of the loop, not the listener.
  while (!io.stopped()) {
    try {
      // After any work the loop stays awake a moment (see awakewait) before
      // it sleeps in run_one() again.
      while (io.run_one() > 0)
        while (spinuntil(awakewait, [this] { return io.poll() > 0; })) {
        }
    } catch (const std::exception &e) {
      debugout(std::string("callback server: ") + e.what());
    } catch (...) {
      debugout("callback server: Unhandled exception");
    }
  }
}

std::unique_ptr<callbackserver> startcallbackserver(callbackserverconfig config) {
  return std::make_unique<callbackserver>(std::move(config));
}

void stopcallbackserver(std::unique_ptr<callbackserver> server) { server.reset(); }
