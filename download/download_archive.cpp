#include "download/download_archive.h"

#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace mevra::download {
namespace {

// A song's id and rate are digits; anything else on a line means it was damaged.
bool AllDigits(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

}  // namespace

void DownloadArchive::Load() {
  std::lock_guard lock(mutex_);
  saved_.clear();
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).remove(u'\r').remove(u'\n');
    const QStringList fields = line.split(u'\t');
    // A line cut short by a crash, or edited by hand into something else, is passed over.
    if ((fields.size() != 3 && fields.size() != 4) || !AllDigits(fields[0]) ||
        !AllDigits(fields[1]) || fields[2].isEmpty() ||
        (fields.size() == 4 && !AllDigits(fields[3]))) {
      continue;
    }
    saved_.insert(Key(fields[0], fields[1]),
                  {fields[2], fields.size() == 4 ? fields[3].toLongLong() : -1});
  }
}

QString DownloadArchive::SavedPath(const QString& id, const QString& rate) const {
  std::lock_guard lock(mutex_);
  return saved_.value(Key(id, rate)).path;
}

int64_t DownloadArchive::SavedSize(const QString& id, const QString& rate) const {
  std::lock_guard lock(mutex_);
  return saved_.value(Key(id, rate)).size;
}

int DownloadArchive::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(saved_.size());
}

bool DownloadArchive::Add(const QString& id, const QString& rate, const QString& saved_path,
                          int64_t size, QString* error) {
  // One song's line at a time, so lines of songs saved at once never mix.
  std::lock_guard lock(mutex_);
  saved_.insert(Key(id, rate), {saved_path, size});
  QFile file(path_);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
    if (error) *error = file.errorString();
    return false;
  }
  // A last line cut short by a crash must not swallow the new one.
  QByteArray line;
  if (file.size() > 0) {
    QFile tail(path_);
    if (tail.open(QIODevice::ReadOnly) && tail.seek(tail.size() - 1) && tail.read(1) != "\n") {
      line += '\n';
    }
  }
  line += (Key(id, rate) + u'\t' + saved_path + u'\t' + QString::number(size) + u'\n').toUtf8();
  const bool written =
      file.write(line) == line.size() && file.flush() && ::fsync(file.handle()) == 0;
  if (!written && error) *error = file.errorString();
  return written;
}

bool DownloadArchive::Clear(QString* error) {
  std::lock_guard lock(mutex_);
  saved_.clear();
  QFile file(path_);
  if (!file.exists()) return true;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace mevra::download
