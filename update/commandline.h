#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits a command line into words the way a POSIX shell does, without any
// expansion: blanks separate words; a backslash outside quotes keeps the next
// character literally (backslash-newline joins lines); single quotes keep
// everything up to the next single quote; inside double quotes a backslash
// escapes only $ ` " \ and newline and is kept before any other character.
// Empty quotes make an empty word. nullopt when a quote is left open.
std::optional<std::vector<std::string>> splitcommandline(std::string_view line);

// The word as it must be written in such a command line to come back
// unchanged from splitcommandline: as is when it holds only characters a
// shell leaves alone, otherwise in double quotes with $ ` " \ escaped.
std::string shellquote(std::string_view word);
