#include "app/session_store.h"

#include <QFile>
#include <QFileInfo>
#include <future>

#include "app/song_list_model.h"

namespace mevra::app {
namespace {

// SQLite keeps these beside the file; they go where the file goes.
const char* const kCompanions[] = {"", "-wal", "-shm"};

// Moves a file that cannot be read out of the way, with its companions; false when it stays.
bool SetAside(const QString& path, const QString& broken) {
  for (const char* suffix : kCompanions) QFile::remove(broken + QLatin1String(suffix));
  if (!QFile::rename(path, broken)) return false;
  for (const char* suffix : {"-wal", "-shm"}) {
    if (QFileInfo::exists(path + QLatin1String(suffix))) {
      QFile::rename(path + QLatin1String(suffix), broken + QLatin1String(suffix));
    }
  }
  return true;
}

}  // namespace

SessionStore::SessionStore(QObject* parent) : QObject(parent) {
  thread_.setObjectName(QStringLiteral("session"));
  thread_.start();
  context_ = new QObject;
  context_->moveToThread(&thread_);
  db_ = std::make_unique<SessionDatabase>();
  submit_timer_.setSingleShot(true);
  submit_timer_.setInterval(0);
  connect(&submit_timer_, &QTimer::timeout, this, &SessionStore::Submit);
}

SessionStore::~SessionStore() {
  StopLibraryScan();
  Flush();
  RunThere([this] { db_.reset(); });
  thread_.quit();
  thread_.wait();
  delete context_;
}

void SessionStore::ScanLibrary(
    const QString& folder,
    std::function<void(const std::vector<download::LibraryFile>& files)> done) {
  StopLibraryScan();
  library_stop_ = std::make_shared<std::atomic<bool>>(false);
  // The walk has a thread of its own, so the session's writes go on meanwhile; the cache is
  // read and written on the writing thread, where the database lives.
  library_thread_ = std::thread([this, folder, done = std::move(done), stop = library_stop_] {
    auto cache = std::make_shared<std::promise<download::LibraryCache>>();
    std::future<download::LibraryCache> cached = cache->get_future();
    QMetaObject::invokeMethod(
        context_,
        [this, cache] {
          cache->set_value(db_->IsOpen() ? db_->LibraryFiles() : download::LibraryCache());
        },
        Qt::QueuedConnection);
    std::vector<download::LibraryFile> files =
        download::ScanLibrary(folder, cached.get(), stop.get());
    if (*stop) return;
    // A cache that cannot be written costs the next scan its time, nothing else.
    QMetaObject::invokeMethod(
        context_,
        [this, files] {
          if (db_->IsOpen()) db_->SetLibraryFiles(files);
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this,
        [done, stop, files = std::move(files)] {
          if (!*stop) done(files);
        },
        Qt::QueuedConnection);
  });
}

void SessionStore::StopLibraryScan() {
  *library_stop_ = true;
  if (library_thread_.joinable()) library_thread_.join();
}

void SessionStore::RunThere(const std::function<void()>& work) {
  QMetaObject::invokeMethod(context_, work, Qt::BlockingQueuedConnection);
}

SessionStore::Opened SessionStore::Open(const QString& path) {
  Opened opened;
  RunThere([&] {
    using Failure = SessionDatabase::Failure;
    Failure failure = db_->Open(path);
    if (failure == Failure::kUnreadable) {
      const QString error = db_->LastError();
      const QString broken = path + QStringLiteral(".broken");
      if (SetAside(path, broken)) {
        opened.problem = tr("上次的下载列表无法读取（%1），已将它另存为 %2，现在从空列表开始。")
                             .arg(error, broken);
        failure = db_->Open(path);
      }
    }
    if (failure == Failure::kNone) {
      opened.songs = db_->Songs();
      opened.batch = db_->Batch();
      return;
    }
    opened.problem =
        failure == Failure::kInUse
            ? tr("下载列表 %1 正在被另一个程序使用，本次的列表不会被保存。").arg(path)
            : tr("无法保存下载列表 %1（%2），本次的列表不会被保存。").arg(path, db_->LastError());
  });
  keeping_ = db_->IsOpen();
  return opened;
}

void SessionStore::Watch(const SongListModel* model) {
  model_ = model;
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { CollectRows(first, last); });
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& top_left, const QModelIndex& bottom_right,
                 const QList<int>& roles) {
            if (roles.isEmpty() || roles.contains(Qt::CheckStateRole) ||
                roles.contains(Qt::DisplayRole)) {
              CollectRows(top_left.row(), bottom_right.row());
            }
          });
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    pending_.clear_songs = true;
    pending_.songs.clear();
    CollectRows(0, model_->Count() - 1);
    Schedule();
  });
}

void SessionStore::CollectRows(int first, int last) {
  if (!keeping_ || !model_) return;
  for (int row = std::max(first, 0); row <= last && row < model_->Count(); ++row) {
    pending_.songs.push_back(model_->Row(row));
  }
  Schedule();
}

void SessionStore::SetBatch(const BatchRecord& batch) {
  pending_.batch = batch;
  Schedule();
}

void SessionStore::EndBatch() {
  pending_.batch = BatchRecord{};
  Schedule();
}

void SessionStore::AddHistory(const HistoryEntry& entry) {
  pending_.history.push_back(entry);
  Schedule();
}

void SessionStore::ClearHistory() {
  pending_.clear_history = true;
  pending_.history.clear();
  Schedule();
}

void SessionStore::Schedule() {
  if (!submit_timer_.isActive()) submit_timer_.start();
}

void SessionStore::Submit() {
  submit_timer_.stop();
  if (!keeping_) {
    pending_ = {};
    return;
  }
  if (pending_.Empty()) return;
  auto changes = std::make_shared<SessionChanges>(std::move(pending_));
  pending_ = {};
  QMetaObject::invokeMethod(
      context_,
      [this, changes] {
        if (db_->Apply(*changes)) {
          QMetaObject::invokeMethod(
              this, [this] { failing_ = false; }, Qt::QueuedConnection);
          return;
        }
        const QString error = db_->LastError();
        QMetaObject::invokeMethod(
            this, [this, error] { WriteFailed(error); }, Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void SessionStore::WriteFailed(const QString& error) {
  if (failing_) return;
  failing_ = true;
  if (OnWriteFailed) OnWriteFailed(error);
}

void SessionStore::Flush() {
  Submit();
  RunThere([] {});
}

std::vector<HistoryEntry> SessionStore::History() {
  Submit();
  std::vector<HistoryEntry> entries;
  RunThere([&] { entries = db_->History(); });
  return entries;
}

}  // namespace mevra::app
