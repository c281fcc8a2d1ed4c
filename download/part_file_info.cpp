#include "download/part_file_info.h"

#include <QFile>
#include <QStringList>
#include <QUrl>

namespace mevra::download {

QString PartFileInfo::InfoPath(const QString& part_path) {
  return part_path + QStringLiteral(".info");
}

std::optional<PartFileInfo> PartFileInfo::Read(const QString& part_path) {
  QFile file(InfoPath(part_path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  PartFileInfo info;
  bool has_id = false, has_rate = false, has_link = false;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).remove(u'\r').remove(u'\n');
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0) continue;
    const QString key = line.left(equals);
    const QString value = line.mid(equals + 1);
    if (key == QLatin1String("id")) {
      info.id = value;
      has_id = true;
    } else if (key == QLatin1String("rate")) {
      info.rate = value;
      has_rate = true;
    } else if (key == QLatin1String("link")) {
      info.link = value;
      has_link = true;
    } else if (key == QLatin1String("etag")) {
      info.etag = value;
    } else if (key == QLatin1String("modified")) {
      info.last_modified = value;
    } else if (key == QLatin1String("length")) {
      bool ok = false;
      const qint64 length = value.toLongLong(&ok);
      info.complete_length = ok && length >= 0 ? length : -1;
    }
  }
  // A record missing a part of the source cannot vouch for the bytes.
  if (!has_id || !has_rate || !has_link) return std::nullopt;
  return info;
}

bool PartFileInfo::Write(const QString& part_path, QString* error) const {
  QFile file(InfoPath(part_path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    if (error) *error = file.errorString();
    return false;
  }
  QString text = QStringLiteral("id=") + id + QStringLiteral("\nrate=") + rate +
                 QStringLiteral("\nlink=") + link + QStringLiteral("\nlength=") +
                 QString::number(complete_length) + u'\n';
  // A line break in a header value would start a line of its own.
  if (!etag.isEmpty()) text += QStringLiteral("etag=") + QString(etag).remove(u'\n') + u'\n';
  if (!last_modified.isEmpty()) {
    text += QStringLiteral("modified=") + QString(last_modified).remove(u'\n') + u'\n';
  }
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) == bytes.size() && file.flush()) return true;
  if (error) *error = file.errorString();
  return false;
}

QString PartFileInfo::IfRange() const {
  if (!etag.isEmpty() && !etag.startsWith(QLatin1String("W/"))) return etag;
  return last_modified;
}

void PartFileInfo::Remove(const QString& part_path) { QFile::remove(InfoPath(part_path)); }

QString LinkIdentity(const QString& url) {
  return QUrl(url).adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

}  // namespace mevra::download
