// The session file on its own (what comes back after a kill, files that cannot be used, the
// history's bound) and through the window: the list across runs, an unfinished batch, the
// history window.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "app/history_filter.h"
#include "app/history_window.h"
#include "app/limits.h"
#include "app/session_database.h"
#include "app/session_store.h"
#include "download/download_queue.h"
#include "tests/app/unit/window_fixture.h"

namespace mevra::app {
namespace {

using download::RowStatus;
using testing::WaitUntil;
using testing::WindowTest;

SongRow Row(int key, const char* id, bool ticked, RowStatus status, const char* reason = "") {
  SongRow row;
  row.key = key;
  row.id = QString::fromUtf8(id);
  row.title = QStringLiteral("歌") + row.id;
  row.singer = QStringLiteral("S");
  row.ticked = ticked;
  row.status = status;
  row.reason = QString::fromUtf8(reason);
  return row;
}

HistoryEntry Entry(const char* id, RowStatus outcome, int64_t time_ms = 1) {
  HistoryEntry entry;
  entry.time_ms = time_ms;
  entry.id = QString::fromUtf8(id);
  entry.title = QStringLiteral("歌") + entry.id;
  entry.outcome = outcome;
  entry.rate = QStringLiteral("320");
  return entry;
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

// What a kill leaves: the file and its log as they lie on disk while the program still holds
// them, taken to another place and opened there.
QString CopyAsKilled(const QString& path, const QString& to) {
  for (const char* suffix : {"", "-wal"}) {
    QFile::remove(to + suffix);
    QFile::copy(path + suffix, to + suffix);
  }
  return to;
}

TEST(SessionDatabaseTest, EveryCommittedChangeComesBackAfterAKill) {
  QTemporaryDir dir;
  const QString path = dir.filePath("session.sqlite");
  SessionDatabase db;
  ASSERT_EQ(db.Open(path), SessionDatabase::Failure::kNone) << db.LastError().toStdString();
  SessionChanges changes;
  changes.songs = {Row(0, "1", true, RowStatus::kWaiting),
                   Row(1, "2", false, RowStatus::kDownloading),
                   Row(2, "3", true, RowStatus::kFailed, "HTTP/1.1 404 Not Found"),
                   Row(3, "4", false, RowStatus::kWaitingRetry)};
  BatchRecord batch{true, 4, {}};
  batch.settings.song_bit = 128;
  batch.settings.rename_type = 1;
  batch.settings.save_path = QStringLiteral("/音乐");
  changes.batch = batch;
  changes.history = {Entry("3", RowStatus::kFailed, 10), Entry("0", RowStatus::kSucceeded, 20)};
  ASSERT_TRUE(db.Apply(changes)) << db.LastError().toStdString();

  SessionDatabase after;
  ASSERT_EQ(after.Open(CopyAsKilled(path, dir.filePath("killed.sqlite"))),
            SessionDatabase::Failure::kNone);
  const std::vector<SongRow> songs = after.Songs();
  ASSERT_EQ(songs.size(), 4u);
  EXPECT_EQ(songs[0].id, "1");
  EXPECT_TRUE(songs[0].ticked);
  EXPECT_FALSE(songs[0].unfinished);
  // The songs under way are to be fetched again, whatever their ticks said.
  for (int row : {1, 3}) {
    EXPECT_TRUE(songs[static_cast<size_t>(row)].unfinished);
    EXPECT_TRUE(songs[static_cast<size_t>(row)].ticked);
    EXPECT_EQ(songs[static_cast<size_t>(row)].status, RowStatus::kWaiting);
  }
  EXPECT_EQ(songs[2].status, RowStatus::kFailed);
  EXPECT_EQ(songs[2].reason, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(after.Batch(), batch);
  const std::vector<HistoryEntry> history = after.History();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0], changes.history[1]);
}

TEST(SessionDatabaseTest, TheHistoryKeepsItsNewestEntries) {
  QTemporaryDir dir;
  SessionDatabase db;
  ASSERT_EQ(db.Open(dir.filePath("s.sqlite")), SessionDatabase::Failure::kNone);
  SessionChanges changes;
  for (int i = 0; i < kMaxHistoryEntries; ++i) {
    changes.history.push_back(Entry(QByteArray::number(i).constData(), RowStatus::kFailed, i));
  }
  ASSERT_TRUE(db.Apply(changes));
  EXPECT_EQ(db.History().size(), static_cast<size_t>(kMaxHistoryEntries));
  EXPECT_EQ(db.History().back().time_ms, 0);
  SessionChanges newest;
  newest.history = {Entry("new", RowStatus::kSucceeded, kMaxHistoryEntries)};
  ASSERT_TRUE(db.Apply(newest));
  const std::vector<HistoryEntry> history = db.History();
  ASSERT_EQ(history.size(), static_cast<size_t>(kMaxHistoryEntries));
  EXPECT_EQ(history.front().id, "new");
  EXPECT_EQ(history.back().time_ms, 1);
}

TEST(SessionDatabaseTest, FilesItCannotUseAreLeftAsTheyWere) {
  QTemporaryDir dir;
  const QString path = dir.filePath("session.sqlite");
  SessionDatabase first;
  ASSERT_EQ(first.Open(path), SessionDatabase::Failure::kNone);
  SessionChanges one;
  one.songs = {Row(0, "1", true, RowStatus::kWaiting)};
  ASSERT_TRUE(first.Apply(one));
  // A second copy of the program finds the file held.
  SessionDatabase second;
  EXPECT_EQ(second.Open(path), SessionDatabase::Failure::kInUse)
      << second.LastError().toStdString();
  first.Close();

  // A folder this user may not write: nothing can be kept there, and nothing is touched.
  const QByteArray before = Bytes(path);
  ASSERT_TRUE(QFile::setPermissions(
      dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));
  // Root writes everywhere; a file-system identity of nobody's drops that right for this thread.
  const bool as_root = geteuid() == 0;
  if (as_root) setfsuid(65534);
  SessionDatabase readonly;
  const SessionDatabase::Failure failure = readonly.Open(path);
  if (as_root) setfsuid(0);
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(failure, SessionDatabase::Failure::kUnwritable) << readonly.LastError().toStdString();
  EXPECT_EQ(Bytes(path), before);
}

TEST(SessionStoreTest, AFileThatCannotBeReadIsSetAsideAndAFreshListBegins) {
  struct Case {
    const char* name;
    std::function<void(const QString& path)> make;
  };
  const Case cases[] = {
      {"not a database", [](const QString& path) { Write(path, QByteArray(5000, 'x')); }},
      {"another version",
       [](const QString& path) {
         {
           SessionDatabase db;
           ASSERT_EQ(db.Open(path), SessionDatabase::Failure::kNone);
         }
         QByteArray bytes = Bytes(path);
         bytes[63] = 2;  // the header's user version, big-endian at offset 60
         Write(path, bytes);
       }},
      {"cut short",
       [](const QString& path) {
         {
           SessionDatabase db;
           ASSERT_EQ(db.Open(path), SessionDatabase::Failure::kNone);
           SessionChanges many;
           for (int i = 0; i < 2000; ++i) many.songs.push_back(Row(i, "x", true, {}));
           ASSERT_TRUE(db.Apply(many));
         }
         Write(path, Bytes(path).left(8192));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath("session.sqlite");
    c.make(path);
    const QByteArray damaged = Bytes(path);
    SessionStore store;
    const SessionStore::Opened opened = store.Open(path);
    EXPECT_TRUE(opened.songs.empty());
    EXPECT_TRUE(opened.problem.contains(path + ".broken")) << opened.problem.toStdString();
    EXPECT_EQ(Bytes(path + ".broken"), damaged);
    EXPECT_TRUE(store.Keeping());
    store.AddHistory(Entry("1", RowStatus::kSucceeded));
    EXPECT_EQ(store.History().size(), 1u);
  }
  // Where no file can be made, the program runs on without one.
  QTemporaryDir dir;
  Write(dir.filePath("blocker"), "a file, not a folder");
  SessionStore store;
  const SessionStore::Opened opened = store.Open(dir.filePath("blocker/session.sqlite"));
  EXPECT_FALSE(store.Keeping());
  EXPECT_FALSE(opened.problem.isEmpty());
  EXPECT_EQ(Bytes(dir.filePath("blocker")), "a file, not a folder");
}

// --- Through the window ----------------------------------------------------------------------

class SessionWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteFile("config.ini", EndpointsSection());
  }
  QString SessionPath() const { return dir_.filePath("session.sqlite"); }
  // Writes a session as an earlier run would have left it.
  void Keep(const SessionChanges& changes) {
    SessionDatabase db;
    ASSERT_EQ(db.Open(SessionPath()), SessionDatabase::Failure::kNone);
    ASSERT_TRUE(db.Apply(changes));
  }
};

TEST_F(SessionWindowTest, TheListComesBackAsItWasLeftAndAClearEmptiesIt) {
  MainWindow& w = Open();
  for (const char* id : {"1", "2", "3"}) w.AddSong(id, QString("歌") + id, "S");
  w.SetSongTicked(1, true);
  w.Songs().SetStatus(2, RowStatus::kFailed, "HTTP/1.1 404 Not Found");
  CloseWindow();

  MainWindow& again = Open();
  ASSERT_EQ(again.SongCount(), 3);
  EXPECT_EQ(again.SongText(0, MainWindow::kColumnId), "1");
  EXPECT_EQ(again.SongText(2, MainWindow::kColumnTitle), "歌3");
  EXPECT_EQ((std::vector<bool>{again.SongTicked(0), again.SongTicked(1), again.SongTicked(2)}),
            (std::vector<bool>{false, true, false}));
  EXPECT_EQ(again.SongText(2, MainWindow::kColumnStatus), "下载失败HTTP/1.1 404 Not Found");
  // Listed songs stay out of a harvest as before.
  again.AddSong("2", "x", "y");
  EXPECT_EQ(again.SongCount(), 3);
  answer_ = MessageAnswer::kYes;
  again.btn_clearClick();
  CloseWindow();
  EXPECT_EQ(Open().SongCount(), 0);
  EXPECT_TRUE(Boxes().Shown().empty());
}

TEST_F(SessionWindowTest, AnUnfinishedBatchIsOfferedForItsOwnSongsOnly) {
  QDir(dir_.path()).mkpath("songs");
  SessionChanges kept;
  kept.songs = {Row(0, "10", false, RowStatus::kSucceeded),
                Row(1, "11", false, RowStatus::kDownloading),  // under way: unfinished
                Row(2, "12", true, RowStatus::kWaiting),       // its turn had not come
                Row(3, "13", false, RowStatus::kWaiting),      // not ticked
                Row(4, "14", true, RowStatus::kWaiting)};      // listed after the batch began
  BatchRecord batch{true, 4, {}};
  batch.settings.song_bit = 128;
  batch.settings.rename_type = 1;
  batch.settings.save_path = dir_.filePath("songs");
  kept.batch = batch;
  for (const MessageAnswer answer : {MessageAnswer::kNo, MessageAnswer::kYes}) {
    SCOPED_TRACE(answer == MessageAnswer::kYes ? "yes" : "no");
    Keep(kept);
    answer_ = answer;
    MainWindow& w = Open();
    Probe().LinkSource().SetPageWait(50);
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().Shown().empty(); }));
    const MessageRequest question = Boxes().Shown().front();
    EXPECT_EQ(question.text, "上次的下载没有完成（2首），现在继续吗？");
    EXPECT_EQ(question.caption, "提示");
    EXPECT_EQ(question.buttons, MessageButtons::kYesNo);
    if (answer == MessageAnswer::kNo) {
      EXPECT_FALSE(Probe().Queue().IsRunning());
      EXPECT_EQ(w.SongText(1, MainWindow::kColumnStatus), "未完成");
      EXPECT_TRUE(w.SongTicked(1));
      // Answered once: the next start asks nothing.
      CloseWindow();
      MainWindow& again = Open();
      WaitUntil([] { return false; }, 50);
      EXPECT_TRUE(Boxes().Shown().empty());
      EXPECT_EQ(again.SongCount(), 5);
    } else {
      // Only the batch's two songs, with its rate (their pages offer no link here).
      EXPECT_TRUE(Ui().rb_128k->isChecked());
      ASSERT_TRUE(WaitUntil([&] { return Ui().btn_down->isEnabled(); }, 20000));
      for (int row : {1, 2}) {
        EXPECT_TRUE(w.SongText(row, MainWindow::kColumnStatus).startsWith("下载失败"));
      }
      EXPECT_EQ(w.SongText(4, MainWindow::kColumnStatus), "等待中");
      EXPECT_EQ(Boxes().Shown().back().text, "所有任务已经完成！本次共下载了0首歌曲");
    }
    CloseWindow();
  }
}

