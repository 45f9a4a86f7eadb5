#include "plugins/pluginsource.h"

#include <QUrl>

namespace {

QUrl urlof(std::string_view text) { return QUrl(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))); }

// Scheme, host and port, each as the URL parser normalises them (lower case,
// the scheme's default port filled in).
bool sameorigin(const QUrl &a, const QUrl &b) {
  const auto defaultport = [](const QUrl &u) { return u.scheme() == QLatin1String("https") ? 443 : 80; };
  return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultport(a)) == b.port(defaultport(b));
}

}  // namespace

std::string pluginsourceproblem(std::string_view url, std::string_view serviceorigin) {
  const QUrl plugin = urlof(url);
  if (!plugin.isValid() || plugin.host().isEmpty()) return "it is not a URL with a host";
  if (plugin.scheme() == QLatin1String("https")) return {};
  const QUrl service = urlof(serviceorigin);
  if (service.isValid() && !service.host().isEmpty() && sameorigin(plugin, service)) return {};
  return "it is neither of the service's origin (" + std::string(serviceorigin) + ") nor an https: URL";
}
