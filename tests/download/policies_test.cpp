// The download policies against real loopback servers: songs saved before, the archive of saved
// songs, retries and their pauses, continuing partial files, the speed limit, a full disk and
// the tags of saved files.
#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

#include <attachedpictureframe.h>
#include <fcntl.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <netinet/in.h>
#include <relativevolumeframe.h>
#include <synchronizedlyricsframe.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <textidentificationframe.h>
#include <unistd.h>
#include <unsynchronizedlyricsframe.h>

#include "download/download_archive.h"
#include "download/download_policies.h"
#include "download/library_scan.h"
#include "download/lyrics_text.h"
#include "download/part_file_info.h"
#include "download/rate_limiter.h"
#include "download/tag_writer.h"
#include "download/transfer_failure.h"
#include "http/http_error.h"
#include "net/net_error.h"
#include "tests/download/queue_fixture.h"

namespace mevra::download::testing {
namespace {

// MPEG-1 layer III frames at 128 kbit/s and 44.1 kHz with silent data and no tag: the smallest
// file that tag readers take for an MP3.
std::string UntaggedMp3(int frames) {
  std::string frame(417, '\0');
  frame[0] = static_cast<char>(0xFF);
  frame[1] = static_cast<char>(0xFB);
  frame[2] = static_cast<char>(0x90);
  std::string bytes;
  for (int i = 0; i < frames; ++i) bytes += frame;
  return bytes;
}

// A port on loopback that nothing listens on.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

class PoliciesTest : public DownloadQueueTest {
 protected:
  struct Batch {
    explicit Batch(LinkSource& links) : queue(links), report(queue) {}
    DownloadQueue queue;
    Report report;
  };

  // Runs one batch over `tasks` and waits for its end.
  std::unique_ptr<Batch> Run(std::vector<SongTask> tasks, DownloadPolicies policies,
                             int parallel = 1) {
    auto batch = std::make_unique<Batch>(links_);
    batch->queue.SetPolicies(std::move(policies));
    batch->queue.Start(std::make_unique<TestTaskList>(std::move(tasks)), parallel);
    EXPECT_TRUE(WaitUntil([&] { return batch->report.ended; }, 120000));
    return batch;
  }

