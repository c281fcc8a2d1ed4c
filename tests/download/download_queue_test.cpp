// The download queue and its jobs against a real loopback server, with links from a table
// instead of a browser: final row states and their order, stops at every stage, a list that
// changes under the batch, and no partial file left behind or reported saved.
#include <QRegularExpression>
#include <functional>
#include <utility>

#include "download/song_download_job.h"

#include "tests/download/queue_fixture.h"

namespace mevra::download::testing {
namespace {

using browser::test::WaitUntil;
using Framing = ServedFile::Framing;

TEST_F(DownloadQueueTest, RowsEndWithTheirStatusesInListOrderWithOneSlotAndAnyOrderWithThree) {
  for (const int parallel : {1, 3}) {
    SCOPED_TRACE(::testing::Message() << parallel << " at once");
    UseNewFolder(QStringLiteral("songs-%1").arg(parallel));
    const std::string counted = Pattern(200000, 'a');
    const std::string chunked = Pattern(150001, 'b');
    const std::string until_close = Pattern(90000, 'c');
    const std::string small = Pattern(5000, 'd');
    QFile not_a_folder(dir_.filePath(QStringLiteral("file")));
    ASSERT_TRUE(not_a_folder.open(QIODevice::WriteOnly));

    std::vector<SongTask> tasks;
    tasks.push_back(Task(0, "A", "/a.mp3", {counted, Framing::kLength}));
    tasks.push_back(Task(1, "B", "/b.mp3", {chunked, Framing::kChunked}));
    tasks.push_back(Task(2, "C", "/c.mp3", {until_close, Framing::kUntilClose}));
    tasks.push_back(Task(3, "D", "", {}));
    tasks.push_back(Task(4, "E", "/missing.mp3", {"no such file", Framing::kLength, 404}));
    ServedFile cut{counted, Framing::kLength};
    cut.close_after = counted.size() / 2;
    tasks.push_back(Task(5, "F", "/cut.mp3", cut));
    // The same song again is saved beside the first under "_new" and the rate.
    tasks.push_back(Task(6, "A", "/a.mp3", {counted, Framing::kLength}));
    SongTask filtered = Task(7, "G", "/g.mp3", {small, Framing::kLength});
    filtered.filter = {true, QStringLiteral("2")};
    tasks.push_back(filtered);
    SongTask unwritable = Task(8, "H", "/h.mp3", {small, Framing::kLength});
    unwritable.save_folder = not_a_folder.fileName();
    tasks.push_back(unwritable);
    SongTask no_number = Task(9, "I", "/i.mp3", {small, Framing::kLength});
    no_number.filter = {true, QString()};
    tasks.push_back(no_number);
    if (parallel == 3) {
      // Several files at once only when each lasts a while.
      for (const std::string path : {"/a.mp3", "/b.mp3", "/c.mp3"}) {
        ServedFile slow{path == "/a.mp3"   ? counted
                        : path == "/b.mp3" ? chunked
                                           : until_close,
                        path == "/a.mp3"   ? Framing::kLength
                        : path == "/b.mp3" ? Framing::kChunked
                                           : Framing::kUntilClose};
        slow.piece_pause_ms = 20;
        server_.Serve(path, slow);
      }
    }

    DownloadQueue queue(links_);
    queue.SetPolicies(FastRetries());
    Report report(queue);
    queue.Start(std::make_unique<TestTaskList>(tasks), parallel);
    ASSERT_TRUE(WaitUntil([&] { return report.ended; }, 60000));

    const std::map<int, QString> expected = {
        {0, QStringLiteral("下载成功")},
        {1, QStringLiteral("下载成功")},
        {2, QStringLiteral("下载成功")},
        {3, QStringLiteral("下载失败下载页面中没有320K的下载链接")},
        {4, QStringLiteral("下载失败HTTP/1.1 404 Not Found")},
        {6, QStringLiteral("下载成功")},
        {7, QStringLiteral("文件太小，已过滤")},
        {9, QStringLiteral("下载失败过滤大小不是数字")},
    };
    for (const auto& [key, text] : expected) EXPECT_EQ(report.row_text[key], text) << key;
    // The counted body ends short on every try: what came is not the song, only a partial file
    // a later batch may continue.
    EXPECT_TRUE(report.row_text[5].startsWith(QStringLiteral("下载失败Connection closed after ")))
        << report.row_text[5].toStdString();
    EXPECT_EQ(report.retries[5].size(), 3);
    EXPECT_TRUE(report.row_text[8].startsWith(QStringLiteral("下载失败无法保存文件：")))
        << report.row_text[8].toStdString();
    const std::vector<int> in_order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(report.started, in_order);
    if (parallel == 1) {
      EXPECT_EQ(report.finished, in_order);
    } else {
      std::vector<int> finished = report.finished;
      std::sort(finished.begin(), finished.end());
      EXPECT_EQ(finished, in_order);
    }
    EXPECT_LE(report.most_transfers_running, parallel);
    EXPECT_EQ(report.transfers_running, 0);
    EXPECT_GT(report.progress_reports, 0);
    EXPECT_EQ(report.saved, 4);
    EXPECT_EQ(report.started_count, 10);
    EXPECT_FALSE(report.stopped);

    // Only whole files under their final names, and the cut song's partial file; a size the
    // filter cannot read fetches nothing.
    EXPECT_EQ(Files(), (QStringList{"A - S.mp3", "A - S_new320.mp3", "B - S.mp3", "C - S.mp3",
                                    "F - S.mp3.part", "F - S.mp3.part.info"}));
    EXPECT_EQ(server_.Requests("/i.mp3"), 0);
    EXPECT_EQ(Bytes("A - S.mp3"), QByteArray::fromStdString(counted));
    EXPECT_EQ(Bytes("A - S_new320.mp3"), QByteArray::fromStdString(counted));
    EXPECT_EQ(Bytes("B - S.mp3"), QByteArray::fromStdString(chunked));
    EXPECT_EQ(Bytes("C - S.mp3"), QByteArray::fromStdString(until_close));
  }
}

TEST_F(DownloadQueueTest, StopEndsEverySongAtOnceAndLeavesNothingBehind) {
  struct Case {
    const char* name;
    int parallel;
    Framing framing;
    bool hold_first_link;  // the stop comes while the first link is being resolved
    int transfers_before_stop;
  };
  const Case cases[] = {
      {"during a counted transfer", 1, Framing::kLength, false, 1},
      {"during a transfer read until the peer closes", 1, Framing::kUntilClose, false, 1},
      {"during a resolution", 1, Framing::kLength, true, 0},
      {"with three transfers running", 3, Framing::kChunked, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromUtf8(c.name));
    FileServer server;
    FakeLinkSource links;
    std::vector<SongTask> tasks;
    const std::string body = Pattern(400000, 'e');
    for (int key = 0; key < 6; ++key) {
      const QString id = QString::number(key);
      // Built piece by piece: GCC 12 at -O3 misreads "/" + std::string&& as an overlapping copy.
      std::string path = "/";
      path += std::to_string(key);
      path += ".mp3";
      ServedFile stalling{body, c.framing};
      stalling.stall_after = body.size() / 2;
      server.Serve(path, stalling);
      links.SetLink(id, QString::fromStdString(server.Url(path)));
      SongTask task;
      task.key = key;
      task.id = id;
      task.title = id;
      task.rate = QStringLiteral("128");
      task.naming = NamingScheme::kTitle;
      task.save_folder = folder_;
      tasks.push_back(task);
    }
    if (c.hold_first_link) links.Hold(QStringLiteral("0"));

    DownloadQueue queue(links);
    Report report(queue);
    queue.Start(std::make_unique<TestTaskList>(tasks), c.parallel);
    if (c.hold_first_link) {
      ASSERT_TRUE(WaitUntil([&] { return links.Requested().contains(QStringLiteral("0")); }));
    } else {
      // Every transfer has bytes in and waits for the rest, which never comes.
      ASSERT_TRUE(WaitUntil([&] {
        return report.transfers_running == c.transfers_before_stop &&
               server.OpenConnections() == c.transfers_before_stop &&
               report.progress_reports >= c.transfers_before_stop;
      }));
    }
    queue.StopAll();
    ASSERT_TRUE(WaitUntil([&] { return report.ended; }));

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.saved, 0);
    EXPECT_EQ(static_cast<int>(report.started.size()), c.parallel);
    EXPECT_EQ(report.finished.size(), report.started.size());
    for (int key : report.started) {
      EXPECT_EQ(report.row_text[key], QStringLiteral("下载失败用户中止下载")) << key;
    }
    EXPECT_EQ(report.transfers_running, 0);
    // No finished file and no connection left open; what came stays as a partial file with the
    // record of its source, for a later batch to continue.
    for (const QString& name : Files()) {
      EXPECT_TRUE(name.endsWith(".mp3.part") || name.endsWith(".mp3.part.info"))
          << name.toStdString();
    }
    const int partial = c.hold_first_link ? 0 : c.transfers_before_stop;
    EXPECT_EQ(Files().filter(QRegularExpression("\\.part$")).size(), partial);
    EXPECT_TRUE(WaitUntil([&] { return server.OpenConnections() == 0; }));
    EXPECT_EQ(links.Pending(), 0);
    if (c.hold_first_link) {
      EXPECT_EQ(server.Requests("/0.mp3"), 0);
    }
  }
}

TEST_F(DownloadQueueTest, ClearingTheListDropsTheSongsNotStartedAndTouchesNoRowOfThem) {
  struct Case {
    const char* name;
    bool first_link_held;  // cleared while the first song's link is resolved
  };
  for (const Case c :
       {Case{"during the first transfer", false}, Case{"during the first link", true}}) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromUtf8(c.name));
    FileServer server;
    FakeLinkSource links;
    std::vector<SongTask> tasks;
    const std::string body = Pattern(300000, 'f');
    for (int key = 0; key < 4; ++key) {
      const QString id = QString::number(key);
      // Built piece by piece: GCC 12 at -O3 misreads "/" + std::string&& as an overlapping copy.
      std::string path = "/";
      path += std::to_string(key);
      path += ".mp3";
      ServedFile slow{body, Framing::kLength};
      slow.piece_pause_ms = 10;
      server.Serve(path, slow);
      links.SetLink(id, QString::fromStdString(server.Url(path)));
      SongTask task;
      task.key = key;
      task.id = id;
      task.title = id;
      task.rate = QStringLiteral("128");
      task.naming = NamingScheme::kTitle;
      task.save_folder = folder_;
      tasks.push_back(task);
    }
    if (c.first_link_held) links.Hold(QStringLiteral("0"));
    auto list = std::make_unique<TestTaskList>(tasks);
    TestTaskList& rows = *list;
    DownloadQueue queue(links);
    Report report(queue);
    queue.Start(std::move(list), 1);
    if (c.first_link_held) {
      ASSERT_TRUE(WaitUntil([&] { return links.Requested().size() == 2; }));
      rows.Clear();
      links.Release(QStringLiteral("0"));
    } else {
      ASSERT_TRUE(WaitUntil([&] { return report.progress_reports > 0; }));
      rows.Clear();
    }
    ASSERT_TRUE(WaitUntil([&] { return report.ended; }, 60000));

