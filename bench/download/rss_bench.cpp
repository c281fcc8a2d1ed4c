// Peak memory of one large download: the program's download job, which streams the body into a
// part file, against fetching the body into memory as the batch once did. The file comes from a
// plain HTTP server in a process of its own (python3 -m http.server), so only this process's
// memory is measured; a sparse file serves the bytes without a disk.
//
//   mevra_download_rss_bench [--megabytes N]   (default 300)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

#include "download/link_source.h"
#include "download/song_download_job.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/stream.h"
#include "tests/browser/wait_until.h"

namespace {

using mevra::browser::test::WaitUntil;

// One value of /proc/self/status in kilobytes ("VmRSS", "VmHWM").
long StatusKb(const char* key) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(key))
      return line.mid(static_cast<int>(strlen(key)) + 1).trimmed().split(' ')[0].toLong();
  }
  return -1;
}

// Starts a new peak, so VmHWM tells the highest point from now on.
void ResetPeak() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

class FixedLinks : public mevra::download::LinkSource {
 public:
  explicit FixedLinks(QString url) : url_(std::move(url)) {}
  Ticket Request(const QString&, const QString&, Answer answer) override {
    QTimer::singleShot(0, &context_, [this, answer] {
      mevra::download::LinkAnswer link;
      link.found = true;
      link.url = url_;
      answer(link);
    });
    return ++last_;
  }
  void Cancel(Ticket) override {}

 private:
  QString url_;
  QObject context_;
  Ticket last_ = 0;
};

// Runs one download job for `url` into `folder`; false when the song was not saved.
bool RunJob(const QString& url, const QString& folder) {
  FixedLinks links(url);
  mevra::download::SongTask task;
  task.id = QStringLiteral("1");
  task.title = QStringLiteral("big");
  task.rate = QStringLiteral("320");
  task.naming = mevra::download::NamingScheme::kTitle;
  task.save_folder = folder;
  mevra::download::SongDownloadJob job(task, links);
  bool saved = false;
  bool ended = false;
  QObject::connect(&job, &mevra::download::SongDownloadJob::Finished,
                   [&](const mevra::download::JobResult& result) {
                     ended = true;
                     saved = result.status == mevra::download::RowStatus::kSucceeded;
                   });
  job.Start();
  WaitUntil([&] { return ended; }, 600000);
  return saved;
}

int Run(int megabytes) {
  QTemporaryDir dir;
  const QString served = dir.filePath(QStringLiteral("served"));
  QDir().mkpath(served);
  for (const auto& [name, size] :
       {std::pair{QStringLiteral("small.mp3"), 1LL << 20},
        std::pair{QStringLiteral("big.mp3"), static_cast<long long>(megabytes) << 20}}) {
    QFile file(served + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) return 1;
  }
  QProcess server;
  server.start(QStringLiteral("python3"),
               {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                QStringLiteral("--directory"), served});
  QString port;
  WaitUntil(
      [&] {
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("port (\\d+)"))
                                                  .match(QString::fromUtf8(server.peek(4096)));
        if (match.hasMatch()) port = match.captured(1);
        return !port.isEmpty();
      },
      20000);
  if (port.isEmpty()) {
    std::fprintf(stderr, "python3 -m http.server did not start\n");
    return 1;
  }
  const QString base = QStringLiteral("http://127.0.0.1:") + port;
  const QString saved_dir = dir.filePath(QStringLiteral("saved"));
  QDir().mkpath(saved_dir);

  // A small download first, so the idle figure includes everything a download loads.
  if (!RunJob(base + QStringLiteral("/small.mp3"), saved_dir)) return 1;
  QFile::remove(saved_dir + QStringLiteral("/big.mp3"));
  const long idle_kb = StatusKb("VmRSS:");
  ResetPeak();
  QElapsedTimer timer;
  timer.start();
  const bool saved = RunJob(base + QStringLiteral("/big.mp3"), saved_dir);
  const double seconds = static_cast<double>(timer.elapsed()) / 1000;
  const long job_peak_kb = StatusKb("VmHWM:");
  const qint64 size = QFileInfo(saved_dir + QStringLiteral("/big.mp3")).size();
  std::printf(
      "download job (part file)   idle %6ld KB   peak %7ld KB   growth %7ld KB   "
      "%.1f s, %.0f MB/s%s\n",
      idle_kb, job_peak_kb, job_peak_kb - idle_kb, seconds,
      static_cast<double>(size) / 1048576.0 / seconds,
      saved && size == (static_cast<qint64>(megabytes) << 20) ? "" : "  NOT SAVED WHOLE");
  QFile::remove(saved_dir + QStringLiteral("/big.mp3"));

  // The earlier way: the whole body in memory, then written out.
  const long before_kb = StatusKb("VmRSS:");
  ResetPeak();
  timer.restart();
  {
    mevra::http::HttpClient client;
    mevra::http::ApplyProgramConfiguration(client);
    mevra::net::MemoryStream stream;
    client.Get((base + QStringLiteral("/big.mp3")).toStdString(), stream);
    QFile file(saved_dir + QStringLiteral("/big.mp3"));
    if (file.open(QIODevice::WriteOnly)) {
      file.write(stream.Data().data(), static_cast<qint64>(stream.Data().size()));
    }
  }
  const double memory_seconds = static_cast<double>(timer.elapsed()) / 1000;
  const long memory_peak_kb = StatusKb("VmHWM:");
  std::printf(
      "body in memory (before)    idle %6ld KB   peak %7ld KB   growth %7ld KB   "
      "%.1f s, %.0f MB/s\n",
      before_kb, memory_peak_kb, memory_peak_kb - before_kb, memory_seconds,
      static_cast<double>(megabytes) / memory_seconds);
  std::printf("target: growth of the download job at most 32768 KB\n");
  server.terminate();
  server.waitForFinished(5000);
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int megabytes = 300;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--megabytes") && i + 1 < args.size()) {
      megabytes = std::max(1, args[++i].toInt());
    } else {
      std::fprintf(stderr, "usage: mevra_download_rss_bench [--megabytes N]\n");
      return 2;
    }
  }
  return Run(megabytes);
}