  void WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile file(folder_ + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
  }
  QString PathOf(const QString& name) const { return folder_ + QLatin1Char('/') + name; }
};

TEST_F(PoliciesTest, ASongSavedBeforeIsRenamedSkippedOrReplacedAsChosen) {
  struct Case {
    const char* name;
    ExistingFilePolicy policy;
    QStringList files;
    const char* row;
    int requests;
    // The small-file filter removes the new file; the user's files must stay as they were.
    bool filtered = false;
  };
  const Case cases[] = {
      {"rename", ExistingFilePolicy::kRename, {"A - S.mp3", "A - S_new320.mp3"}, "下载成功", 1},
      {"skip", ExistingFilePolicy::kSkip, {"A - S.mp3"}, "已存在，跳过", 0},
      {"overwrite", ExistingFilePolicy::kOverwrite, {"A - S.mp3"}, "下载成功", 1},
      {"overwrite, filtered",
       ExistingFilePolicy::kOverwrite,
       {"A - S.mp3"},
       "文件太小，已过滤",
       1,
       true},
      {"rename onto the user's _new file, filtered",
       ExistingFilePolicy::kRename,
       {"A - S.mp3", "A - S_new320.mp3"},
       "文件太小，已过滤",
       1,
       true},
  };
  const std::string body = Pattern(70000, 'a');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    FakeLinkSource links;
    FileServer server;
    const std::string path = "/" + std::to_string(&c - cases) + ".mp3";
    server.Serve(path, {body, Framing::kLength});
    links.SetLink("A", QString::fromStdString(server.Url(path)));
    SongTask task = Task(0, "A", "", {});
    if (c.filtered) task.filter = {true, QStringLiteral("2")};
    for (const QString& name : c.filtered ? c.files : QStringList{"A - S.mp3"}) {
      WriteFile(name, "the song as saved before");
    }

    DownloadPolicies policies = FastRetries();
    policies.existing_file = c.policy;
    Batch batch(links);
    batch.queue.SetPolicies(policies);
    batch.queue.Start(std::make_unique<TestTaskList>(std::vector<SongTask>{task}), 1);
    ASSERT_TRUE(WaitUntil([&] { return batch.report.ended; }));

    EXPECT_EQ(batch.report.row_text[0], QString::fromUtf8(c.row));
    EXPECT_EQ(Files(), c.files);
    EXPECT_EQ(server.Requests(path), c.requests);
    const QByteArray fresh = QByteArray::fromStdString(body);
    if (c.filtered) {
      for (const QString& name : c.files) EXPECT_EQ(Bytes(name), "the song as saved before");
      continue;
    }
    switch (c.policy) {
      case ExistingFilePolicy::kRename:
        EXPECT_EQ(Bytes("A - S_new320.mp3"), fresh);
        EXPECT_EQ(Bytes("A - S.mp3"), "the song as saved before");
        break;
      case ExistingFilePolicy::kSkip:
        // Not even the song's page was asked for.
        EXPECT_TRUE(links.Requested().isEmpty());
        EXPECT_EQ(Bytes("A - S.mp3"), "the song as saved before");
        EXPECT_EQ(batch.report.saved, 0);
        break;
      case ExistingFilePolicy::kOverwrite:
        EXPECT_EQ(Bytes("A - S.mp3"), fresh);
        break;
    }
  }
}

TEST_F(PoliciesTest, TheArchiveSkipsSavedSongsAcrossBatchesAndPassesOverDamagedLines) {
  const QString archive_path = dir_.filePath(QStringLiteral("downloaded.txt"));
  const std::string body = Pattern(40000, 'k');
  std::vector<SongTask> tasks;
  for (const char* id : {"1", "2", "3", "4", "5"}) {
    tasks.push_back(Task(static_cast<int>(tasks.size()), id, std::string("/") + id + ".mp3",
                         {body, Framing::kLength}));
  }
  // Song 1 was saved and its file is there; song 2's file is gone; song 4's was left empty by a
  // power cut and song 5's is not the size that was saved. A damaged line and a last line cut
  // short by a crash lie between them.
  WriteFile("kept.mp3", "saved by an earlier run");
  WriteFile("empty.mp3", "");
  WriteFile("other.mp3", "another file");
  QFile archive(archive_path);
  ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
  archive.write(("1\t320\t" + PathOf("kept.mp3") + "\n").toUtf8());
  archive.write("garbage without tabs\n2\tx\t/nowhere\n");
  archive.write(("2\t320\t" + PathOf("gone.mp3") + "\n").toUtf8());
  archive.write(("4\t320\t" + PathOf("empty.mp3") + "\n").toUtf8());
  archive.write(("5\t320\t" + PathOf("other.mp3") + "\t40000\n").toUtf8());
  archive.write("3\t32");
  archive.close();

  // Each song is put in place on its transfer's thread, in an order that survives a power cut;
  // while the rename waits, the event loop of the window's thread goes on.
  std::vector<SaveStep> steps;
  std::atomic<bool> saving = false, loop_ran = false;
  bool loop_ran_every_time = true;
  DownloadPolicies policies = FastRetries();
  policies.on_save_step = [&](SaveStep step) {
    steps.push_back(step);
    if (step != SaveStep::kRename) return;
    loop_ran = false;
    saving = true;
    // A slow disk: the step takes up to a second, unless the loop shows it is not held up.
    for (int waited = 0; waited < 1000 && !loop_ran; waited += 5) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    loop_ran_every_time = loop_ran_every_time && loop_ran;
    saving = false;
  };
  QTimer loop_probe;
  QObject::connect(&loop_probe, &QTimer::timeout, [&] {
    if (saving) loop_ran = true;
  });
  loop_probe.start(2);
  policies.archive = std::make_shared<DownloadArchive>(archive_path);
  policies.archive->Load();
  auto first = Run(tasks, policies);
  loop_probe.stop();
  EXPECT_EQ(first->report.row_text[0], QStringLiteral("已存在，跳过"));
  for (int key = 1; key < 5; ++key) {
    EXPECT_EQ(first->report.row_text[key], QStringLiteral("下载成功")) << key;
  }
  EXPECT_EQ(server_.Requests("/1.mp3"), 0);
  EXPECT_FALSE(links_.Requested().contains(QStringLiteral("1")));
  EXPECT_TRUE(loop_ran_every_time);
  const std::vector<SaveStep> one_song = {SaveStep::kWriteTags, SaveStep::kSyncFile,
                                          SaveStep::kRename, SaveStep::kSyncFolder,
                                          SaveStep::kArchive};
  std::vector<SaveStep> four_songs;
  for (int song = 0; song < 4; ++song) {
    four_songs.insert(four_songs.end(), one_song.begin(), one_song.end());
  }
  EXPECT_EQ(steps, four_songs);

  // A later batch reads the archive anew: every song is there now.
  policies.archive = std::make_shared<DownloadArchive>(archive_path);
  policies.archive->Load();
  EXPECT_EQ(policies.archive->SavedPath("2", "320"), PathOf("2 - S.mp3"));
  EXPECT_EQ(policies.archive->SavedPath("3", "320"), PathOf("3 - S.mp3"));
  EXPECT_EQ(policies.archive->SavedPath("3", "128"), QString());
  policies.on_save_step = nullptr;
  auto second = Run(tasks, policies);
  for (int key = 0; key < 5; ++key) {
    EXPECT_EQ(second->report.row_text[key], QStringLiteral("已存在，跳过")) << key;
  }
  for (const std::string path : {"/2.mp3", "/3.mp3", "/4.mp3", "/5.mp3"}) {
    EXPECT_EQ(server_.Requests(path), 1) << path;
  }

  // The damaged lines stay in the file as they were; emptying it forgets every song.
  ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
  const QByteArray text = archive.readAll();
  archive.close();
  EXPECT_TRUE(text.contains("garbage without tabs\n"));
  EXPECT_TRUE(text.contains("3\t32\n2\t320\t"));
  // The size recorded is the saved file's, its tag included.
  const QString size = QString::number(QFileInfo(PathOf("4 - S.mp3")).size());
  EXPECT_TRUE(text.contains(("\n4\t320\t" + PathOf("4 - S.mp3") + "\t" + size + "\n").toUtf8()));
  EXPECT_TRUE(policies.archive->Clear());
  EXPECT_EQ(policies.archive->Count(), 0);
  EXPECT_EQ(QFileInfo(archive_path).size(), 0);
}

TEST_F(PoliciesTest, PassingFailuresAreTriedAgainAndOthersFailAtOnce) {
  const std::string body = Pattern(300000, 'r');
  struct Case {
    const char* name;
    ServedFile file;
    int retries;
    const char* row;  // the row's text, or its start
    // Per request: whether it asked for the bytes after those the tries before it left.
    std::vector<bool> continued;
    QStringList retried;  // "retry/retries wait_ms"
    bool part_left;
  };
  ServedFile reset{body, Framing::kLength};
  reset.honour_range = true;
  reset.fail_first = 2;
  reset.fail_after = 100000;
  ServedFile busy{body, Framing::kLength};
  busy.fail_first = 1;
  busy.fail_status = 503;
  busy.fail_headers = "Retry-After: 1\r\n";
  ServedFile cut{body, Framing::kLength};
  cut.close_after = 50000;
  ServedFile broken{"oops", Framing::kLength, 500};
  ServedFile stalling{body, Framing::kLength};
  stalling.honour_range = true;
  stalling.fail_first = 1;
  stalling.fail_after = 100000;
  stalling.fail_by_stall = true;
  ServedFile silent = stalling;
  silent.fail_first = 100;
  ServedFile busy_now{body, Framing::kLength};
  busy_now.fail_first = 100;
  busy_now.fail_status = 503;
  busy_now.fail_headers = "Retry-After: 0\r\n";
  ServedFile page{"<!DOCTYPE html><html><body>Sign in</body></html>", Framing::kLength};
  page.content_type = "text/html; charset=utf-8";
  ServedFile no_mp3{std::string(5000, 'x'), Framing::kLength};
  const Case cases[] = {
      {"reset twice, continued each time",
       reset,
       3,
       "下载成功",
       {false, true, true},
       {"1/3 10", "2/3 20"},
       false},
      {"busy once, with Retry-After", busy, 3, "下载成功", {false, false}, {"1/3 1000"}, false},
      {"closed early, no retries", cut, 0, "下载失败Connection closed after ", {false}, {}, true},
      {"a server error every time",
       broken,
       1,
       "下载失败HTTP/1.1 500 Error",
       {false, false},
       {"1/1 10"},
       false},
      {"not found",
       {"no", Framing::kLength, 404},
       3,
       "下载失败HTTP/1.1 404 Not Found",
       {false},
       {},
       false},
      {"stalled once, continued", stalling, 3, "下载成功", {false, true}, {"1/3 10"}, false},
      {"silent after every start",
       silent,
       1,
       "下载失败服务器1秒没有发来数据",
       {false, true},
       {"1/1 10"},
       true},
      // The server's "no wait" does not make the tries come faster than the back-off.
      {"busy with Retry-After: 0 every time",
       busy_now,
       3,
       "下载失败HTTP/1.1 503 Service Unavailable",
       {false, false, false, false},
       {"1/3 10", "2/3 20", "3/3 40"},
       false},
      {"a web page",
       page,
       3,
       "下载失败服务器返回的不是音频文件（text/html; charset=utf-8）",
       {false},
       {},
       false},
      {"bytes of no MP3", no_mp3, 3, "下载失败服务器返回的不是音频文件", {false}, {}, false},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    const std::string path = "/" + std::to_string(&c - cases) + ".mp3";
    DownloadPolicies policies = FastRetries();
    policies.retries = c.retries;
    policies.stall_timeout_ms = 300;
    policies.archive = std::make_shared<DownloadArchive>(folder_ + QStringLiteral(".txt"));
    auto batch = Run({Task(0, "R", path, c.file)}, policies);
    EXPECT_TRUE(batch->report.row_text[0].startsWith(QString::fromUtf8(c.row)))
        << batch->report.row_text[0].toStdString();
    const std::vector<std::string> ranges = server_.Ranges(path);
    ASSERT_EQ(ranges.size(), c.continued.size());
    long long last_start = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
      SCOPED_TRACE(ranges[i]);
      EXPECT_EQ(!ranges[i].empty(), c.continued[i]);
      if (!c.continued[i]) continue;
      ASSERT_TRUE(ranges[i].starts_with("bytes=") && ranges[i].ends_with("-"));
      const long long start = std::stoll(ranges[i].substr(6));
      EXPECT_GT(start, last_start);
      last_start = start;
    }
    EXPECT_EQ(batch->report.retries[0], c.retried);
    // Only a song saved whole is recorded as saved.
    if (batch->report.row_text[0] == QStringLiteral("下载成功")) {
      EXPECT_EQ(Files(), QStringList{"R - S.mp3"});
      EXPECT_EQ(Bytes("R - S.mp3"), QByteArray::fromStdString(body));
      EXPECT_EQ(policies.archive->Count(), 1);
    } else {
      EXPECT_EQ(QFileInfo::exists(PathOf("R - S.mp3.part")), c.part_left);
      EXPECT_FALSE(QFileInfo::exists(PathOf("R - S.mp3")));
      EXPECT_EQ(policies.archive->Count(), 0);
    }
  }

