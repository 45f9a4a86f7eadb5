#pragma once

class QWebEngineProfile;

// Saves every download of the profile's pages, without asking, into the
// downloads folder of the data directory, and writes its progress lines to
// the downloading page's console.
void installdownloads(QWebEngineProfile *profile);
