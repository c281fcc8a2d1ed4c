#include "download/file_naming.h"

#include <QStringList>

#include "download/limits.h"

namespace mevra::download {
namespace {

// Names the other system gives its devices; with any extension they name no file there.
bool IsReservedDeviceName(const QString& stem) {
  static const QStringList kReserved = {
      QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
      QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
      QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
      QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
      QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
      QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
      QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
      QStringLiteral("LPT9")};
  return kReserved.contains(stem.trimmed(), Qt::CaseInsensitive);
}

}  // namespace

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

QString FatSafeFileName(const QString& name) {
  QString safe = name;
  for (QChar& c : safe) {
    if (QStringView(u":*?\"<>|").contains(c)) c = QLatin1Char('_');
  }
  for (qsizetype i = safe.size() - 1;
       i >= 0 && (safe[i] == QLatin1Char('.') || safe[i] == QLatin1Char(' ')); --i) {
    safe[i] = QLatin1Char('_');
  }
  const qsizetype dot = safe.indexOf(QLatin1Char('.'));
  const qsizetype stem = dot < 0 ? safe.size() : dot;
  if (IsReservedDeviceName(safe.left(stem))) safe.insert(stem, QLatin1Char('_'));
  return safe;
}

QString CutToUtf8Bytes(const QString& name, int max_bytes) {
  int bytes = 0;
  qsizetype end = 0;
  while (end < name.size()) {
    const char32_t code = name[end].isHighSurrogate() && end + 1 < name.size()
                              ? QChar::surrogateToUcs4(name[end], name[end + 1])
                              : name[end].unicode();
    const int width = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    if (bytes + width > max_bytes) break;
    bytes += width;
    end += code >= 0x10000 ? 2 : 1;
  }
  return name.left(end);
}

int DerivedNameBytes() {
  static const int bytes =
      static_cast<int>((PartFilePath(QStringLiteral("_new320.mp3"), kMaxPartFilesPerName - 1) +
                        QStringLiteral(".info"))
                           .toUtf8()
                           .size());
  return bytes;
}

QString SongBaseName(NamingScheme scheme, const QString& title, const QString& singer,
                     NameRules rules) {
  QString name = CutToUtf8Bytes(SafeFileName(SongFileName(scheme, title, singer)),
                                kMaxFileNameBytes - DerivedNameBytes());
  if (rules == NameRules::kFat) name = FatSafeFileName(name);
  return name;
}

}  // namespace mevra::download