  // A refused connection is tried again as often as allowed, then fails with its own words.
  UseNewFolder(QStringLiteral("refused"));
  links_.SetLink("X", QStringLiteral("http://127.0.0.1:%1/x.mp3").arg(ClosedPort()));
  SongTask refused = Task(0, "X", "", {});
  DownloadPolicies policies = FastRetries();
  policies.retries = 2;
  auto batch = Run({refused}, policies);
  EXPECT_EQ(batch->report.row_text[0],
            QStringLiteral("下载失败Socket Error # 10061 Connection refused."));
  EXPECT_EQ(batch->report.retries[0], (QStringList{"1/2 10", "2/2 20"}));
  EXPECT_TRUE(Files().isEmpty());
}

TEST_F(PoliciesTest, AStopEndsAWaitForTheNextTryAtOnce) {
  ServedFile busy{Pattern(1000, 'w'), Framing::kLength};
  busy.fail_first = 100;
  busy.fail_status = 503;
  DownloadPolicies policies;
  policies.retry_backoff_base_ms = 10 * 60 * 1000;  // capped at a minute; the stop must not wait
  DownloadQueue queue(links_);
  queue.SetPolicies(policies);
  Report report(queue);
  queue.Start(std::make_unique<TestTaskList>(std::vector<SongTask>{Task(0, "W", "/w.mp3", busy),
                                                                   Task(1, "V", "/v.mp3", busy)}),
              1);
  ASSERT_TRUE(WaitUntil([&] { return !report.retries[0].isEmpty(); }));
  EXPECT_EQ(report.retries[0], QStringList{"1/3 60000"});
  queue.StopAll();
  ASSERT_TRUE(WaitUntil([&] { return report.ended; }, 20000));
  EXPECT_EQ(report.row_text[0], QStringLiteral("下载失败用户中止下载"));
  EXPECT_EQ(report.end, BatchEnd::kStopped);
  EXPECT_EQ(server_.Requests("/w.mp3"), 1);
  EXPECT_EQ(server_.Requests("/v.mp3"), 0);
}

