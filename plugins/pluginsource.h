#pragma once

#include <string>
#include <string_view>

// Why a plugin may not be loaded from `url`; empty when it may. Plugins come
// from the service itself (`serviceorigin`, whatever its scheme) or from an
// https: URL: a library fetched over plain http from anywhere else could be
// replaced on the way, and file:, data: or other URLs are no place for them.
// The URL is read as the downloader reads it.
std::string pluginsourceproblem(std::string_view url, std::string_view serviceorigin);
