#pragma once

// What the download engine's tests share: a song list the test can change under a running batch,
// a record of everything a queue reported, and a fixture with a loopback file server, links
// from a table and a save folder of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "download/download_queue.h"
#include "download/task_list.h"
#include "tests/browser/wait_until.h"
#include "tests/download/fake_link_source.h"
#include "tests/download/file_server.h"
#include "tests/support/mp3_audio.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace mevra::download::testing {

using browser::test::WaitUntil;
using Framing = ServedFile::Framing;

// Bytes that differ from their neighbours, so a misplaced block shows. They begin with an MPEG
// frame sync, as a song's file does, so the engine takes them for audio.
inline std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + (i * 7 + i / 251) % 26);
  if (size >= 2) bytes.replace(0, 2, "\xFF\xFB");
  return bytes;
}

// A song list the test can change while the batch runs: rows may be unticked or the whole list
// cleared, as the user can in the window.
class TestTaskList : public TaskList {
 public:
  explicit TestTaskList(std::vector<SongTask> tasks) : tasks_(std::move(tasks)) {}
  std::optional<SongTask> TakeNext() override {
    while (next_ < tasks_.size()) {
      const SongTask& task = tasks_[next_++];
      if (!unticked_.contains(task.key)) return task;
    }
    return std::nullopt;
  }
  bool StillWanted(const SongTask& task, bool started) override {
    if (cleared_) return false;
    return started || !unticked_.contains(task.key);
  }
  void Clear() {
    cleared_ = true;
    next_ = tasks_.size();
  }

 private:
  std::vector<SongTask> tasks_;
  size_t next_ = 0;
  std::set<int> unticked_;
  bool cleared_ = false;
};

// Everything the queue reported, in order.
struct Report {
  std::vector<int> started;
  std::vector<int> finished;
  std::map<int, QString> row_text;
  std::vector<int> dropped;
  int transfers_running = 0;
  int most_transfers_running = 0;
  int progress_reports = 0;
  std::map<int, QStringList> retries;  // "retry/retries wait_ms" of each song, in order
  bool ended = false;
  int saved = -1;
  int started_count = -1;
  bool stopped = false;
  BatchEnd end = BatchEnd::kFinished;

  explicit Report(DownloadQueue& queue) {
    QObject::connect(&queue, &DownloadQueue::TaskStarted,
                     [this](int key) { started.push_back(key); });
    QObject::connect(&queue, &DownloadQueue::TransferStarted, [this](int) {
      most_transfers_running = std::max(most_transfers_running, ++transfers_running);
    });
    QObject::connect(&queue, &DownloadQueue::TransferEnded, [this](int) { --transfers_running; });
    QObject::connect(&queue, &DownloadQueue::TaskProgress,
                     [this](int, const TransferProgress&) { ++progress_reports; });
    QObject::connect(&queue, &DownloadQueue::TaskFinished, [this](int key, const JobResult& r) {
      finished.push_back(key);
      row_text[key] = r.RowText();
    });
    QObject::connect(&queue, &DownloadQueue::TaskDropped,
                     [this](int key) { dropped.push_back(key); });
    QObject::connect(&queue, &DownloadQueue::TaskRetrying,
                     [this](int key, int retry, int of, qint64 wait_ms) {
                       retries[key] << QStringLiteral("%1/%2 %3").arg(retry).arg(of).arg(wait_ms);
                     });
    QObject::connect(&queue, &DownloadQueue::BatchEnded, [this](int s, int n, BatchEnd how) {
      ended = true;
      saved = s;
      started_count = n;
      stopped = how != BatchEnd::kFinished;
      end = how;
    });
  }
};

// The policies the program starts with, but pauses between tries short enough for a test.
inline DownloadPolicies FastRetries() {
  DownloadPolicies policies;
  policies.retry_backoff_base_ms = 10;
  return policies;
}

class DownloadQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    folder_ = dir_.filePath(QStringLiteral("songs"));
    ASSERT_TRUE(QDir().mkpath(folder_));
  }

  // A task for song `id` served at `path` (no link when `path` is empty), saved as "<id> - S".
  SongTask Task(int key, const QString& id, const std::string& path, const ServedFile& file) {
    if (!path.empty()) {
      server_.Serve(path, file);
      links_.SetLink(id, QString::fromStdString(server_.Url(path)));
    }
    SongTask task;
    task.key = key;
    task.id = id;
    task.title = id;
    task.singer = QStringLiteral("S");
    task.rate = QStringLiteral("320");
    task.naming = NamingScheme::kTitleSinger;
    task.save_folder = folder_;
    return task;
  }

  // A save folder of the test's own, so no case sees another's files.
  void UseNewFolder(const QString& name) {
    folder_ = dir_.filePath(name);
    ASSERT_TRUE(QDir().mkpath(folder_));
  }

  QStringList Files() const {
    return QDir(folder_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }
  static QByteArray AudioOf(QByteArray bytes) { return mevra::testing::AudioOf(std::move(bytes)); }
  // A saved song's audio, without its tag; a file that is no MP3 as it stands.
  QByteArray Bytes(const QString& name) const {
    QFile file(folder_ + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? AudioOf(file.readAll()) : QByteArray();
  }

  QTemporaryDir dir_;
  QString folder_;
  FileServer server_;
  FakeLinkSource links_;
};

}  // namespace mevra::download::testing