TEST_F(PoliciesTest, APartialFileIsContinuedOnlyWhereTheServerSendsExactlyTheRest) {
  const std::string body = Pattern(300000, 'p');
  const QString url_of_song = QString::fromStdString(server_.Url("/p.mp3"));
  struct Case {
    const char* name;
    std::string part;     // what an earlier try left
    PartFileInfo source;  // and its record
    bool honour_range;
    std::string wrong_range;  // a 206 for bytes other than those asked for
    std::vector<std::string> ranges;
    std::vector<std::string> if_ranges;
    const char* row;  // the row's text, or its start
    QStringList files;
    bool short_range = false;  // the first 206 carries half of the rest
    bool locked = false;       // another program holds the part file
  };
  // The server's file is "v1"; a record of "v0" belongs to a file since changed.
  const PartFileInfo same{"P", "320", LinkIdentity(url_of_song), 300000, "\"v1\""};
  PartFileInfo other_rate = same;
  other_rate.rate = "128";
  PartFileInfo other_link = same;
  other_link.link = "http://127.0.0.1:1/p.mp3";
  PartFileInfo unknown_length = same;
  unknown_length.complete_length = -1;
  PartFileInfo changed = same;
  changed.etag = "\"v0\"";
  PartFileInfo bare = same;
  bare.etag.clear();
  bare.complete_length = -1;
  const std::vector<std::string> v1 = {"\"v1\""};
  const Case cases[] = {
      {"206 with the rest",
       body.substr(0, 120000),
       same,
       true,
       "",
       {"bytes=120000-"},
       v1,
       "下载成功",
       {"P - S.mp3"}},
      {"200 with the whole file",
       std::string(120000, 'x'),
       same,
       false,
       "",
       {"bytes=120000-"},
       v1,
       "下载成功",
       {"P - S.mp3"}},
      {"416 past the end",
       body + "extra",
       unknown_length,
       true,
       "",
       {"bytes=300005-"},
       v1,
       "下载失败无法续传：HTTP/1.1 416 Range Not Satisfiable",
       {}},
      {"206 with other bytes",
       body.substr(0, 120000),
       same,
       true,
       "bytes 0-299999/300000",
       {"bytes=120000-"},
       v1,
       "下载失败无法续传：The server sent",
       {}},
      {"a part of another rate",
       std::string(120000, 'x'),
       other_rate,
       true,
       "",
       {""},
       {""},
       "下载成功",
       {"P - S.mp3", "P - S.mp3.part", "P - S.mp3.part.info"}},
      {"a part from another link",
       std::string(120000, 'x'),
       other_link,
       true,
       "",
       {""},
       {""},
       "下载成功",
       {"P - S.mp3", "P - S.mp3.part", "P - S.mp3.part.info"}},
      // A short range is no whole song: the next try continues where it stopped.
      {"a 206 that stops short, then the rest",
       body.substr(0, 120000),
       same,
       true,
       "",
       {"bytes=120000-", "bytes=210000-"},
       {"\"v1\"", "\"v1\""},
       "下载成功",
       {"P - S.mp3"},
       true},
      {"a file changed since: 200 to the If-Range",
       std::string(120000, 'x'),
       changed,
       true,
       "",
       {"bytes=120000-"},
       {"\"v0\""},
       "下载成功",
       {"P - S.mp3"}},
      // Nothing tells that these bytes belong to the file the server has now.
      {"a record with neither validator nor length",
       std::string(120000, 'x'),
       bare,
       true,
       "",
       {""},
       {""},
       "下载成功",
       {"P - S.mp3"}},
      {"a part another program writes",
       body.substr(0, 120000),
       same,
       true,
       "",
       {},
       {},
       "下载失败另一个程序正在下载这首歌",
       {"P - S.mp3.part", "P - S.mp3.part.info"},
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    FileServer server;
    FakeLinkSource links;
    ServedFile file{body, Framing::kLength};
    file.honour_range = c.honour_range;
    file.wrong_content_range = c.wrong_range;
    file.short_range_once = c.short_range;
    file.etag = "\"v1\"";
    server.Serve("/p.mp3", file);
    // The record names the link as the server of this case serves it.
    PartFileInfo source = c.source;
    if (source.link == same.link)
      source.link = LinkIdentity(QString::fromStdString(server.Url("/p.mp3")));
    links.SetLink("P", QString::fromStdString(server.Url("/p.mp3")) + "?t=signed");
    WriteFile("P - S.mp3.part", QByteArray::fromStdString(c.part));
    ASSERT_TRUE(source.Write(PathOf("P - S.mp3.part")));
    const int held =
        c.locked ? ::open(QFile::encodeName(PathOf("P - S.mp3.part")).constData(), O_RDWR) : -1;
    if (c.locked) {
      ASSERT_EQ(::flock(held, LOCK_EX), 0);
    }
    SongTask task = Task(0, "P", "", {});

    Batch batch(links);
    batch.queue.SetPolicies(FastRetries());
    batch.queue.Start(std::make_unique<TestTaskList>(std::vector<SongTask>{task}), 1);
    ASSERT_TRUE(WaitUntil([&] { return batch.report.ended; }));
    if (held >= 0) ::close(held);
    EXPECT_TRUE(batch.report.row_text[0].startsWith(QString::fromUtf8(c.row)))
        << batch.report.row_text[0].toStdString();
    EXPECT_EQ(server.Ranges("/p.mp3"), c.ranges);
    EXPECT_EQ(server.IfRanges("/p.mp3"), c.if_ranges);
    EXPECT_EQ(Files(), c.files);
    if (c.files.contains("P - S.mp3")) {
      EXPECT_EQ(Bytes("P - S.mp3"), QByteArray::fromStdString(body));
    }
    // Another song's partial file, or another program's, is left as it was.
    if (c.files.contains("P - S.mp3.part")) {
      EXPECT_EQ(Bytes("P - S.mp3.part"), QByteArray::fromStdString(c.part));
      EXPECT_TRUE(PartFileInfo::Read(PathOf("P - S.mp3.part")).has_value());
    }
  }
}

TEST_F(PoliciesTest, AStoppedSongIsContinuedByTheNextBatch) {
  const std::string body = Pattern(400000, 's');
  ServedFile stalling{body, Framing::kLength};
  stalling.stall_after = 150000;
  stalling.honour_range = true;
  stalling.etag = "\"s1\"";
  DownloadQueue queue(links_);
  queue.SetPolicies(FastRetries());
  Report report(queue);
  queue.Start(
      std::make_unique<TestTaskList>(std::vector<SongTask>{Task(0, "T", "/t.mp3", stalling)}), 1);
  ASSERT_TRUE(WaitUntil([&] { return report.progress_reports > 0; }));
  // The record says what the bytes are from while they still come, so a crash cannot leave
  // bytes nothing vouches for.
  const std::optional<PartFileInfo> record = PartFileInfo::Read(PathOf("T - S.mp3.part"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->complete_length, 400000);
  EXPECT_EQ(record->etag, "\"s1\"");
  queue.StopAll();
  ASSERT_TRUE(WaitUntil([&] { return report.ended; }));
  const qint64 kept = QFileInfo(PathOf("T - S.mp3.part")).size();
  EXPECT_GT(kept, 0);
  EXPECT_LE(kept, 150000);

  ServedFile whole{body, Framing::kChunked};
  whole.honour_range = true;
  whole.etag = "\"s1\"";
  auto next = Run({Task(0, "T", "/t.mp3", whole)}, FastRetries());
  EXPECT_EQ(next->report.row_text[0], QStringLiteral("下载成功"));
  EXPECT_EQ(server_.Ranges("/t.mp3"),
            (std::vector<std::string>{"", "bytes=" + std::to_string(kept) + "-"}));
  EXPECT_EQ(server_.IfRanges("/t.mp3"), (std::vector<std::string>{"", "\"s1\""}));
  EXPECT_EQ(Files(), QStringList{"T - S.mp3"});
  EXPECT_EQ(Bytes("T - S.mp3"), QByteArray::fromStdString(body));
}

TEST_F(PoliciesTest, ASpeedLimitHoldsForAllTransfersTogetherAndAStopEndsItsWait) {
  const std::string body = Pattern(96 * 1024, 'l');
  DownloadPolicies policies = FastRetries();
  policies.rate_limiter = std::make_shared<RateLimiter>();
  policies.rate_limiter->SetBytesPerSecond(64 * 1024);
  QElapsedTimer clock;
  clock.start();
  auto batch = Run({Task(0, "L1", "/l1.mp3", {body, Framing::kLength}),
                    Task(1, "L2", "/l2.mp3", {body, Framing::kLength})},
                   policies, 2);
  // 192 KB at 64 KB/s for both together: at least two seconds however fast the machine. (A
  // load can only make it longer.)
  EXPECT_GE(clock.elapsed(), 2000);
  EXPECT_EQ(batch->report.saved, 2);
  EXPECT_EQ(Bytes("L1 - S.mp3"), QByteArray::fromStdString(body));

  // At 1 KB/s the file would take minutes; the stop ends the wait for the limit at once.
  policies.rate_limiter->SetBytesPerSecond(1024);
  DownloadQueue queue(links_);
  queue.SetPolicies(policies);
  Report report(queue);
  queue.Start(std::make_unique<TestTaskList>(
                  std::vector<SongTask>{Task(2, "L3", "/l3.mp3", {body, Framing::kLength})}),
              1);
  ASSERT_TRUE(WaitUntil([&] { return report.progress_reports > 0; }));
  queue.StopAll();
  ASSERT_TRUE(WaitUntil([&] { return report.ended; }, 20000));
  EXPECT_EQ(report.row_text[2], QStringLiteral("下载失败用户中止下载"));
}

// The save folder's disk fills up: on a small file system of its own where this machine lets a
// test mount one, and under a file-size limit everywhere.
TEST_F(PoliciesTest, AFullDiskFailsItsSongKeepsEarlierFilesAndStopsTheBatch) {
  struct Case {
    const char* name;
    enum class Limit { kTmpfs, kFileSize, kAnnounced } limit;
  };
  const std::string small = Pattern(100000, 'd');
  const std::string big = Pattern(3 * 1024 * 1024, 'e');
  for (const Case& c : {Case{"a small tmpfs that fills up", Case::Limit::kTmpfs},
                        Case{"a file-size limit that is reached", Case::Limit::kFileSize},
                        Case{"no room for the announced size", Case::Limit::kAnnounced}}) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    bool mounted = false;
    rlimit saved_limit{};
    void (*saved_handler)(int) = SIG_DFL;
    if (c.limit == Case::Limit::kTmpfs) {
      mounted =
          ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs", 0, "size=2m") == 0;
      if (!mounted) {
        std::cout << "[ NOTE     ] no tmpfs here (" << std::strerror(errno)
                  << "); the file-size limit stands in\n";
        continue;
      }
    }
    ServedFile filling{big, Framing::kChunked};
    if (c.limit == Case::Limit::kAnnounced) {
      filling.framing = Framing::kLength;
      filling.announced_length = 1LL << 50;  // a petabyte: no disk here has that much free
    }
    const std::string tag = std::to_string(static_cast<int>(c.limit));
    std::vector<SongTask> tasks = {Task(0, "0", "/small" + tag, {small, Framing::kLength}),
                                   Task(1, "1", "/big" + tag, filling),
                                   Task(2, "2", "/after" + tag, {small, Framing::kLength})};
    for (SongTask& task : tasks) task.naming = NamingScheme::kTitle;
    if (c.limit == Case::Limit::kFileSize) {
      ::getrlimit(RLIMIT_FSIZE, &saved_limit);
      saved_handler = std::signal(SIGXFSZ, SIG_IGN);
      rlimit limit = saved_limit;
      limit.rlim_cur = 1024 * 1024;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    auto batch = Run(tasks, FastRetries());
    if (c.limit == Case::Limit::kFileSize) {
      ::setrlimit(RLIMIT_FSIZE, &saved_limit);
      std::signal(SIGXFSZ, saved_handler);
    }

    EXPECT_EQ(batch->report.row_text[0], QStringLiteral("下载成功"));
    EXPECT_EQ(batch->report.row_text[1], QStringLiteral("下载失败保存位置的磁盘空间不足"));
    EXPECT_EQ(batch->report.started, (std::vector<int>{0, 1}));
    EXPECT_EQ(batch->report.end, BatchEnd::kOutOfSpace);
    EXPECT_TRUE(batch->report.retries[1].isEmpty());
    EXPECT_EQ(server_.Requests("/after" + tag), 0);
    // The earlier song's file is whole; nothing of the song that did not fit is left.
    EXPECT_EQ(Files(), QStringList{"0.mp3"});
    EXPECT_EQ(Bytes("0.mp3"), QByteArray::fromStdString(small));
    if (mounted) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
  }
}

// Three songs at once each fit the disk alone, and two of them together: the third, checked
// while the others are still coming, does not.
TEST_F(PoliciesTest, TheFreeSpaceCheckCountsTheSongsComingAtOnce) {
  struct statvfs disk {};
  ASSERT_EQ(::statvfs(QFile::encodeName(folder_).constData(), &disk), 0);
  const long long free_bytes = static_cast<long long>(disk.f_bavail) * disk.f_frsize;
  std::vector<SongTask> tasks;
  for (int key = 0; key < 3; ++key) {
    // Announced as two fifths of the disk; the body stops early and waits, so all three run.
    ServedFile big{Pattern(200000, 'q'), Framing::kLength};
    big.announced_length = free_bytes * 2 / 5;
    big.stall_after = 100000;
    std::string path = "/big";
    path += std::to_string(key);
    tasks.push_back(Task(key, QString::number(key), path, big));
  }
  DownloadPolicies policies = FastRetries();
  policies.retries = 0;
  auto batch = Run(tasks, policies, 3);
  EXPECT_EQ(batch->report.end, BatchEnd::kOutOfSpace);
  QStringList rows;
  for (const auto& [key, text] : batch->report.row_text) rows << text;
  rows.sort();
  EXPECT_EQ(rows, (QStringList{"下载失败保存位置的磁盘空间不足", "下载失败磁盘空间不足，下载已停止",
                               "下载失败磁盘空间不足，下载已停止"}));
}

TEST_F(PoliciesTest, LongNamesAreCutToFitAndASavedSongLeavesNoPartOfItsOwn) {
  const std::string body = Pattern(50000, 'n');
  const QString cjk = QStringLiteral("长");
  // 86 characters of 3 bytes: the name is cut to 77, and " - S" goes with the rest.
  SongTask long_name = Task(0, "L", "/long.mp3", {body, Framing::kLength});
  long_name.title = cjk.repeated(86);
  const QString cut = cjk.repeated(77);
  // An earlier try of this song left a part file under another slot; one of another song lies
  // beside it.
  WriteFile(cut + ".mp3.1.part", "stale bytes");
  ASSERT_TRUE((PartFileInfo{"L", "320",
                            LinkIdentity(QString::fromStdString(server_.Url("/long.mp3"))), 9000})
                  .Write(PathOf(cut + ".mp3.1.part")));
  WriteFile(cut + ".mp3.2.part", "another song's");
  ASSERT_TRUE((PartFileInfo{"M", "320", "http://127.0.0.1:1/m.mp3", 9000})
                  .Write(PathOf(cut + ".mp3.2.part")));
  // A song whose record cannot be written could never be continued: it fails and leaves none.
  SongTask no_record = Task(1, "R", "/r.mp3", {body, Framing::kLength});
  ASSERT_TRUE(QDir(folder_).mkdir(QStringLiteral("R - S.mp3.part.info")));

  auto batch = Run({long_name, no_record}, FastRetries());
  EXPECT_EQ(batch->report.row_text[0], QStringLiteral("下载成功"));
  EXPECT_TRUE(batch->report.row_text[1].startsWith(QStringLiteral("下载失败无法保存文件：")))
      << batch->report.row_text[1].toStdString();
  EXPECT_EQ(Bytes(cut + ".mp3"), QByteArray::fromStdString(body));
  EXPECT_EQ(Files(), (QStringList{cut + ".mp3", cut + ".mp3.2.part", cut + ".mp3.2.part.info"}));
}

TEST_F(PoliciesTest, TagsAreWrittenIntoSavedFilesThatCarryNone) {
  const std::string untagged = UntaggedMp3(40);
  // The same audio with a tag of its own, which is left as it is.
  const QString tagged_path = dir_.filePath(QStringLiteral("tagged.mp3"));
  {
    QFile file(tagged_path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(untagged));
  }
  {
    TagLib::MPEG::File file(QFile::encodeName(tagged_path).constData());
    file.ID3v2Tag(true)->setTitle("Own Title");
    file.ID3v2Tag(true)->setArtist("Own Artist");
    ASSERT_TRUE(file.save());
  }
  QFile tagged_file(tagged_path);
  ASSERT_TRUE(tagged_file.open(QIODevice::ReadOnly));
  const std::string tagged = tagged_file.readAll().toStdString();
  // A 2.4 tag with a title only, and frames that version 2.3 does not have.
  const QString v24_path = dir_.filePath(QStringLiteral("v24.mp3"));
  {
    QFile file(v24_path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(untagged));
  }
  {
    TagLib::MPEG::File file(QFile::encodeName(v24_path).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setTitle("Own Title");
    for (const char* id : {"TMOO", "TDRL"}) {
      auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
      frame->setText(id == std::string("TMOO") ? "calm" : "2012-12-25");
      tag->addFrame(frame);
    }
    auto* volume = new TagLib::ID3v2::RelativeVolumeFrame();
    volume->setIdentification("track");
    volume->setVolumeAdjustment(-2.5f);
    tag->addFrame(volume);
    ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4));
  }
  QFile v24_file(v24_path);
  ASSERT_TRUE(v24_file.open(QIODevice::ReadOnly));
  const std::string v24 = v24_file.readAll().toStdString();

  struct Case {
    const char* name;
    const std::string& body;
    bool write_tags;
    const char* title;  // what the saved file's tag says; "" for no tag
    const char* artist;
    unsigned version = 0;  // the saved tag's version, when the case cares
  };
  const Case cases[] = {
      {"untagged, tags on", untagged, true, "歌名", "歌手", 3},
      {"untagged, tags off", untagged, false, "", ""},
      {"tagged, tags on", tagged, true, "Own Title", "Own Artist"},
      {"a 2.4 tag keeps its version and its frames", v24, true, "Own Title", "歌手", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    SongTask task = Task(0, "G", "/" + std::to_string(&c - cases), {c.body, Framing::kLength});
    task.title = QStringLiteral("歌名");
    task.singer = QStringLiteral("歌手");
    DownloadPolicies policies = FastRetries();
    policies.write_tags = c.write_tags;
    auto batch = Run({task}, policies);
    ASSERT_EQ(batch->report.row_text[0], QStringLiteral("下载成功"));
    const QString saved = PathOf(QStringLiteral("歌名 - 歌手.mp3"));
    TagLib::MPEG::File file(QFile::encodeName(saved).constData());
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.tag()->title().to8Bit(true), c.title);
    EXPECT_EQ(file.tag()->artist().to8Bit(true), c.artist);
    if (c.version != 0) {
      ASSERT_TRUE(file.hasID3v2Tag());
      EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), c.version);
    }
    if (c.version == 4) {
      const TagLib::ID3v2::FrameListMap& frames = file.ID3v2Tag()->frameListMap();
      for (const char* id : {"TMOO", "TDRL", "RVA2"}) {
        EXPECT_FALSE(frames[id].isEmpty()) << id;
      }
      ASSERT_FALSE(frames["TMOO"].isEmpty());
      EXPECT_EQ(frames["TMOO"].front()->toString().to8Bit(true), "calm");
    }
    // Whatever else the tag holds, the song's id is in it, and the audio is as it came.
    const auto* id =
        TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(), "MEVRA_SONG_ID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->fieldList().back().to8Bit(true), "G");
    EXPECT_EQ(Bytes(QStringLiteral("歌名 - 歌手.mp3")), AudioOf(QByteArray::fromStdString(c.body)));
  }
}

