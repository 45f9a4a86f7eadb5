#pragma once

#include <string>
#include <string_view>

// The 40-hex-digit name of a text: its SHA-1 digest with the bytes of each
// 4-byte group reversed, in lower case. Plugin files on disk and the plugin
// registry are keyed by it, so the byte order must never change.
std::string sha1hex(std::string_view text);
