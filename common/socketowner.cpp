#include "common/socketowner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <cstring>

#include "common/ownedfd.h"

namespace {
// The kernel's TCP states that sock_diag reports for sockets no process owns.
constexpr unsigned char synreceived = 3;  // a connection request not yet accepted
constexpr unsigned char timewait = 6;
}  // namespace

std::optional<uid_t> socketowners::tcpsocketuid(const sockaddr_in &self, const sockaddr_in &remote) {
  if (!diag) diag.reset(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
  if (!diag) return std::nullopt;

  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } question{};
  question.header.nlmsg_len = sizeof question;
  question.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  // No NLM_F_DUMP: the kernel looks the one socket up by its addresses.
  question.header.nlmsg_flags = NLM_F_REQUEST;
  const std::uint32_t asked = ++sequence;
  question.header.nlmsg_seq = asked;
  question.request.sdiag_family = AF_INET;
  question.request.sdiag_protocol = IPPROTO_TCP;
  question.request.idiag_states = ~0u;
  question.request.id.idiag_sport = self.sin_port;
  question.request.id.idiag_dport = remote.sin_port;
  question.request.id.idiag_src[0] = self.sin_addr.s_addr;
  question.request.id.idiag_dst[0] = remote.sin_addr.s_addr;
  question.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  question.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(diag.get(), &question, sizeof question, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) !=
      static_cast<ssize_t>(sizeof question))
    return std::nullopt;

  // The kernel answers within the send, so the answer is already queued:
  // never wait for it on the caller's thread. Answers to earlier questions
  // that were given up on are passed over by their sequence number.
  alignas(nlmsghdr) char space[1024];
  for (;;) {
    const ssize_t got = ::recv(diag.get(), space, sizeof space, MSG_DONTWAIT);
    if (got <= 0) return std::nullopt;
    auto length = static_cast<unsigned int>(got);
    for (auto *reply = reinterpret_cast<nlmsghdr *>(space); NLMSG_OK(reply, length);
         reply = NLMSG_NEXT(reply, length)) {
      if (reply->nlmsg_seq != asked) continue;
      // An error message (ENOENT: no such socket) or anything unexpected: unknown.
      if (reply->nlmsg_type != SOCK_DIAG_BY_FAMILY || reply->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return std::nullopt;
      inet_diag_msg found;
      std::memcpy(&found, NLMSG_DATA(reply), sizeof found);
      // A closed connection's remains and a half-open one belong to nobody;
      // the kernel reports them with uid 0, which must not pass for root's.
      if (found.idiag_state == timewait || found.idiag_state == synreceived) return std::nullopt;
      return static_cast<uid_t>(found.idiag_uid);
    }
  }
}

std::optional<uid_t> listeneruid(const sockaddr_in &address) {
  sockaddr_in anywhere{};
  anywhere.sin_family = AF_INET;
  return tcpsocketuid(address, anywhere);
}
