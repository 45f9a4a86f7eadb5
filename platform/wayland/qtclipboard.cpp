#include "platform/wayland/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
QClipboard *clipboard() { return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr; }
}  // namespace

std::string qtclipboard::read() {
  QClipboard *qt = clipboard();
  const QMimeData *m = qt ? qt->mimeData(QClipboard::Clipboard) : nullptr;
  if (!m || !m->hasText()) return {};
  std::string text = m->text().toStdString();
  if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

void qtclipboard::write(const std::string &bytes) {
  QClipboard *qt = clipboard();
  if (!qt) return;
  auto *m = new QMimeData;
  m->setData(QStringLiteral("text/plain"), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  qt->setMimeData(m, QClipboard::Clipboard);
}
