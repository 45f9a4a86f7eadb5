#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the sign-in listener makes of the bytes of one read. Plain functions
// so that tests and the fuzzer reach them without sockets.

// The request target: the text between the first "GET " and the first
// " HTTP/1.1\r\n" of the request, both searched from its start. Nothing when
// either is missing or the second comes before the end of the first (a request
// line that has not fully arrived, an HTTP/1.0 request, anything not a GET).
std::optional<std::string_view> requesttarget(std::string_view request);

// True for the sign-in completion path; only the beginning is compared, so a
// query string (or anything else) may follow.
bool iscompleteauth(std::string_view target);

// The header fields of a request whose target requesttarget() found: the rest
// of the read after the request line. `target` must be the view it returned.
std::string_view headerfields(std::string_view request, std::string_view target);

// True when the header fields (as headerfields() gives them) say the request is
// a browser's top-level navigation to this listener on `port`, the one kind of
// request that may complete a sign-in. Any page the user visits can make the
// browser request the listener (an image, a fetch), and a DNS name pointed at
// 127.0.0.1 reaches it too; such requests say what they are:
// - exactly one Host field, "127.0.0.1:<port>" or "localhost:<port>" (host
//   name in any case); browsers always send it, so its absence means no
//   browser navigation;
// - Sec-Fetch-Dest, when present, "document", and Sec-Fetch-Mode, when
//   present, "navigate" (every occurrence of either);
// - all fields arrived in this read, up to the blank line that ends them, and
//   none is malformed (no colon, white space in or after the name, a folded
//   line, a bare CR or LF), since a field cut off or misread could be the one
//   that says no.
// Field names are compared without regard to case.
bool istoplevelnavigation(std::string_view fields, unsigned short port);

// The two replies, byte for byte.
inline constexpr std::string_view successreply =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: 51\r\n\r\n"
    "<html><h1>You may now close this window</h1></html>";
inline constexpr std::string_view notfoundreply =
    "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
