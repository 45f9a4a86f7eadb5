#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Telephone links handed to the program on its command line: the desktop
// starts "orvalink-desktop tel:..." when the user clicks a tel:, sip: or
// callto: link anywhere, and the page then dials the number.

// The longest number the page is asked to dial (the limit of qx.dial).
inline constexpr std::size_t maxdialbytes = 20;

// Whether a command-line argument is such a link: the scheme tel, sip, sips
// or callto, in any letter case, followed by ':'.
bool isdialuri(std::string_view arg);

// The number a link asks to dial. Percent escapes are decoded first; then the
// scheme, a leading "//", everything from the first ';', ',' or '?'
// (parameters, post-dial digits, headers) and, for sip and sips, the host
// from '@' on are dropped. What is left must be a phone number: digits, '*'
// and '#', a '+' only in front, and the visual separators space, '-', '.',
// '(' and ')', which are removed. Nothing when anything else is left (a name
// such as sip:alice@host), when there is no digit, or when the number is
// longer than maxdialbytes: a cut number would call someone else.
std::optional<std::string> dialablenumber(std::string_view uri);

// Whether a text is a number as dialablenumber returns it.
bool isdialablenumber(std::string_view number);