TEST_F(PoliciesTest, CoversAndLyricsGoWhereAskedAndOnesThatCannotBeHadOnlyMarkTheRow) {
  const std::string audio = UntaggedMp3(40);
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + Pattern(3000, 'j');
  const std::string lrc = "[ti:T]\n[00:01.50]一\n[00:05.75][01:02.03]二\n";
  server_.Serve("/cover.jpg", {jpeg});
  server_.Serve("/cover.png", {"\x89PNG\r\n\x1a\n" + Pattern(100, 'p')});
  server_.Serve("/big.jpg", {std::string("\xFF\xD8\xFF", 3) + Pattern(kMaxCoverBytes, 'b')});
  server_.Serve("/timed.lrc", {lrc});
  server_.Serve("/plain.lrc", {"第一行\n第二行\n"});
  struct Case {
    const char* name;
    const char* cover;  // path on the server; "" for a page without one
    const char* lyrics;
    ExtrasOptions options;
    const char* row;
    bool cover_in_tag;
    std::vector<unsigned> sylt_ms;  // empty: no SYLT
    const char* uslt;               // "" for no USLT
    bool lrc_file;
  };
  using enum LyricsMode;
  const Case cases[] = {
      {"everything",
       "/cover.jpg",
       "/timed.lrc",
       {true, true, kBoth},
       "下载成功",
       true,
       {1500, 5750, 62030},
       "一\n二\n二",
       true},
      {"plain lyrics into the tag only",
       "/cover.jpg",
       "/plain.lrc",
       {true, false, kEmbed},
       "下载成功",
       true,
       {},
       "第一行\n第二行",
       false},
      {"a lrc file only, no cover wanted",
       "/cover.jpg",
       "/timed.lrc",
       {false, false, kLrc},
       "下载成功",
       false,
       {},
       "",
       true},
      {"cover gone",
       "/gone.jpg",
       "/timed.lrc",
       {true, false, kEmbed},
       "已保存（无封面）",
       false,
       {1500, 5750, 62030},
       "一\n二\n二",
       false},
      {"no JPEG, lyrics gone",
       "/cover.png",
       "/gone.lrc",
       {true, false, kBoth},
       "已保存（无封面、无歌词）",
       false,
       {},
       "",
       false},
      {"cover over the limit",
       "/big.jpg",
       "",
       {true, false, kEmbed},
       "已保存（无封面）",
       false,
       {},
       "",
       false},
      {"nothing offered", "", "", {true, true, kBoth}, "下载成功", false, {}, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseNewFolder(QString::fromLatin1(c.name));
    const std::string path = "/" + std::to_string(&c - cases) + ".mp3";
    SongTask task = Task(0, "X", path, {audio});
    const auto url = [&](const char* served) {
      return *served ? QString::fromStdString(server_.Url(served)) : QString();
    };
    links_.SetExtras("X", url(c.cover), url(c.lyrics));
    DownloadPolicies policies = FastRetries();
    policies.extras = c.options;
    auto batch = Run({task}, policies);
    EXPECT_EQ(batch->report.row_text[0], QString::fromUtf8(c.row));
    TagLib::MPEG::File file(QFile::encodeName(PathOf("X - S.mp3")).constData());
    ASSERT_TRUE(file.isValid() && file.hasID3v2Tag());
    const TagLib::ID3v2::FrameListMap& frames = file.ID3v2Tag()->frameListMap();
    EXPECT_EQ(frames["APIC"].size(), c.cover_in_tag ? 1u : 0u);
    if (c.cover_in_tag && !frames["APIC"].isEmpty()) {
      const auto* picture =
          dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frames["APIC"].front());
      ASSERT_NE(picture, nullptr);
      EXPECT_EQ(picture->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
      EXPECT_EQ(picture->mimeType(), "image/jpeg");
      EXPECT_EQ(std::string(picture->picture().data(), picture->picture().size()), jpeg);
    }
    std::vector<unsigned> sylt_ms;
    if (!frames["SYLT"].isEmpty()) {
      const auto* timed =
          dynamic_cast<const TagLib::ID3v2::SynchronizedLyricsFrame*>(frames["SYLT"].front());
      ASSERT_NE(timed, nullptr);
      for (const auto& line : timed->synchedText()) sylt_ms.push_back(line.time);
    }
    EXPECT_EQ(sylt_ms, c.sylt_ms);
    EXPECT_EQ(
        frames["USLT"].isEmpty() ? std::string() : frames["USLT"].front()->toString().to8Bit(true),
        c.uslt);
    EXPECT_EQ(QFileInfo::exists(PathOf("X - S.lrc")), c.lrc_file);
    if (c.lrc_file) {
      QFile lrc_file(PathOf("X - S.lrc"));
      ASSERT_TRUE(lrc_file.open(QIODevice::ReadOnly));
      EXPECT_EQ(lrc_file.readAll().toStdString(), lrc);
    }
    // cover.jpg once per folder: a second song of the folder keeps the first one's.
    if (c.options.save_cover && *c.cover) {
      QFile cover(PathOf("cover.jpg"));
      ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
      EXPECT_EQ(cover.readAll().toStdString(), jpeg);
    }
  }
}

TEST_F(PoliciesTest, AStopEndsAStalledCoverAtOnceAndKeepsThePartFile) {
  ServedFile stalled{std::string("\xFF\xD8\xFF", 3) + Pattern(5000, 's')};
  stalled.stall_after = 10;
  server_.Serve("/stalled.jpg", stalled);
  SongTask task = Task(0, "Z", "/z.mp3", {UntaggedMp3(40)});
  links_.SetExtras("Z", QString::fromStdString(server_.Url("/stalled.jpg")), {});
  DownloadQueue queue(links_);
  queue.SetPolicies(FastRetries());
  Report report(queue);
  queue.Start(std::make_unique<TestTaskList>(std::vector<SongTask>{task}), 1);
  ASSERT_TRUE(WaitUntil([&] { return server_.Requests("/stalled.jpg") == 1; }));
  queue.StopAll();
  // Well within the cover's own time-out: the stop cuts its fetch.
  ASSERT_TRUE(WaitUntil([&] { return report.ended; }, kExtrasReadTimeoutMs / 2));
  EXPECT_EQ(report.end, BatchEnd::kStopped);
  EXPECT_EQ(Files(), (QStringList{"Z - S.mp3.part", "Z - S.mp3.part.info"}));
}

TEST_F(PoliciesTest, TheLibraryFindsSongsByIdOrNamesAtAnyDepthAndRereadsOnlyChangedFiles) {
  const auto song = [&](const QString& name, const SongTags& tags) {
    QDir().mkpath(QFileInfo(PathOf(name)).absolutePath());
    WriteFile(name, QByteArray::fromStdString(UntaggedMp3(10)));
    ASSERT_TRUE(WriteSongTags(PathOf(name), tags));
  };
  SongTags by_id;
  by_id.song_id = QStringLiteral("23470020");
  song(QStringLiteral("renamed by the user.mp3"), by_id);
  SongTags by_names;
  by_names.missing_title_artist = true;
  by_names.title = QStringLiteral("Long Way North");
  by_names.artist = QStringLiteral("Nova Lane");
  song(QStringLiteral("a/b/c/deep.MP3"), by_names);
  WriteFile(QStringLiteral("notes.txt"), "Nova Lane - Other");
  WriteFile(QStringLiteral("not really.mp3"), "text");

  std::vector<LibraryFile> files = ScanLibrary(folder_, {});
  ASSERT_EQ(files.size(), 3u);
  const LibraryIndex index(files);
  EXPECT_TRUE(index.Contains(QStringLiteral("23470020"), QStringLiteral("x"), QStringLiteral("y")));
  EXPECT_TRUE(index.Contains(QStringLiteral("9"), QStringLiteral(" nova lane "),
                             QStringLiteral("LONG WAY NORTH")));
  EXPECT_FALSE(
      index.Contains(QStringLiteral("9"), QStringLiteral("Nova Lane"), QStringLiteral("Other")));
  EXPECT_FALSE(index.Contains({}, {}, {}));

  // What the cache holds for an unchanged file is taken unread; a changed file is read again.
  LibraryCache cache;
  for (LibraryFile file : files) {
    file.title = QStringLiteral("from the cache");
    cache.insert(file.path, file);
  }
  SongTags retitled = by_names;
  retitled.missing_title_artist = false;
  retitled.song_id = QStringLiteral("7");
  ASSERT_TRUE(WriteSongTags(PathOf(QStringLiteral("a/b/c/deep.MP3")), retitled));
  {
    // The file system's clock may not have moved since the scan.
    QFile changed(PathOf(QStringLiteral("a/b/c/deep.MP3")));
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    ASSERT_TRUE(changed.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                    QFileDevice::FileModificationTime));
  }
  QStringList titles;
  for (const LibraryFile& file : ScanLibrary(folder_, cache)) {
    titles << QFileInfo(file.path).fileName() + "=" + file.title + "/" + file.song_id;
  }
  titles.sort();
  EXPECT_EQ(titles, (QStringList{"deep.MP3=Long Way North/7", "not really.mp3=from the cache/",
                                 "renamed by the user.mp3=from the cache/23470020"}));
}

