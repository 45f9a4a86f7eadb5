#include "protocol/pagemessage.h"

#include <QJsonValue>
#include <cmath>
#include <limits>

std::string pagemessage::getstring(std::size_t index) const {
  if (index >= args.size()) return {};
  if (const auto *s = std::get_if<std::string>(&args[index])) return *s;
  return {};
}

int pagemessage::getint(std::size_t index) const {
  if (index >= args.size()) return 0;
  if (const auto *i = std::get_if<int>(&args[index])) return *i;
  return 0;
}

bool pagemessage::getbool(std::size_t index) const {
  if (index >= args.size()) return false;
  if (const auto *b = std::get_if<bool>(&args[index])) return *b;
  return false;
}

QJsonArray pagemessage::tojson() const {
  QJsonArray wire;
  wire.append(QString::fromStdString(name));
  for (const auto &a : args) {
    if (const auto *s = std::get_if<std::string>(&a))
      wire.append(QString::fromStdString(*s));
    else if (const auto *i = std::get_if<int>(&a))
      wire.append(*i);
    else
      wire.append(std::get<bool>(a));
  }
  return wire;
}

pagemessage pagemessage::fromjson(const QJsonArray &wire) {
  pagemessage m;
  if (wire.isEmpty() || !wire.at(0).isString()) return m;
  m.name = wire.at(0).toString().toStdString();
  for (qsizetype i = 1; i < wire.size(); ++i) {
    const QJsonValue v = wire.at(i);
    if (v.isString()) {
      m.args.emplace_back(v.toString().toStdString());
    } else if (v.isBool()) {
      m.args.emplace_back(v.toBool());
    } else if (v.isDouble()) {
      const double d = v.toDouble();
      if (std::isfinite(d) && std::trunc(d) == d && d >= std::numeric_limits<int>::min() &&
          d <= std::numeric_limits<int>::max())
        m.args.emplace_back(static_cast<int>(d));
      else
        m.args.emplace_back(0);  // the int getter's default
    } else {
      // null, object or array: every getter reads its default; keep the place.
      m.args.emplace_back(0);
    }
  }
  return m;
}
