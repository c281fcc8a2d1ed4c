#include "download/file_naming.h"

namespace mevra::download {

QString SongFileName(NamingScheme scheme, const QString& title, const QString& singer) {
  const QString t = title.trimmed();
  const QString s = singer.trimmed();
  switch (scheme) {
    case NamingScheme::kTitle:
      return t;
    case NamingScheme::kTitleSinger:
      return t + QStringLiteral(" - ") + s;
    case NamingScheme::kSingerTitle:
      break;
  }
  return s + QStringLiteral(" - ") + t;
}

QString SafeFileName(const QString& name) {
  QString safe = name;
  for (QChar& c : safe) {
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ||
        c.unicode() == 0x7f) {
      c = QLatin1Char('_');
    }
  }
  if (safe == QLatin1String(".") || safe == QLatin1String("..")) safe = QStringLiteral("_");
  return safe;
}

QString SongSavePath(const QString& save_folder, const QString& name, const QString& rate,
                     const std::function<bool(const QString&)>& file_exists) {
  QString base = save_folder + QLatin1Char('/') + name;
  if (file_exists(base + QStringLiteral(".mp3"))) base += QStringLiteral("_new") + rate;
  return base + QStringLiteral(".mp3");
}

QString PartFilePath(const QString& target, int attempt) {
  if (attempt <= 0) return target + QStringLiteral(".part");
  return target + QLatin1Char('.') + QString::number(attempt) + QStringLiteral(".part");
}

std::optional<bool> SizeFilterRemoves(int64_t file_size, const QString& megabytes_text) {
  bool ok = false;
  const int megabytes = megabytes_text.toInt(&ok);
  if (!ok) return std::nullopt;
  const int64_t kilobytes = file_size / 1024;
  return kilobytes <= static_cast<int64_t>(megabytes) * 1024;
}

}  // namespace mevra::download
