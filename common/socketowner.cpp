#include "common/socketowner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <cstring>
#include <vector>

#include "common/ownedfd.h"

namespace {
// The kernel's TCP states that sock_diag reports for sockets no process owns.
constexpr unsigned char synreceived = 3;  // a connection request not yet accepted
constexpr unsigned char timewait = 6;
}  // namespace

std::optional<uid_t> socketowners::tcpsocketuid(const sockaddr_in &self, const sockaddr_in &remote) {
  std::optional<uid_t> owner;
  const ends one{self, remote};
  tcpsocketuids({&one, 1}, {&owner, 1});
  return owner;
}

void socketowners::tcpsocketuids(std::span<const ends> sockets, std::span<std::optional<uid_t>> owners) {
  for (auto &owner : owners) owner.reset();
  if (sockets.empty() || owners.size() != sockets.size()) return;
  if (!diag) diag.reset(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
  if (!diag) return;

  struct question {
    nlmsghdr header;
    inet_diag_req_v2 request;
  };
  static_assert(sizeof(question) == NLMSG_ALIGN(sizeof(question)));
  // One message per socket in one datagram: the kernel takes them in turn.
  std::vector<question> ask(sockets.size());
  const std::uint32_t first = sequence + 1;
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    question &q = ask[i];
    q.header.nlmsg_len = sizeof q;
    q.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    // No NLM_F_DUMP: the kernel looks the one socket up by its addresses.
    q.header.nlmsg_flags = NLM_F_REQUEST;
    q.header.nlmsg_seq = ++sequence;
    q.request.sdiag_family = AF_INET;
    q.request.sdiag_protocol = IPPROTO_TCP;
    q.request.idiag_states = ~0u;
    q.request.id.idiag_sport = sockets[i].self.sin_port;
    q.request.id.idiag_dport = sockets[i].remote.sin_port;
    q.request.id.idiag_src[0] = sockets[i].self.sin_addr.s_addr;
    q.request.id.idiag_dst[0] = sockets[i].remote.sin_addr.s_addr;
    q.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    q.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  }

  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  const auto bytes = static_cast<ssize_t>(ask.size() * sizeof(question));
  if (::sendto(diag.get(), ask.data(), static_cast<std::size_t>(bytes), 0, reinterpret_cast<sockaddr *>(&kernel),
               sizeof kernel) != bytes)
    return;

  // The kernel answers within the send, one datagram per question, so the
  // answers are already queued: never wait for them on the caller's thread.
  // Answers to earlier questions that were given up on are passed over by
  // their sequence number.
  constexpr std::size_t slot = 1024;
  std::vector<char> space(sockets.size() * slot);
  std::vector<iovec> parts(sockets.size());
  std::vector<mmsghdr> datagrams(sockets.size());
  std::vector<bool> answered(sockets.size());
  for (std::size_t left = sockets.size(); left > 0;) {
    for (std::size_t i = 0; i < left; ++i) {
      parts[i] = {space.data() + i * slot, slot};
      datagrams[i] = {};
      datagrams[i].msg_hdr.msg_iov = &parts[i];
      datagrams[i].msg_hdr.msg_iovlen = 1;
    }
    const int got = ::recvmmsg(diag.get(), datagrams.data(), static_cast<unsigned int>(left), MSG_DONTWAIT, nullptr);
    if (got <= 0) return;
    for (int d = 0; d < got; ++d) {
      auto *reply = reinterpret_cast<nlmsghdr *>(space.data() + static_cast<std::size_t>(d) * slot);
      auto length = static_cast<unsigned int>(datagrams[static_cast<std::size_t>(d)].msg_len);
      for (; NLMSG_OK(reply, length); reply = NLMSG_NEXT(reply, length)) {
        const std::uint32_t index = reply->nlmsg_seq - first;
        if (index >= sockets.size() || answered[index]) continue;
        answered[index] = true;
        --left;
        // An error message (ENOENT: no such socket) or anything unexpected: unknown.
        if (reply->nlmsg_type != SOCK_DIAG_BY_FAMILY || reply->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
          continue;
        inet_diag_msg found;
        std::memcpy(&found, NLMSG_DATA(reply), sizeof found);
        // A closed connection's remains and a half-open one belong to nobody;
        // the kernel reports them with uid 0, which must not pass for root's.
        if (found.idiag_state == timewait || found.idiag_state == synreceived) continue;
        owners[index] = static_cast<uid_t>(found.idiag_uid);
      }
    }
  }
}

std::optional<uid_t> listeneruid(const sockaddr_in &address) {
  sockaddr_in anywhere{};
  anywhere.sin_family = AF_INET;
  return tcpsocketuid(address, anywhere);
}
