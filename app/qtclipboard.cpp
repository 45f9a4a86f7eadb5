#include "app/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

std::string getclipboardtext() {
  const QClipboard *clipboard = QGuiApplication::clipboard();
  const QMimeData *data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
  if (!data) return {};
  QByteArray bytes = data->data(QStringLiteral("text/plain;charset=utf-8"));
  if (bytes.isEmpty()) bytes = data->data(QStringLiteral("text/plain"));
  if (bytes.isEmpty() && data->hasText()) bytes = data->text().toUtf8();
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  return bytes.toStdString();
}

void setclipboardtext(const std::string &bytes) {
  QClipboard *clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  const std::string text = bytes.substr(0, bytes.find('\0'));
  auto *data = new QMimeData;  // the clipboard takes it over
  const QByteArray raw(text.data(), static_cast<qsizetype>(text.size()));
  data->setData(QStringLiteral("text/plain"), raw);
  data->setData(QStringLiteral("text/plain;charset=utf-8"), raw);
  data->setText(QString::fromUtf8(raw));
  clipboard->setMimeData(data, QClipboard::Clipboard);
}
