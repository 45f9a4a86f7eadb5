#pragma once

#include <string>
#include <string_view>

// The longest start of a UTF-8 text that fits into `units` UTF-16 code
// units, never splitting a character (one that needs a surrogate pair counts
// two). Bytes that are not valid UTF-8 count one unit each, as the U+FFFD
// they decode to.
std::string cututf16(std::string_view utf8, std::size_t units);

// The text of a script error value: a string or number as text, anything
// else described by its type.
std::string describeerror(std::string_view text, bool istext, std::string_view type);

// The longest start of a UTF-8 text of at most `bytes` bytes that does not
// end inside a character.
std::string cututf8(std::string_view utf8, std::size_t bytes);
