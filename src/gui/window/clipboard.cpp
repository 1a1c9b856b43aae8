// SPDX-License-Identifier: MIT
#include "gui/window/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "core/output/clipboard_formats.h"
#include "core/platform/errors.h"

namespace glyphor {

QMimeData* MetafileMimeData(const std::vector<uint8_t>& emf) {
  auto* data = new QMimeData;
  const QByteArray bytes(reinterpret_cast<const char*>(emf.data()), static_cast<qsizetype>(emf.size()));
  for (std::string_view type : EmfClipboardMimeTypes)
    data->setData(QString::fromUtf8(type.data(), static_cast<qsizetype>(type.size())), bytes);
  return data;
}

void PutMetafileOnClipboard(const std::vector<uint8_t>& emf) {
  const auto fail = [] { throw EFileError("クリップボードを開くことができません"); };
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) fail();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) fail();
  // The clipboard takes ownership of the data and drops what it held.
  clipboard->setMimeData(MetafileMimeData(emf));
  // A platform without a clipboard keeps nothing.
  const QMimeData* now = clipboard->mimeData();
  const std::string_view first = EmfClipboardMimeTypes.front();
  if (!now || !now->hasFormat(QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size())))) fail();
}

}  // namespace glyphor
