#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>

#include "common/ownedfd.h"

// Which user owns a TCP socket of this machine (of this network namespace),
// asked of the kernel's socket table over NETLINK_SOCK_DIAG: one exact lookup,
// no scan of the table. Nothing when no such socket exists or the kernel
// cannot be asked.

// A kernel connection for repeated lookups (a listener asks once per
// connection; keeping it halves the cost). One thread at a time.
class socketowners {
 public:
  // The owner of the IPv4 TCP socket whose own end is `self` and whose other
  // end is `remote`. A remote of 0.0.0.0:0 finds the socket listening on `self`.
  std::optional<uid_t> tcpsocketuid(const sockaddr_in &self, const sockaddr_in &remote);

 private:
  ownedfd diag;
  std::uint32_t sequence = 0;
};

// One lookup on a connection of its own.
inline std::optional<uid_t> tcpsocketuid(const sockaddr_in &self, const sockaddr_in &remote) {
  return socketowners().tcpsocketuid(self, remote);
}

// The owner of the connecting end of a connection this program accepted:
// `local` is the accepted socket's own end, `peer` the end it is connected to.
inline std::optional<uid_t> loopbackpeeruid(const sockaddr_in &local, const sockaddr_in &peer) {
  return tcpsocketuid(peer, local);
}

// The owner of the socket listening on `address`.
std::optional<uid_t> listeneruid(const sockaddr_in &address);