TEST_F(SessionWindowTest, TheHistoryWindowFiltersOpensFoldersClearsAndRetries) {
  HistoryEntry saved = Entry("1", RowStatus::kSucceeded, 30);
  saved.file = dir_.filePath("songs/歌1.mp3");
  SessionChanges kept;
  kept.songs = {Row(0, "3", false, RowStatus::kStopped)};
  // Song 1 failed, then was saved: a retry would only fetch it twice.
  kept.history = {Entry("1", RowStatus::kFailed, 5), Entry("2", RowStatus::kFailed, 10),
                  Entry("3", RowStatus::kStopped, 20), saved};
  Keep(kept);
  MainWindow& w = Open();
  Probe().LinkSource().SetPageWait(50);
  w.btn_historyClick();
  HistoryWindow* history = w.findChild<HistoryWindow*>();
  ASSERT_NE(history, nullptr);
  const HistoryControls& c = history->Controls();
  ASSERT_EQ(c.tv_history->topLevelItemCount(), 4);
  EXPECT_EQ(history->EntryOfRow(0).id, "1");  // newest first
  c.cbb_filter->setCurrentIndex(static_cast<int>(HistoryFilter::kFailed));
  ASSERT_EQ(c.tv_history->topLevelItemCount(), 3);
  EXPECT_EQ(history->EntryOfRow(1).id, "2");
  c.cbb_filter->setCurrentIndex(static_cast<int>(HistoryFilter::kSucceeded));
  ASSERT_EQ(c.tv_history->topLevelItemCount(), 1);
  c.tv_history->setCurrentItem(c.tv_history->topLevelItem(0));
  ASSERT_TRUE(c.btn_openfolder->isEnabled());
  c.btn_openfolder->click();
  EXPECT_EQ(Probe().Opener().Opened(),
            QStringList{QUrl::fromLocalFile(dir_.filePath("songs")).toString()});

  // The failed songs come back ticked, the listed one in its place, and a batch fetches them.
  c.cbb_filter->setCurrentIndex(static_cast<int>(HistoryFilter::kAll));
  c.btn_retry->click();
  ASSERT_EQ(w.SongCount(), 2);
  EXPECT_EQ(w.SongText(1, MainWindow::kColumnId), "2");
  EXPECT_TRUE(w.SongTicked(0) && w.SongTicked(1));
  EXPECT_TRUE(Probe().Queue().IsRunning());
  EXPECT_FALSE(c.btn_retry->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return Ui().btn_down->isEnabled(); }, 20000));
  // Both failed again; the window shows it as it happens.
  EXPECT_EQ(c.tv_history->topLevelItemCount(), 6);
  answer_ = MessageAnswer::kYes;
  c.btn_clearhistory->click();
  EXPECT_EQ(c.tv_history->topLevelItemCount(), 0);
  CloseWindow();
  Open().btn_historyClick();
  EXPECT_EQ(window_->findChild<HistoryWindow*>()->Controls().tv_history->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace mevra::app