TEST(LyricsTextTest, TimedLinesAreReadInTimeOrderAndEverythingElseIsPlain) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<int> ms;
    const char* plain;
  };
  const Case cases[] = {
      {"header tags left out, CRLF",
       "[ar:A]\r\n[00:02.5]b\r\n[00:01.25]a\r\n",
       {1250, 2500},
       "a\nb"},
      {"fraction forms and minutes past an hour",
       "[00:01]x\n[00:01:05]y\n[75:00.123]z",
       {1000, 1050, 4500123},
       "x\ny\nz"},
      {"a bracketed word is lyrics", "\n[Chorus]\nla la\n\n", {}, "[Chorus]\nla la"},
      {"bad times make plain text",
       "[00:60.00]a\n[0:5]b\n[00:01.1234]c",
       {},
       "[00:60.00]a\n[0:5]b\n[00:01.1234]c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParsedLyrics lyrics = ParseLyrics(QString::fromUtf8(c.text));
    std::vector<int> ms;
    for (const TimedLine& line : lyrics.timed) ms.push_back(line.ms);
    EXPECT_EQ(ms, c.ms);
    EXPECT_EQ(lyrics.plain, QString::fromUtf8(c.plain));
  }
}

TEST(TransferFailureTest, TellsPassingFailuresFromLastingOnesAndReadsTheWaits) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    bool transient;
  };
  const Case cases[] = {
      {"refused", [] { throw net::SocketError(10061, "refused"); }, true},
      {"reset", [] { throw net::SocketError(10054, "reset"); }, true},
      {"host not found", [] { throw net::SocketError(11001, "no host"); }, false},
      {"threaded connect refused",
       [] { throw net::ConnectError("Socket Error # 10061\r\nConnection refused."); }, true},
      {"connect timed out", [] { throw net::ConnectTimeoutError(); }, true},
      {"closed before the answer", [] { throw net::ConnClosedGracefullyError(); }, true},
      {"body cut short", [] { throw http::IncompleteBodyError("short"); }, true},
      {"503", [] { throw http::HttpProtocolError(503, "HTTP/1.1 503 Busy", ""); }, true},
      {"408", [] { throw http::HttpProtocolError(408, "HTTP/1.1 408 Timeout", ""); }, true},
      {"429", [] { throw http::HttpProtocolError(429, "HTTP/1.1 429 Slow down", ""); }, true},
      {"404", [] { throw http::HttpProtocolError(404, "HTTP/1.1 404 Not Found", ""); }, false},
      {"403", [] { throw http::HttpProtocolError(403, "HTTP/1.1 403 Forbidden", ""); }, false},
      {"bad chunk", [] { throw http::ChunkSizeError("bad"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.raise();
    } catch (const std::exception& error) {
      EXPECT_EQ(IsTransientFailure(error), c.transient);
    }
  }

  const http::DateTime now = *http::ParseInternetDate("Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(RetryAfterMs("1", now), 1000);
  EXPECT_EQ(RetryAfterMs(" 120 ", now), 120000);
  EXPECT_EQ(RetryAfterMs("Sun, 06 Nov 1994 08:50:07 GMT", now), 30000);
  EXPECT_EQ(RetryAfterMs("Sun, 06 Nov 1994 08:00:00 GMT", now), 0);
  EXPECT_EQ(RetryAfterMs("soon", now), std::nullopt);
  EXPECT_EQ(RetryAfterMs("", now), std::nullopt);
  EXPECT_EQ(BackoffMs(1, 1000), 1000);
  EXPECT_EQ(BackoffMs(3, 1000), 4000);
  EXPECT_EQ(BackoffMs(10, 1000), 60000);

  EXPECT_EQ(ParseExistingFilePolicy(" Skip "), ExistingFilePolicy::kSkip);
  EXPECT_EQ(ParseExistingFilePolicy("overwrite"), ExistingFilePolicy::kOverwrite);
  EXPECT_EQ(ParseExistingFilePolicy("rename"), ExistingFilePolicy::kRename);
  EXPECT_EQ(ParseExistingFilePolicy("replace"), std::nullopt);
}

}  // namespace
}  // namespace mevra::download::testing