    // The song whose turn had come goes on to its end only once its transfer runs; dropped or
    // finished, it counts as done.
    EXPECT_EQ(report.started, std::vector<int>{0});
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.started_count, 1);
    EXPECT_EQ(queue.Progress().finished, 1);
    if (c.first_link_held) {
      EXPECT_EQ(report.dropped, std::vector<int>{0});
      EXPECT_TRUE(report.finished.empty());
      EXPECT_EQ(report.saved, 0);
      EXPECT_TRUE(Files().isEmpty()) << Files().join(' ').toStdString();
    } else {
      EXPECT_EQ(report.finished, std::vector<int>{0});
      EXPECT_EQ(report.saved, 1);
      EXPECT_EQ(Files(), QStringList{"0.mp3"});
    }
    for (const std::string path : {"/1.mp3", "/2.mp3", "/3.mp3"}) {
      EXPECT_EQ(server.Requests(path), 0) << path;
    }
    EXPECT_EQ(links.Pending(), 0);
  }
}

TEST_F(DownloadQueueTest, TheQueueCountsTheBatchAsAWholeForAnyNumberAtOnce) {
  for (const int parallel : {1, 3}) {
    SCOPED_TRACE(::testing::Message() << parallel << " at once");
    UseNewFolder(QStringLiteral("counts-%1").arg(parallel));
    const std::string song = Pattern(200000, 'a');
    QFile there(folder_ + QStringLiteral("/D - S.mp3"));
    ASSERT_TRUE(there.open(QIODevice::WriteOnly));
    there.write("saved before");
    there.close();
    std::vector<SongTask> tasks;
    tasks.push_back(Task(0, "A", "/a.mp3", {song, Framing::kLength}));
    tasks.push_back(Task(1, "B", "/missing.mp3", {"no such file", Framing::kLength, 404}));
    SongTask filtered = Task(2, "C", "/c.mp3", {Pattern(5000, 'c'), Framing::kLength});
    filtered.filter = {true, QStringLiteral("2")};
    tasks.push_back(filtered);
    tasks.push_back(Task(3, "D", "/d.mp3", {song, Framing::kLength}));

    DownloadQueue queue(links_);
    DownloadPolicies policies = FastRetries();
    policies.existing_file = ExistingFilePolicy::kSkip;
    queue.SetPolicies(policies);
    Report report(queue);
    std::vector<BatchProgress> seen;
    QObject::connect(&queue, &DownloadQueue::BatchProgressed,
                     [&](const BatchProgress& progress) { seen.push_back(progress); });
    // One more song expected than the list gives, as a row unticked before its turn leaves.
    queue.Start(std::make_unique<TestTaskList>(tasks), parallel, 5);
    ASSERT_TRUE(WaitUntil([&] { return report.ended; }, 60000));

    ASSERT_FALSE(seen.empty());
    const BatchProgress& last = seen.back();
    EXPECT_EQ(last.parallel, parallel);
    EXPECT_EQ(last.expected, 5);
    EXPECT_EQ(last.finished, 4);
    EXPECT_EQ(last.saved, 1);
    EXPECT_EQ(last.failed, 1);
    EXPECT_EQ(last.filtered, 1);
    EXPECT_EQ(last.skipped, 1);
    EXPECT_EQ(last.stopped, 0);
    // The saved file's bytes as they are on the disk, its tag included.
    EXPECT_EQ(last.bytes, QFileInfo(folder_ + QStringLiteral("/A - S.mp3")).size());
    EXPECT_GT(last.bytes, static_cast<int64_t>(song.size()));
    EXPECT_EQ(last.running, 0);
    // One at a time shows its transfer begin, come in and end; several at once show none.
    std::vector<BatchProgress::Phase> phases_of_a;
    for (const BatchProgress& p : seen) {
      if (p.current_key == 0 && (phases_of_a.empty() || phases_of_a.back() != p.phase)) {
        phases_of_a.push_back(p.phase);
      }
      if (parallel > 1) {
        EXPECT_EQ(p.phase, BatchProgress::Phase::kNone);
      }
      EXPECT_LE(p.finished, p.expected);
    }
    if (parallel == 1) {
      using Phase = BatchProgress::Phase;
      EXPECT_EQ(phases_of_a, (std::vector<Phase>{Phase::kBegun, Phase::kReceiving, Phase::kEnded}));
    }
  }
}

