#pragma once

#include <string_view>

// Whether `candidate` is a later release than `current`. Both must have
// exactly three dot-separated parts (empty parts count and read as 0); each
// part reads as a C decimal floating-point prefix ("8-beta" is 8, "x" is 0).
// Major parts decide first, then minor, then patch.
bool isnewerversion(std::string_view candidate, std::string_view current);
