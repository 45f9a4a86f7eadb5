#include "browser/linkrules.h"

#include <QString>
#include <QUrl>
#include <array>

bool isbrowserscheme(std::string_view scheme) {
  static constexpr std::array<std::string_view, 16> shown = {
      "http",       "https",      "about", "data",        "blob",         "file",
      "filesystem", "javascript", "qrc",   "view-source", "chrome-error", "chrome-extension",
      "chrome",     "devtools",   "ws",    "wss"};
  for (std::string_view s : shown)
    if (s == scheme) return true;
  return false;
}

bool systembrowsermayopen(std::string_view url) {
  const QUrl u(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::StrictMode);
  return u.isValid() && (u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("https")) &&
         !u.host().isEmpty();
}
