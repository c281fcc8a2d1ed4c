// How long the music library scan takes over 20,000 tagged MP3 files in nested folders: the
// first time (every tag read) and again with the cache of the first (nothing changed).
//   mevra_library_bench [FILES]
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "download/library_scan.h"
#include "download/tag_writer.h"

namespace {

// A short MPEG-1 layer III file: enough frames for a tag reader to take it for one.
QByteArray SmallMp3() {
  QByteArray frame(417, '\0');
  frame[0] = static_cast<char>(0xFF);
  frame[1] = static_cast<char>(0xFB);
  frame[2] = static_cast<char>(0x90);
  return frame.repeated(8);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
  QTemporaryDir dir;
  // One tagged file, copied: writing 20,000 tags would measure TagLib's writer instead.
  const QString model = dir.filePath(QStringLiteral("model.bin"));
  {
    QFile file(model);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(SmallMp3());
  }
  mevra::download::SongTags tags;
  tags.missing_title_artist = true;
  tags.title = QStringLiteral("晨光序曲");
  tags.artist = QStringLiteral("林若溪");
  tags.song_id = QStringLiteral("23470020");
  if (!mevra::download::WriteSongTags(model, tags)) return 1;
  const QString library = dir.filePath(QStringLiteral("library"));
  for (int i = 0; i < count; ++i) {
    const QString folder = QStringLiteral("%1/%2/%3").arg(library).arg(i / 1000).arg(i / 100 % 10);
    QDir().mkpath(folder);
    QFile::copy(model, QStringLiteral("%1/song %2.mp3").arg(folder).arg(i));
  }
  QElapsedTimer clock;
  clock.start();
  const std::vector<mevra::download::LibraryFile> first = mevra::download::ScanLibrary(library, {});
  const qint64 first_ms = clock.elapsed();
  mevra::download::LibraryCache cache;
  for (const mevra::download::LibraryFile& file : first) cache.insert(file.path, file);
  clock.restart();
  const std::vector<mevra::download::LibraryFile> again =
      mevra::download::ScanLibrary(library, cache);
  const qint64 again_ms = clock.elapsed();
  std::printf("files %zu  first scan %lld ms  cached scan %lld ms (%zu files)\n", first.size(),
              static_cast<long long>(first_ms), static_cast<long long>(again_ms), again.size());
  return 0;
}
