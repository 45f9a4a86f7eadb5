#pragma once

#include <string>

class QWebEngineProfile;

// Saves every download of the profile's pages, without asking, into the
// downloads folder of the data directory `datadir`, and writes its progress
// lines to the downloading page's console. Without a data directory every
// download is cancelled.
void installdownloads(QWebEngineProfile *profile, std::string datadir);
