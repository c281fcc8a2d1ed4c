// The song list's own rules, on the model alone: what goes in, ticks, statuses, and the roles
// each change is reported with (the session writes by them).
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <functional>
#include <vector>

#include "app/song_list_model.h"
#include "app/song_status_delegate.h"

namespace mevra::app {
namespace {

using download::RowStatus;

SongRow Song(const char* id, const char* title = "T") {
  SongRow row;
  row.id = QString::fromUtf8(id);
  row.title = QString::fromUtf8(title);
  row.singer = QStringLiteral("S");
  return row;
}

std::vector<bool> Ticks(const SongListModel& model) {
  std::vector<bool> ticks;
  for (int row = 0; row < model.Count(); ++row) ticks.push_back(model.Row(row).ticked);
  return ticks;
}

TEST(SongListModelTest, NewSongsGoInWithOneInsertAndKeysAreNeverGivenTwice) {
  SongListModel model;
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  EXPECT_EQ(model.Append({Song("1"), Song("2"), Song("1", "again")}), 2);
  EXPECT_EQ(model.Append({Song("2"), Song("3")}), 1);
  EXPECT_EQ(model.Append({Song("3")}), 0);
  EXPECT_EQ(inserted.count(), 2);
  ASSERT_EQ(model.Count(), 3);
  EXPECT_EQ(model.Text(0, SongListModel::kColumnTitle), "T");
  EXPECT_EQ(model.Text(2, SongListModel::kColumnId), "3");
  EXPECT_EQ(model.Text(2, SongListModel::kColumnStatus), "等待中");
  EXPECT_FALSE(model.Row(2).ticked);
  const int old_key = model.Row(1).key;
  EXPECT_EQ(model.RowOfKey(old_key), 1);
  EXPECT_EQ(model.RowOfId("3"), 2);

  model.Clear();
  EXPECT_EQ(model.Count(), 0);
  EXPECT_FALSE(model.Contains("1"));
  EXPECT_EQ(model.Append({Song("1")}), 1);
  // A batch over the rows before the clear never finds a row of the new list by its key.
  EXPECT_EQ(model.RowOfKey(old_key), -1);
  EXPECT_GT(model.Row(0).key, old_key);

  // Rows kept from an earlier run come back in key order, each id once, and new rows follow.
  SongRow late = Song("9");
  late.key = 40;
  SongRow early = Song("8");
  early.key = 7;
  early.ticked = true;
  SongRow repeat = Song("8");
  repeat.key = 41;
  model.Restore({late, early, repeat});
  ASSERT_EQ(model.Count(), 2);
  EXPECT_EQ(model.Text(0, SongListModel::kColumnId), "8");
  EXPECT_TRUE(model.Row(0).ticked);
  model.Append({Song("10")});
  EXPECT_GT(model.Row(2).key, 40);
}

TEST(SongListModelTest, TickCommandsChangeTicksInOneReportEach) {
  using Command = std::function<int(SongListModel&)>;
  struct Case {
    const char* name;
    std::vector<bool> before;
    Command command;
    std::vector<bool> after;
    int found;  // what the command returns; -1 for commands that return nothing
  };
  const auto none = [](auto f) {
    return [f](SongListModel& m) {
      f(m);
      return -1;
    };
  };
  const auto search = [](const char* keyword) {
    return
        [keyword](SongListModel& m) { return m.TickTitlesContaining(QString::fromUtf8(keyword)); };
  };
  const Case cases[] = {
      {"tick all",
       {false, true, false},
       none([](SongListModel& m) { m.TickAll(); }),
       {true, true, true},
       -1},
      {"untick all",
       {true, false, true},
       none([](SongListModel& m) { m.UntickAll(); }),
       {false, false, false},
       -1},
      {"invert",
       {false, true, false},
       none([](SongListModel& m) { m.InvertTicks(); }),
       {true, false, true},
       -1},
      {"search ticks matches, keeps the rest",
       {false, false, true},
       search("爱"),
       {true, true, true},
       2},
      {"search ignores the title's blanks",
       {false, false, false},
       search("爱情"),
       {false, true, false},
       1},
      {"search with case", {false, false, false}, search("Love"), {false, false, true}, 1},
      {"search unticks nothing", {true, false, true}, search("恨"), {true, false, true}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SongListModel model;
    model.Append({Song("1", "我爱你"), Song("2", "  爱情买卖"), Song("3", "Love Story")});
    for (int row = 0; row < 3; ++row) model.SetTicked(row, c.before[static_cast<size_t>(row)]);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EXPECT_EQ(c.command(model), c.found);
    EXPECT_EQ(Ticks(model), c.after);
    const bool any_change = c.before != c.after;
    ASSERT_EQ(changed.count(), any_change ? 1 : 0);
    if (any_change) {
      EXPECT_EQ(changed[0][2].value<QList<int>>(), QList<int>{Qt::CheckStateRole});
    }
  }
}

TEST(SongListModelTest, StatusesSayTheirReasonsAndANewStatusEndsTheBar) {
  SongListModel model;
  model.Append({Song("1")});
  const QModelIndex cell = model.index(0, SongListModel::kColumnStatus);
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

  // A bar, reported without the roles the session writes.
  model.SetProgress(0, 45, QStringLiteral("下载中 45%  1.2MB/s"));
  EXPECT_EQ(cell.data(SongStatusDelegate::kPercentRole), 45);
  EXPECT_EQ(cell.data(SongStatusDelegate::kProgressTextRole), "下载中 45%  1.2MB/s");
  ASSERT_EQ(changed.count(), 1);
  EXPECT_FALSE(changed[0][2].value<QList<int>>().contains(Qt::DisplayRole));

  struct Case {
    const char* name;
    std::function<void()> change;
    const char* text;
  };
  const Case cases[] = {
      {"failed", [&] { model.SetStatus(0, RowStatus::kFailed, "HTTP/1.1 404 Not Found"); },
       "下载失败HTTP/1.1 404 Not Found"},
      {"waiting for a retry", [&] { model.SetRetryWait(0, 2, 3); }, "等待重试(2/3)"},
      {"saved", [&] { model.SetStatus(0, RowStatus::kSucceeded); }, "下载成功"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    changed.clear();
    c.change();
    EXPECT_EQ(cell.data().toString(), QString::fromUtf8(c.text));
    EXPECT_FALSE(cell.data(SongStatusDelegate::kPercentRole).isValid());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_TRUE(changed[0][2].value<QList<int>>().contains(Qt::DisplayRole));
  }

  // An unfinished row kept from an earlier run says so until it runs again.
  SongRow kept = Song("2");
  kept.key = 0;
  kept.unfinished = true;
  model.Restore({kept});
  EXPECT_EQ(model.Text(0, SongListModel::kColumnStatus), "未完成");
  model.SetStatus(0, RowStatus::kDownloading);
  EXPECT_EQ(model.Text(0, SongListModel::kColumnStatus), "下载中");
  EXPECT_FALSE(model.Row(0).unfinished);
}

}  // namespace
}  // namespace mevra::app
