#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where downloads of the program's pages are saved: datadir + "/Downloads".
std::string userdownloads(const std::string &datadir);

// The file name a download is saved under: the engine's suggested name, cut
// to its last path component so that nothing lands outside the downloads
// folder; "download" when nothing usable remains.
std::string downloadfilename(std::string_view suggested);

enum class downloadstate { running, complete, canceled };

// "Download " + URL + " - " + received + "/" + total, then " (complete)" or
// " (canceled)" when the download has ended so; every backslash made "/".
std::string progressline(std::string_view url, std::int64_t received, std::int64_t total,
                         downloadstate state);

// `text` (UTF-8) as a double-quoted JavaScript string literal that evaluates
// to exactly `text`: quotes, backslashes, control characters, U+2028/U+2029
// and "<" are escaped, so the literal is also harmless inside HTML.
std::string jsstringliteral(std::string_view text);

// The script that writes `line` to the page's console.
std::string progressscript(std::string_view line);
