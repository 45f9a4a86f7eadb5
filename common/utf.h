#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16. Empty in, empty out; invalid sequences become U+FFFD.
std::u16string utf8towide(std::string_view text);
std::string widetoutf8(std::u16string_view text);

// The first `maxbytes` bytes of a UTF-8 text (the cut may split a character,
// as a byte limit does; the receiver's decoder turns a split tail into U+FFFD).
std::string cutbytes(std::string_view text, std::size_t maxbytes);
