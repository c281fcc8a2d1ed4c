#include "download/file_naming.h"

#include <QCoreApplication>
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

// The placeholders a template may use, by name.
constexpr const char* kPlaceholders[] = {"title", "singer", "id", "rate", "page"};

QString ValueOf(QStringView name, const TemplateValues& values) {
  if (name == u"title") return values.title.trimmed();
  if (name == u"singer") return values.singer.trimmed();
  if (name == u"id") return values.id.trimmed();
  if (name == u"rate") return values.rate.trimmed();
  return values.page.trimmed();
}

// One part of a template with its placeholders put in; false when it holds a brace that opens
// no known placeholder or closes none.
bool ExpandPart(QStringView part, const TemplateValues* values, QString* out, QStringList* used) {
  for (qsizetype at = 0; at < part.size(); ++at) {
    if (part[at] == u'}') return false;
    if (part[at] != u'{') {
      if (out) out->append(part[at]);
      continue;
    }
    const qsizetype close = part.indexOf(u'}', at);
    if (close < 0) return false;
    const QStringView name = part.mid(at + 1, close - at - 1);
    bool known = false;
    for (const char* placeholder : kPlaceholders)
      known = known || name == QLatin1String(placeholder);
    if (!known) return false;
    if (used) used->append(name.toString());
    if (out && values) out->append(SafeFileName(ValueOf(name, *values)));
    at = close;
  }
  return true;
}

}  // namespace

QString NameTemplateError(const QString& name_template) {
  const QString text = name_template.trimmed();
  if (text.isEmpty()) return QCoreApplication::translate("FileNaming", "模板是空的");
  if (text.startsWith(u'/')) return QCoreApplication::translate("FileNaming", "模板不能以“/”开头");
  const QStringList parts = text.split(u'/');
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString part = parts[i].trimmed();
    if (part.isEmpty()) return QCoreApplication::translate("FileNaming", "模板中有空的文件夹名");
    if (part == QLatin1String(".") || part == QLatin1String("..")) {
      return QCoreApplication::translate("FileNaming", "模板中不能用“.”或“..”作文件夹名");
    }
    QStringList used;
    if (!ExpandPart(part, nullptr, nullptr, &used)) {
      return QCoreApplication::translate(
          "FileNaming",
          "模板中的花括号不成对，或占位符不认识（可用 {title} {singer} {id} {rate} {page}）");
    }
    if (i == parts.size() - 1 && !used.contains(QLatin1String("title")) &&
        !used.contains(QLatin1String("id"))) {
      return QCoreApplication::translate("FileNaming",
                                         "文件名部分要有 {title} 或 {id}，否则歌曲会重名");
    }
  }
  return QString();
}

QString TemplateBaseName(const QString& name_template, const TemplateValues& values,
                         NameRules rules) {
  const QStringList parts = name_template.trimmed().split(u'/');
  QStringList names;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    QString name;
    ExpandPart(parts[i].trimmed(), &values, &name, nullptr);
    const bool file_name = i == parts.size() - 1;
    name = SafeFileName(name.trimmed());
    if (name.isEmpty()) name = QStringLiteral("_");
    name = CutToUtf8Bytes(name,
                          file_name ? kMaxFileNameBytes - DerivedNameBytes() : kMaxFileNameBytes);
    if (rules == NameRules::kFat) name = FatSafeFileName(name);
    names.push_back(name);
  }
  return names.join(u'/');
}

QString SongFileName(NamingScheme scheme, const QString& title, const QString& singer) {
  const QString t = title.trimmed();
  const QString s = singer.trimmed();
  switch (scheme) {
    case NamingScheme::kTitle:
      return t;
    case NamingScheme::kTitleSinger:
      return t + QStringLiteral(" - ") + s;
    case NamingScheme::kSingerTitle:
    case NamingScheme::kTemplate:
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