// Connects a stop to one report of a queue or a job, whatever the report carries.
template <typename Sender, typename Signal>
std::function<void(Sender&, std::function<void()>)> On(Signal signal) {
  return [signal](Sender& sender, std::function<void()> stop) {
    QObject::connect(&sender, signal, stop);
  };
}

// Receivers may call back: a stop from any report of the queue or of a job ends the batch, and
// a song whose file is in place when the stop comes stays saved.
TEST_F(DownloadQueueTest, AStopFromAnyReportEndsTheBatchSafely) {
  // The first song is busy once, then comes whole, or comes part way and then nothing.
  ServedFile busy_once{Pattern(100000, 'z'), Framing::kLength};
  busy_once.fail_first = 1;
  busy_once.fail_status = 503;
  ServedFile busy_then_stalling = busy_once;
  busy_then_stalling.stall_after = 40000;
  const char* const stopped = "下载失败用户中止下载";
  struct Case {
    const char* name;
    std::function<void(DownloadQueue&, std::function<void()>)> connect;
    const char* row;         // the first song's; "" when it was dropped
    bool completes = false;  // the first song comes whole
    bool drops = false;      // the list is cleared while the first link is held
    int second_requests = 0;
  };
  using Q = DownloadQueue;
  const Case cases[] = {
      {"TaskStarted", On<Q>(&Q::TaskStarted), stopped},
      {"TransferStarted", On<Q>(&Q::TransferStarted), stopped},
      {"TaskProgress", On<Q>(&Q::TaskProgress), stopped},
      {"TransferEnded", On<Q>(&Q::TransferEnded), stopped},
      {"TaskRetrying", On<Q>(&Q::TaskRetrying), stopped},
      {"TaskFinished", On<Q>(&Q::TaskFinished), "下载成功", true},
      {"TaskDropped", On<Q>(&Q::TaskDropped), "", false, true},
      {"BatchEnded", On<Q>(&Q::BatchEnded), "下载成功", true, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string tag = std::to_string(&c - cases);
    const QString first = QString::fromStdString("q" + tag), second = first + "b";
    std::vector<SongTask> tasks = {
        Task(0, first, "/q" + tag, c.completes ? busy_once : busy_then_stalling),
        Task(1, second, "/q" + tag + "b", {Pattern(60000, 'y'), Framing::kLength})};
    if (c.drops) links_.Hold(first);
    auto list = std::make_unique<TestTaskList>(tasks);
    TestTaskList& rows = *list;
    DownloadQueue queue(links_);
    queue.SetPolicies(FastRetries());
    Report report(queue);
    bool stopped_once = false;
    c.connect(queue, [&] {
      if (!std::exchange(stopped_once, true)) queue.StopAll();
    });
    queue.Start(std::move(list), 1);
    if (c.drops) {
      ASSERT_TRUE(WaitUntil([&] { return links_.Requested().contains(second); }));
      rows.Clear();
      links_.Release(first);
    }
    ASSERT_TRUE(WaitUntil([&] { return report.ended; }));
    EXPECT_TRUE(stopped_once);
    EXPECT_EQ(report.transfers_running, 0);
    EXPECT_EQ(report.finished.size() + report.dropped.size(), report.started.size());
    if (*c.row != '\0') {
      EXPECT_EQ(report.row_text[0], QString::fromUtf8(c.row));
    }
    EXPECT_EQ(server_.Requests("/q" + tag + "b"), c.second_requests);
  }

  // The same from the reports of one job, with no queue in between.
  using Job = SongDownloadJob;
  struct JobCase {
    const char* name;
    std::function<void(Job&, std::function<void()>)> connect;
    const char* row;
    bool completes = false;
  };
  const JobCase job_cases[] = {
      {"Resolved", On<Job>(&Job::Resolved), stopped},
      {"TransferStarted", On<Job>(&Job::TransferStarted), stopped},
      {"Progress", On<Job>(&Job::Progress), stopped},
      {"TransferEnded", On<Job>(&Job::TransferEnded), stopped},
      {"RetryWaiting", On<Job>(&Job::RetryWaiting), stopped},
      {"Finished", On<Job>(&Job::Finished), "下载成功", true},
  };
  for (const JobCase& c : job_cases) {
    SCOPED_TRACE(std::string("job ") + c.name);
    const std::string tag = std::to_string(&c - job_cases);
    Job job(Task(0, QString::fromStdString("j" + tag), "/j" + tag,
                 c.completes ? busy_once : busy_then_stalling),
            links_, FastRetries());
    QStringList rows;
    QObject::connect(&job, &Job::Finished, [&](const JobResult& r) { rows << r.RowText(); });
    c.connect(job, [&] { job.Stop(); });
    job.Start();
    ASSERT_TRUE(WaitUntil([&] { return !rows.isEmpty(); }));
    EXPECT_EQ(rows, QStringList{QString::fromUtf8(c.row)});
  }
}

}  // namespace
}  // namespace mevra::download::testing
