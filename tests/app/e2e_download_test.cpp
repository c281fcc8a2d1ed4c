// The main job end to end: signed in at the portal, ticked songs are resolved in the hidden
// browser, fetched by the program's own HTTP client and saved under the chosen names; the
// failures a portal can produce leave the right marks; the preview plays the chosen song.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <attachedpictureframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <synchronizedlyricsframe.h>
#include <textidentificationframe.h>

#include "app/song_status_delegate.h"
#include "browser/browser_control.h"
#include "download/download_queue.h"
#include "download/lyrics_text.h"
#include "download/part_file_info.h"
#include "download/song_download_job.h"
#include "portal/catalog.h"
#include "portal/song_extras.h"
#include "portal/song_file_cache.h"
#include "tests/app/e2e_support.h"
#include "tests/support/mp3_audio.h"
#include "widgets/progress_status.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

using testing::PortalWindowTest;
using testing::WaitUntil;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

class DownloadTest : public PortalWindowTest {
 protected:
  MainWindow& OpenForDownloads() {
    MainWindow& w = OpenSignedIn();
    save_dir_ = dir_->filePath(QStringLiteral("songs"));
    QDir().mkpath(save_dir_);
    Ui().edt_saveto->setText(save_dir_);
    return w;
  }

  static int RowOf(MainWindow& w, std::string_view id) {
    for (int row = 0; row < w.SongCount(); ++row) {
      if (w.SongText(row, MainWindow::kColumnId) == Q(id)) return row;
    }
    ADD_FAILURE() << "song " << id << " is not listed";
    return -1;
  }

  static void TickOnly(MainWindow& w, std::initializer_list<std::string_view> ids) {
    w.btn_NotSelectClick();
    for (std::string_view id : ids) w.SetSongTicked(RowOf(w, id), true);
  }

  static QString Status(MainWindow& w, std::string_view id) {
    return w.SongText(RowOf(w, id), MainWindow::kColumnStatus);
  }

  // The bytes the portal serves for a song at a rate.
  static QByteArray ServedBytes(std::string_view id, int rate) {
    const std::string bytes =
        portal::EncodedSongBytes(*portal::FindSong(id), rate, Portal().data_dir());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  // Their audio, without the portal's tag.
  static QByteArray PortalBytes(std::string_view id, int rate) {
    return mevra::testing::AudioOf(ServedBytes(id, rate));
  }

  // A saved song's audio, without the tag the program adds to.
  static QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? mevra::testing::AudioOf(file.readAll()) : QByteArray();
  }

  QStringList SavedFiles() const {
    return QDir(save_dir_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }
  // The finished songs alone, without the partial files kept for a later batch.
  QStringList SavedSongs() const {
    return QDir(save_dir_).entryList({QStringLiteral("*.mp3")}, QDir::Files | QDir::Hidden,
                                     QDir::Name);
  }
  // The partial file a song's unfinished transfer left, by the song's title - singer name.
  QString PartOf(std::string_view id) const {
    const portal::Song& song = *portal::FindSong(id);
    return save_dir_ + "/" + Q(song.title) + " - " + Q(song.singer) + ".mp3.part";
  }

  // Starts the batch and waits for its end (a batch that asks to fetch everything runs on).
  void RunBatch(MainWindow& w) {
    w.btn_downClick();
    ASSERT_TRUE(WaitUntil(
        [&] { return !Probe().Queue().IsRunning() && Ui().btn_down->isEnabled(); }, 120000));
  }

  // Starts the preview of the selected song and waits until it plays or says why not.
  void RunPreview(MainWindow& w) {
    w.btn_listenClick();
    ASSERT_NE(Probe().PreviewJob(), nullptr);
    QMediaPlayer& player = Probe().PreviewPlayer();
    ASSERT_TRUE(WaitUntil([&] {
      return Probe().PreviewJob()->Ended() &&
             (!player.source().isEmpty() || Ui().btn_listen->isEnabled());
    }));
  }

  QString save_dir_;
};

TEST_F(DownloadTest, SavesTickedSongsUnderEachNamingSchemeWithThePortalsBytes) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_320k->setChecked(true);
  struct Case {
    QRadioButton* scheme;
    std::string_view id;
    QString name;
  };
  const portal::Song& a = *portal::FindSong(portal::kShortSongId);
  const portal::Song& b = *portal::FindSong(portal::kRedirectSongId);
  const portal::Song& c = *portal::FindSong(portal::kChunkedSongId);
  const Case cases[] = {
      {ui.rb1, portal::kShortSongId, Q(a.title)},
      {ui.rb2, portal::kRedirectSongId, Q(b.title) + " - " + Q(b.singer)},
      {ui.rb3, portal::kChunkedSongId, Q(c.singer) + " - " + Q(c.title)},
  };
  int saved = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    c.scheme->setChecked(true);
    TickOnly(w, {c.id});
    Boxes().ClearShown();
    RunBatch(w);
    ++saved;
    EXPECT_EQ(Status(w, c.id), QStringLiteral("下载成功"));
    EXPECT_FALSE(w.SongTicked(RowOf(w, c.id)));
    const QString path = save_dir_ + "/" + c.name + ".mp3";
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(FileBytes(path), PortalBytes(c.id, 320)) << path.toStdString();
    ASSERT_EQ(Boxes().Shown().size(), 1u);
    EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("所有任务已经完成！本次共下载了1首歌曲"));
    EXPECT_EQ(Boxes().Shown()[0].caption, MainWindow::ApplicationTitle());
    EXPECT_EQ(ui.prgrsts_downloadpg->Percent(), 100);
  }
  EXPECT_EQ(SavedFiles().size(), saved);
  EXPECT_TRUE(ui.btn_down->isEnabled());
  // The stop button has nothing left to stop once a batch is over.
  EXPECT_FALSE(ui.btn_stop->isEnabled());

  // The same song again gets "_new" and the rate; a third time replaces that file.
  ui.rb1->setChecked(true);
  for (int round = 0; round < 2; ++round) {
    TickOnly(w, {portal::kShortSongId});
    RunBatch(w);
  }
  const QString renewed = save_dir_ + "/" + Q(a.title) + "_new320.mp3";
  EXPECT_EQ(FileBytes(renewed), PortalBytes(portal::kShortSongId, 320));
  EXPECT_EQ(SavedFiles().size(), 4);
}

TEST_F(DownloadTest, EveryOptionOnGivesFoldersCoversLyricsAndTheSongsId) {
  MainWindow& w = OpenForDownloads();
  Ui().rb_128k->setChecked(true);
  DownloadSettings settings = Probe().Settings();
  settings.extras = {true, true, download::LyricsMode::kBoth};
  settings.name_template = QStringLiteral("{singer}/{title} [{id}]");
  settings.playlist = true;
  Probe().SetSettings(settings);
  Probe().ChooseCustomNaming();
  const std::string_view ids[] = {portal::kShortSongId, portal::kNoCoverSongId,
                                  portal::kPlainLyricsSongId, portal::kNoLyricsSongId};
  TickOnly(w, {ids[0], ids[1], ids[2], ids[3]});
  RunBatch(w);
  for (std::string_view id : ids) {
    SCOPED_TRACE(std::string(id));
    const portal::Song& song = *portal::FindSong(id);
    EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
    // The title's "/" stays inside the file name; only the template's own makes the folder.
    QString title = w.SongText(RowOf(w, id), MainWindow::kColumnTitle).trimmed();
    title.replace(u'/', u'_');
    const QString folder =
        save_dir_ + "/" + w.SongText(RowOf(w, id), MainWindow::kColumnSinger).trimmed();
    const QString path = folder + "/" + title + " [" + Q(id) + "].mp3";
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(FileBytes(path), PortalBytes(id, 128));

    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    ASSERT_TRUE(file.hasID3v2Tag());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    const auto* song_id = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "MEVRA_SONG_ID");
    ASSERT_NE(song_id, nullptr);
    EXPECT_EQ(song_id->fieldList().back().to8Bit(true), song.id);
    const std::string cover = portal::CoverJpeg(song);
    const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
    ASSERT_EQ(pictures.size(), cover.empty() ? 0u : 1u);
    if (!cover.empty()) {
      const TagLib::ByteVector bytes =
          static_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front())->picture();
      EXPECT_EQ(std::string(bytes.data(), bytes.size()), cover);
      QFile folder_cover(folder + "/cover.jpg");
      ASSERT_TRUE(folder_cover.open(QIODevice::ReadOnly));
      EXPECT_EQ(folder_cover.readAll().toStdString(), cover);
    }
    // The .lrc holds the lyrics as served; SYLT their times, when they have any.
    const std::string lyrics = portal::LyricsText(song);
    const QString lrc = folder + "/" + title + " [" + Q(id) + "].lrc";
    EXPECT_EQ(QFileInfo::exists(lrc), !lyrics.empty());
    if (!lyrics.empty()) {
      EXPECT_EQ(FileBytes(lrc).toStdString(), lyrics);
    }
    std::vector<int> served_ms;
    for (const auto& line : download::ParseLyrics(QString::fromStdString(lyrics)).timed) {
      served_ms.push_back(line.ms);
    }
    std::vector<int> tag_ms;
    if (!tag->frameList("SYLT").isEmpty()) {
      for (const auto& line :
           static_cast<TagLib::ID3v2::SynchronizedLyricsFrame*>(tag->frameList("SYLT").front())
               ->synchedText()) {
        tag_ms.push_back(static_cast<int>(line.time));
      }
    }
    EXPECT_EQ(tag_ms, served_ms);
    EXPECT_EQ(tag->frameList("USLT").isEmpty(), lyrics.empty());
  }

  // The page's playlist: each saved song once, in list order, its length and its path below
  // the save folder. A later batch from the page adds its songs in their places; a failed one
  // is left out.
  const auto playlist = [&] {
    const QStringList lists = QDir(save_dir_).entryList({QStringLiteral("*.m3u8")}, QDir::Files);
    EXPECT_EQ(lists.size(), 1) << lists.join(u',').toStdString();
    return lists.isEmpty() ? QStringList()
                           : QString::fromUtf8(FileBytes(save_dir_ + "/" + lists[0]))
                                 .split(u'\n', Qt::SkipEmptyParts);
  };
  const auto expected = [&](std::vector<std::string_view> saved) {
    std::sort(saved.begin(), saved.end(),
              [&](std::string_view a, std::string_view b) { return RowOf(w, a) < RowOf(w, b); });
    QStringList lines{QStringLiteral("#EXTM3U")};
    for (std::string_view id : saved) {
      const int row = RowOf(w, id);
      const QString singer = w.SongText(row, MainWindow::kColumnSinger).trimmed();
      QString title = w.SongText(row, MainWindow::kColumnTitle).trimmed();
      lines << QStringLiteral("#EXTINF:%1,%2 - %3")
                   .arg(QString::number(portal::FindSong(id)->seconds), singer, title);
      title.replace(u'/', u'_');
      lines << singer + "/" + title + " [" + Q(id) + "].mp3";
    }
    return lines;
  };
  EXPECT_EQ(playlist(), expected({ids[0], ids[1], ids[2], ids[3]}));
  TickOnly(w, {portal::kRedirectSongId, portal::kMissingFileSongId});
  RunBatch(w);
  EXPECT_EQ(playlist(), expected({ids[0], ids[1], ids[2], ids[3], portal::kRedirectSongId}));
}

TEST_F(DownloadTest, SongsTheSaveFolderHoldsByIdOrByNameAreMarkedAndUnticked) {
  MainWindow& w = OpenForDownloads();
  const auto write = [&](const QString& name, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(save_dir_ + "/" + name).absolutePath());
    QFile file(save_dir_ + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  };
  // A song saved before and renamed since, its names changed too: its id still tells it.
  write(QStringLiteral("old/renamed.mp3"), ServedBytes(portal::kShortSongId, 128));
  {
    TagLib::MPEG::File file(QFile::encodeName(save_dir_ + "/old/renamed.mp3").constData());
    file.ID3v2Tag(true)->setTitle("Something Else");
    file.ID3v2Tag(true)->setArtist("Someone Else");
    auto* id = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF16);
    id->setDescription("MEVRA_SONG_ID");
    id->setText(std::string(portal::kShortSongId));
    file.ID3v2Tag()->addFrame(id);
    ASSERT_TRUE(file.save());
  }
  // One from elsewhere, with the song's singer and title in its tag.
  write(QStringLiteral("by its names.mp3"), ServedBytes(portal::kRedirectSongId, 128));
  w.btn_selectAllClick();
  Probe().StartLibraryScan();
  ASSERT_TRUE(WaitUntil([&] { return Status(w, portal::kRedirectSongId) == "已在音乐库"; }));
  EXPECT_EQ(Status(w, portal::kShortSongId), QStringLiteral("已在音乐库"));
  EXPECT_FALSE(w.SongTicked(RowOf(w, portal::kShortSongId)));
  EXPECT_FALSE(w.SongTicked(RowOf(w, portal::kRedirectSongId)));
  EXPECT_TRUE(w.SongTicked(RowOf(w, portal::kChunkedSongId)));
  EXPECT_EQ(Status(w, portal::kChunkedSongId), QStringLiteral("等待中"));
}

TEST_F(DownloadTest, SizeFilterKeepsLargeFilesAndCountsOnlyThose) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_320k->setChecked(true);
  ui.rb1->setChecked(true);
  ui.chk_isFileterSize->setChecked(true);
  ui.cbb_minsize->setCurrentText(QStringLiteral("2"));
  TickOnly(w, {portal::kShortSongId, portal::kLongSongId});
  RunBatch(w);
  EXPECT_EQ(Status(w, portal::kShortSongId), QStringLiteral("文件太小，已过滤"));
  EXPECT_FALSE(w.SongTicked(RowOf(w, portal::kShortSongId)));
  EXPECT_EQ(Status(w, portal::kLongSongId), QStringLiteral("下载成功"));
  const QString long_title = Q(portal::FindSong(portal::kLongSongId)->title);
  EXPECT_EQ(SavedFiles(), QStringList{long_title + ".mp3"});
  ASSERT_FALSE(Boxes().Shown().empty());
  EXPECT_EQ(Boxes().Shown().back().text, QStringLiteral("所有任务已经完成！本次共下载了1首歌曲"));

  // Choosing a lower rate switches the filter off.
  ui.rb_128k->click();
  EXPECT_FALSE(ui.chk_isFileterSize->isChecked());
}

TEST_F(DownloadTest, FailuresMarkTheirRowsAndLeaveNoFiles) {
  MainWindow& w = OpenForDownloads();
  Ui().rb_320k->setChecked(true);
  Ui().rb2->setChecked(true);
  TickOnly(w, {portal::kMissingFileSongId, portal::kEarlyCloseSongId, portal::kOnly128SongId,
               portal::kSlashTitleSongId});
  answer_ = MessageAnswer::kNo;
  RunBatch(w);

  EXPECT_EQ(Status(w, portal::kMissingFileSongId),
            QStringLiteral("下载失败HTTP/1.1 404 Not Found"));
  EXPECT_TRUE(w.SongTicked(RowOf(w, portal::kMissingFileSongId)));
  EXPECT_TRUE(Status(w, portal::kEarlyCloseSongId).startsWith(QStringLiteral("下载失败")));
  EXPECT_TRUE(w.SongTicked(RowOf(w, portal::kEarlyCloseSongId)));
  EXPECT_EQ(Status(w, portal::kOnly128SongId),
            QStringLiteral("下载失败下载页面中没有320K的下载链接"));
  EXPECT_TRUE(w.SongTicked(RowOf(w, portal::kOnly128SongId)));

  // A "/" in the title stays inside the save folder.
  EXPECT_EQ(Status(w, portal::kSlashTitleSongId), QStringLiteral("下载成功"));
  const portal::Song& slash = *portal::FindSong(portal::kSlashTitleSongId);
  QString name = Q(slash.title) + " - " + Q(slash.singer) + ".mp3";
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  EXPECT_EQ(SavedSongs(), QStringList{name});
  EXPECT_EQ(FileBytes(save_dir_ + "/" + name), PortalBytes(portal::kSlashTitleSongId, 320));
  // The song cut short on every try keeps what came for a later batch; the others leave
  // nothing.
  EXPECT_TRUE(QFileInfo::exists(PartOf(portal::kEarlyCloseSongId)));
  EXPECT_EQ(SavedFiles().size(), 3);

  // One song was saved, so the batch ends with its report, not the no-songs question.
  EXPECT_EQ(Boxes().Shown().back().text, QStringLiteral("所有任务已经完成！本次共下载了1首歌曲"));
  // Songs that were ticked and all failed are reported too: the question is for a batch that
  // had nothing ticked.
  TickOnly(w, {portal::kMissingFileSongId});
  Boxes().ClearShown();
  RunBatch(w);
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("所有任务已经完成！本次共下载了0首歌曲"));
  EXPECT_EQ(Boxes().Shown()[0].buttons, MessageButtons::kOk);
}

TEST_F(DownloadTest, StopCutsTheRunningTransferAndEndsTheBatch) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_320k->setChecked(true);
  // The stalling song sends part of its file and then nothing; the stop must not wait for it.
  const int stall_row = RowOf(w, portal::kStallingSongId);
  const QString next_id = w.SongText(stall_row + 1, MainWindow::kColumnId);
  TickOnly(w, {portal::kStallingSongId});
  w.SetSongTicked(stall_row + 1, true);
  QString cell_while_fetching;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (ui.stspn_info->Caption().contains(QStringLiteral("已下载:")) && ui.btn_stop->isEnabled()) {
      cell_while_fetching = w.Songs()
                                .index(stall_row, MainWindow::kColumnStatus)
                                .data(SongStatusDelegate::kProgressTextRole)
                                .toString();
      ui.btn_stop->click();
    }
  });
  poll.start();
  RunBatch(w);
  poll.stop();

  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("用户中止下载！"));
  // While it came in, its status cell showed its own progress; the final text replaced it.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^下载中 \\d+%  \\d+(\\.\\d)?[KM]B/s$"))
                  .match(cell_while_fetching)
                  .hasMatch())
      << cell_while_fetching.toStdString();
  EXPECT_FALSE(w.Songs()
                   .index(stall_row, MainWindow::kColumnStatus)
                   .data(SongStatusDelegate::kProgressTextRole)
                   .isValid());
  EXPECT_EQ(Status(w, portal::kStallingSongId), QStringLiteral("下载失败用户中止下载"));
  EXPECT_TRUE(w.SongTicked(RowOf(w, portal::kStallingSongId)));
  // The batch ended before the next ticked row.
  EXPECT_EQ(w.SongText(stall_row + 1, MainWindow::kColumnStatus), QStringLiteral("等待中"));
  EXPECT_TRUE(w.SongTicked(stall_row + 1)) << next_id.toStdString();
  // What came of the stopped song waits, as a partial file, for the next batch.
  EXPECT_TRUE(SavedSongs().isEmpty());
  EXPECT_GT(QFileInfo(PartOf(portal::kStallingSongId)).size(), 0);
  EXPECT_TRUE(ui.btn_down->isEnabled());
  EXPECT_FALSE(ui.btn_stop->isEnabled());
  EXPECT_TRUE(Boxes().Shown().empty());
}

TEST_F(DownloadTest, SeveralAtOnceSaveEverySongAndShowTheBatchAsAWhole) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_128k->setChecked(true);
  ui.rb1->setChecked(true);
  Probe().SetParallelDownloads(3);
  const std::string_view ids[] = {portal::kShortSongId, portal::kRedirectSongId,
                                  portal::kChunkedSongId, portal::kLongSongId};
  TickOnly(w, {ids[0], ids[1], ids[2], ids[3]});
  QStringList captions;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] { captions << ui.stspn_info->Caption(); });
  poll.start();
  RunBatch(w);
  poll.stop();
  // Every song came whole, its links read by three hidden pages at once.
  EXPECT_EQ(Probe().LinkSource().PageCount(), 3);
  for (std::string_view id : ids) {
    EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
    const QString path = save_dir_ + "/" + Q(portal::FindSong(id)->title) + ".mp3";
    EXPECT_EQ(FileBytes(path), PortalBytes(id, 128)) << path.toStdString();
  }
  // The pane told the batch as a whole, never one song's counts.
  EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [](const QString& caption) {
    return caption.startsWith(QStringLiteral("已完成:")) &&
           caption.contains(QStringLiteral("/4首"));
  }));
  EXPECT_TRUE(std::none_of(captions.begin(), captions.end(), [](const QString& caption) {
    return caption.contains(QStringLiteral("总大小:"));
  }));
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("所有任务已经完成！本次共下载了4首歌曲"));
  EXPECT_EQ(ui.prgrsts_downloadpg->Percent(), 100);
}

TEST_F(DownloadTest, RetriesAndResumeCarryTheFlakySongsThroughOneBatch) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_128k->setChecked(true);
  ui.rb2->setChecked(true);
  // An earlier batch left part of the song whose server ignores ranges: it has to start again.
  const std::string_view restarted = portal::kIgnoresRangeSongId;
  {
    QFile part(PartOf(restarted));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(QByteArray(50000, 'x'));
  }
  const download::PartFileInfo source{
      Q(restarted), QStringLiteral("128"),
      endpoints_.music_base_url + "/data/music/" + Q(restarted) + "/128.mp3", -1};
  ASSERT_TRUE(source.Write(PartOf(restarted)));
  // And the start of the song whose first range comes short: it is continued twice.
  const std::string_view shortened = portal::kShortRangeSongId;
  {
    QFile part(PartOf(shortened));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(ServedBytes(shortened, 128).left(50000));
  }
  const download::PartFileInfo short_source{
      Q(shortened), QStringLiteral("128"),
      endpoints_.music_base_url + "/data/music/" + Q(shortened) + "/128.mp3",
      ServedBytes(shortened, 128).size()};
  ASSERT_TRUE(short_source.Write(PartOf(shortened)));

  const std::string_view ids[] = {portal::kResetTwiceSongId, portal::kBusyOnceSongId, restarted,
                                  shortened};
  TickOnly(w, {ids[0], ids[1], ids[2], ids[3]});
  QSet<QString> shown;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (std::string_view id : ids) shown << Status(w, id);
  });
  poll.start();
  RunBatch(w);
  poll.stop();

  for (std::string_view id : ids) {
    SCOPED_TRACE(std::string(id));
    EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
    EXPECT_FALSE(w.SongTicked(RowOf(w, id)));
    const portal::Song& song = *portal::FindSong(id);
    EXPECT_EQ(FileBytes(save_dir_ + "/" + Q(song.title) + " - " + Q(song.singer) + ".mp3"),
              PortalBytes(id, 128));
  }
  // The rows said what they waited for.
  EXPECT_TRUE(shown.contains(QStringLiteral("等待重试(1/3)")));
  EXPECT_TRUE(shown.contains(QStringLiteral("等待重试(2/3)")));
  EXPECT_EQ(SavedFiles().size(), 4) << SavedFiles().join(' ').toStdString();
  ASSERT_FALSE(Boxes().Shown().empty());
  EXPECT_EQ(Boxes().Shown().back().text, QStringLiteral("所有任务已经完成！本次共下载了4首歌曲"));
}

TEST_F(DownloadTest, NothingTickedAsksAndYesDownloadsEverything) {
  MainWindow& w = OpenForDownloads();
  Ui().rb_128k->setChecked(true);
  // A short list, so that "everything" stays quick.
  w.ClearSongs();
  const portal::Song& a = *portal::FindSong(portal::kShortSongId);
  const portal::Song& b = *portal::FindSong(portal::kChunkedSongId);
  w.AddSong(Q(a.id), Q(a.title), Q(a.singer));
  w.AddSong(Q(b.id), Q(b.title), Q(b.singer));
  int questions = 0;
  Boxes().OnShow = [&](const MessageRequest& request) {
    if (request.buttons == MessageButtons::kYesNo) ++questions;
    return MessageAnswer::kYes;
  };
  RunBatch(w);
  EXPECT_EQ(questions, 1);
  const auto& shown = Boxes().Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            QStringLiteral("您你没选择任何歌曲，下载神马啊，亲！！\r\n\r\n要快速下载全部音乐吗？"));
  EXPECT_EQ(shown[0].caption, QStringLiteral("提示"));
  EXPECT_EQ(shown[1].text, QStringLiteral("所有任务已经完成！本次共下载了2首歌曲"));
  EXPECT_EQ(SavedFiles().size(), 2);
  EXPECT_TRUE(Ui().btn_down->isEnabled());
}

TEST_F(DownloadTest, ClearingTheListDuringABatchIsSafe) {
  MainWindow& w = OpenForDownloads();
  // The links come from the browser here, slow enough for the clear to come while one loads.
  Probe().DirectLinks().SetDirect(false);
  TickOnly(w, {portal::kShortSongId, portal::kChunkedSongId, portal::kRedirectSongId});
  answer_ = MessageAnswer::kYes;  // confirms the clear; the no-songs question is answered below
  bool cleared = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    // Cleared while the first song's page loads in the hidden browser.
    if (!cleared && w.SongCount() > 0 &&
        w.SongText(0, MainWindow::kColumnStatus) == QStringLiteral("下载中")) {
      cleared = true;
      w.btn_clearClick();
      answer_ = MessageAnswer::kNo;
    }
  });
  poll.start();
  RunBatch(w);
  poll.stop();
  EXPECT_TRUE(cleared);
  EXPECT_EQ(w.SongCount(), 0);
  // Nothing of the cleared list was fetched; a song had been ticked, so the batch reports.
  EXPECT_TRUE(SavedFiles().isEmpty());
  ASSERT_FALSE(Boxes().Shown().empty());
  EXPECT_EQ(Boxes().Shown().back().text, QStringLiteral("所有任务已经完成！本次共下载了0首歌曲"));
  EXPECT_TRUE(Ui().btn_down->isEnabled());
}

TEST_F(DownloadTest, APreviewDuringABatchAndTheBatchKeepTheirOwnSongsAndStops) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_320k->setChecked(true);
  ui.rb1->setChecked(true);
  struct Case {
    const char* name;
    std::string_view batch_first;  // the batch's first song in list order
    std::string_view preview_id;
    // The batch's stop button is pressed once the preview's file is in.
    bool stop_after_preview;
  };
  const Case cases[] = {
      {"a preview during a batch", portal::kShortSongId, portal::kRedirectSongId, false},
      // The stalling song's file never ends: the preview outlasts the batch's whole page wait.
      {"a preview that outlasts the batch", portal::kShortSongId, portal::kStallingSongId, false},
      // The batch's song stalls, so the batch still runs when the preview is done.
      {"the batch stopped after the preview", portal::kStallingSongId, portal::kCommaTitleSongId,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(save_dir_).removeRecursively();
    QDir().mkpath(save_dir_);
    QFile::remove(w.TempPath());
    const int first = RowOf(w, c.batch_first);
    // The batch's second song: the chunked one, or, when the batch is stopped, the row below
    // the first, which the stop must leave untouched.
    const std::string second = c.stop_after_preview
                                   ? w.SongText(first + 1, MainWindow::kColumnId).toStdString()
                                   : std::string(portal::kChunkedSongId);
    TickOnly(w, {c.batch_first, second});
    Boxes().ClearShown();
    bool previewed = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      // While the batch waits for its first song's page, the user previews another song.
      if (!previewed && w.SongText(first, MainWindow::kColumnStatus) == QStringLiteral("下载中")) {
        previewed = true;
        ui.lv_songs->clearSelection();
        ui.lv_songs->selectRow(RowOf(w, c.preview_id));
        w.btn_listenClick();
      }
      if (c.stop_after_preview && previewed && ui.btn_stop->isEnabled() &&
          Probe().PreviewJob()->Ended()) {
        ui.btn_stop->click();
      }
    });
    poll.start();
    RunBatch(w);
    poll.stop();
    ASSERT_TRUE(previewed);
    if (c.stop_after_preview) {
      EXPECT_EQ(Status(w, c.batch_first), QStringLiteral("下载失败用户中止下载"));
      EXPECT_TRUE(w.SongTicked(RowOf(w, c.batch_first)));
      EXPECT_TRUE(w.SongTicked(first + 1));
      EXPECT_EQ(w.SongText(first + 1, MainWindow::kColumnStatus), QStringLiteral("等待中"));
      EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("用户中止下载！"));
      EXPECT_TRUE(SavedSongs().isEmpty());
      EXPECT_TRUE(Boxes().Shown().empty());
    } else {
      // The batch never waits for the preview: both songs are saved whole.
      for (std::string_view id : {c.batch_first, std::string_view(second)}) {
        EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
        const QString path = save_dir_ + "/" + Q(portal::FindSong(id)->title) + ".mp3";
        EXPECT_EQ(FileBytes(path), PortalBytes(id, 320)) << path.toStdString();
      }
      ASSERT_FALSE(Boxes().Shown().empty());
      EXPECT_EQ(Boxes().Shown().back().text,
                QStringLiteral("所有任务已经完成！本次共下载了2首歌曲"));
    }
    if (c.preview_id == portal::kStallingSongId) {
      // The stalled preview is still coming in; stopping it ends it without a trace.
      EXPECT_FALSE(Probe().PreviewJob()->Ended());
    } else {
      // The batch's stop is not the preview's: the preview has its whole song either way.
      ASSERT_TRUE(WaitUntil([&] { return Probe().PreviewJob()->Ended(); }));
      EXPECT_EQ(FileBytes(w.TempPath()), PortalBytes(c.preview_id, 128));
    }
    w.btn_listenstopClick();
    ASSERT_TRUE(WaitUntil([&] { return Probe().PreviewJob()->Ended(); }));
    EXPECT_FALSE(QFileInfo::exists(w.TempPath() + ".part"));
  }
}

TEST_F(DownloadTest, StoppingAPreviewBeingPreparedPlaysNothing) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  // The song's page is read by the browser here, slow enough for the stop to come while it loads.
  Probe().DirectLinks().SetDirect(false);
  QMediaPlayer& player = Probe().PreviewPlayer();
  struct Case {
    const char* name;
    std::string_view id;
    QString stop_when;  // the status text at which stop is pressed
  };
  const Case cases[] = {
      {"while its page loads", portal::kShortSongId, QStringLiteral("正在准备音乐文件")},
      {"while its file comes in", portal::kStallingSongId, QStringLiteral("正在缓冲")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(w.TempPath());
    ui.lv_songs->clearSelection();
    ui.lv_songs->selectRow(RowOf(w, c.id));
    bool stopped = false;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!stopped && ui.stspn_info->Caption().contains(c.stop_when)) {
        stopped = true;
        ui.btn_listenstop->click();
      }
    });
    poll.start();
    w.btn_listenClick();
    ASSERT_TRUE(WaitUntil([&] { return stopped; }));
    poll.stop();
    ASSERT_TRUE(WaitUntil([&] { return Probe().PreviewJob()->Ended(); }));
    // Whatever would have come next has had its chance to show.
    testing::Settle(300);
    EXPECT_NE(player.playbackState(), QMediaPlayer::PlayingState);
    EXPECT_TRUE(player.source().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(w.TempPath()));
    EXPECT_FALSE(QFileInfo::exists(w.TempPath() + ".part"));
    EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("停止试听"));
    EXPECT_TRUE(ui.btn_listen->isEnabled());
    EXPECT_FALSE(ui.btn_listenstop->isEnabled());
  }
}

TEST_F(DownloadTest, PreviewPlaysTheSelectedSongInALoopUntilStopped) {
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  // Nothing selected: only the message box.
  ui.lv_songs->clearSelection();
  w.btn_listenClick();
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("请选选择要试听的歌曲名称"));
  EXPECT_TRUE(ui.btn_listen->isEnabled());
  EXPECT_FALSE(ui.btn_listenstop->isEnabled());

  ui.rb_320k->setChecked(true);  // the preview takes 128 whatever the downloads use
  ui.lv_songs->selectRow(RowOf(w, portal::kShortSongId));
  RunPreview(w);
  EXPECT_EQ(FileBytes(w.TempPath()), PortalBytes(portal::kShortSongId, 128));
  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("开始试听......"));
  EXPECT_FALSE(ui.btn_listen->isEnabled());
  EXPECT_TRUE(ui.btn_listenstop->isEnabled());
  const QStringList log = ui.mmo_log->toPlainText().split(QLatin1Char('\n'));
  ASSERT_GE(log.size(), 2);
  EXPECT_TRUE(log[log.size() - 2].startsWith(endpoints_.music_base_url + "/"));
  EXPECT_EQ(log.last(), w.TempPath());

  // The end of the song starts it again from the beginning; watch it end twice.
  QMediaPlayer& player = Probe().PreviewPlayer();
  int ends = 0;
  QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, [&](QMediaPlayer::MediaStatus s) {
    if (s == QMediaPlayer::EndOfMedia) ++ends;
  });
  for (int end = 1; end <= 2; ++end) {
    SCOPED_TRACE(::testing::Message() << "end " << end);
    ASSERT_TRUE(WaitUntil([&] {
      return player.playbackState() == QMediaPlayer::PlayingState && player.duration() > 0;
    }));
    player.setPosition(player.duration() - 300);
    ASSERT_TRUE(WaitUntil([&] { return ends >= end; }, 15000));
    ASSERT_TRUE(WaitUntil([&] { return player.playbackState() == QMediaPlayer::PlayingState; }));
    EXPECT_LT(player.position(), player.duration() / 2);
  }

  w.btn_listenstopClick();
  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("停止试听"));
  EXPECT_TRUE(ui.btn_listen->isEnabled());
  EXPECT_FALSE(ui.btn_listenstop->isEnabled());
  EXPECT_NE(player.playbackState(), QMediaPlayer::PlayingState);

  // A song whose file cannot be fetched says so and plays nothing, not even the previous song's
  // file, which stays as it was.
  ui.lv_songs->clearSelection();
  ui.lv_songs->selectRow(RowOf(w, portal::kMissingFileSongId));
  RunPreview(w);
  EXPECT_EQ(FileBytes(w.TempPath()), PortalBytes(portal::kShortSongId, 128));
  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("无法试听《") +
                                          Q(portal::FindSong(portal::kMissingFileSongId)->title) +
                                          QStringLiteral("》：HTTP/1.1 404 Not Found"));
  EXPECT_TRUE(player.source().isEmpty());
  EXPECT_TRUE(ui.btn_listen->isEnabled());
  EXPECT_FALSE(ui.btn_listenstop->isEnabled());
}

// The same over HTTPS: the portal serves its own CA's certificates, and config.ini names that CA
// in CaFile, which both browsers and every transfer trust.
class TlsDownloadTest : public DownloadTest {
 protected:
  static void SetUpTestSuite() { StartPortal({"--tls"}); }
};

TEST_F(TlsDownloadTest, ABatchOfThreeSongsAndAPreviewComeOverHttps) {
  ASSERT_TRUE(endpoints_.music_base_url.startsWith(QStringLiteral("https://")));
  ASSERT_FALSE(endpoints_.ca_file.isEmpty());
  // The sign-in form and the charts come over https in the browser.
  MainWindow& w = OpenForDownloads();
  MainWindowUi& ui = Ui();
  ui.rb_320k->setChecked(true);
  ui.rb1->setChecked(true);
  // Through a redirect, chunked and counted.
  const std::string_view ids[] = {portal::kRedirectSongId, portal::kChunkedSongId,
                                  portal::kShortSongId};
  TickOnly(w, {ids[0], ids[1], ids[2]});
  RunBatch(w);
  for (std::string_view id : ids) {
    SCOPED_TRACE(std::string(id));
    EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
    const QString path = save_dir_ + "/" + Q(portal::FindSong(id)->title) + ".mp3";
    EXPECT_EQ(FileBytes(path), PortalBytes(id, 320)) << path.toStdString();
  }
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("所有任务已经完成！本次共下载了3首歌曲"));

  ui.lv_songs->clearSelection();
  ui.lv_songs->selectRow(RowOf(w, portal::kShortSongId));
  RunPreview(w);
  EXPECT_EQ(FileBytes(w.TempPath()), PortalBytes(portal::kShortSongId, 128));
  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("开始试听......"));
  const QStringList log = ui.mmo_log->toPlainText().split(QLatin1Char('\n'));
  ASSERT_GE(log.size(), 2);
  EXPECT_TRUE(log[log.size() - 2].startsWith(endpoints_.music_base_url + "/"));
  w.btn_listenstopClick();

  // The update check's client trusts the same CA: the maker's site answers with the same stamp.
  Boxes().ClearShown();
  w.btn_CheckUpdateClick();
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("已经是最新版本！谢谢您对本软件的支持！"));
}

TEST_F(DownloadTest, LinksGoWithTheBrowsersSignInAndNotOnceTheBrowserSignsOut) {
  OpenForDownloads();
  DirectLinkSource& links = Probe().DirectLinks();
  Probe().LinkSource().SetPageWait(50);
  std::optional<download::LinkAnswer> answer;
  auto ask = [&] {
    answer.reset();
    links.Request(Q(portal::kShortSongId), QStringLiteral("128"),
                  [&answer](const download::LinkAnswer& a) { answer = a; });
    return WaitUntil([&] { return answer.has_value(); });
  };
  ASSERT_TRUE(ask());
  EXPECT_TRUE(answer->found) << answer->reason.toStdString();
  EXPECT_TRUE(answer->url.startsWith(endpoints_.music_base_url + "/data/music/"));
  EXPECT_EQ(links.BrowserRequests(), 0);

  Ui().web1->Page()->profile()->cookieStore()->deleteAllCookies();
  ASSERT_TRUE(WaitUntil([&] { return Probe().PageCookies().Cookies().Count() == 0; }));
  ASSERT_TRUE(ask());
  EXPECT_FALSE(answer->found);
  EXPECT_FALSE(answer->unreachable);
  // The sign-in page went to the browser, which found no link either.
  EXPECT_EQ(links.BrowserRequests(), 1);
}

TEST_F(PortalWindowTest, APreviewWhosePageOffersNoLinkSaysWhy) {
  // Signed out, the song's page offers no link at any rate.
  MainWindow& w = Open();
  w.AddSong(Q(portal::kShortSongId), QStringLiteral("歌"), QStringLiteral("S"));
  Ui().lv_songs->selectRow(0);
  w.btn_listenClick();
  ASSERT_TRUE(WaitUntil([&] { return Ui().btn_listen->isEnabled(); }));
  EXPECT_EQ(Ui().stspn_info->Caption(),
            QStringLiteral("无法试听《歌》：下载页面中没有128K的下载链接"));
  EXPECT_FALSE(Ui().btn_listenstop->isEnabled());
  EXPECT_TRUE(Probe().PreviewPlayer().source().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(w.TempPath()));
}

// --- A batch that survives a kill -------------------------------------------------------------

// The first run of SessionKillTest: this program started again as a child, which signs in, starts
// the batch its config.ini sets up and waits for the kill.
TEST(SessionKillChild, RunsTheBatchUntilKilled) {
  const QString folder = qEnvironmentVariable("MEVRA_KILL_CHILD_FOLDER");
  if (folder.isEmpty()) GTEST_SKIP() << "run by SessionKillTest in a child process";
  const Endpoints endpoints = Endpoints::Load(folder + "/config.ini");
  MainWindow w(MainWindowFiles{folder + "/config.ini", folder + "/temp.mp3"});
  testing::MainWindowProbe(w).Boxes().OnShow = [](const MessageRequest&) {
    return MessageAnswer::kOk;
  };
  w.show();
  browser::BrowserControl& web1 = *testing::MainWindowProbe(w).Ui().web1;
  ASSERT_TRUE(testing::WaitForSignInForm(web1, endpoints.login_base_url));
  testing::SubmitSignInForm(web1);
  ASSERT_TRUE(WaitUntil([&] { return !web1.IsLoading() && w.SongCount() > 0; }));
  const int row = w.Songs().RowOfId(qEnvironmentVariable("MEVRA_KILL_CHILD_SONG"));
  ASSERT_GE(row, 0);
  w.SetSongTicked(row, true);
  w.btn_downClick();
  WaitUntil([] { return false; }, 120000);
}

class SessionKillTest : public DownloadTest {
 protected:
  // Slow enough that the kill comes while the song comes in.
  static void SetUpTestSuite() { StartPortal({"--rate-limit", "300000"}); }
};

TEST_F(SessionKillTest, ABatchKilledMidSongContinuesWithARangeInTheNextStart) {
  const std::string_view id = portal::kLongSongId;
  const QByteArray whole = PortalBytes(id, 128);
  save_dir_ = dir_->filePath(QStringLiteral("songs"));
  QDir().mkpath(save_dir_);
  {
    QFile config(dir_->filePath(QStringLiteral("config.ini")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(testing::EndpointsSection(endpoints_) +
                 "[Config]\nSavePath=" + save_dir_.toUtf8() + "\nSongBit=128\nRenameType=2\n");
  }
  // The first run, killed once a quarter of the song is in.
  const std::string self = QCoreApplication::applicationFilePath().toStdString();
  const std::string filter = "--gtest_filter=SessionKillChild.*";
  std::vector<std::string> environment = {
      "MEVRA_KILL_CHILD_FOLDER=" + dir_->path().toStdString(),
      "MEVRA_KILL_CHILD_SONG=" + std::string(id),
      "MEVRA_TEST_PROFILE=" + dir_->filePath(QStringLiteral("profile")).toStdString()};
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>(filter.c_str()), nullptr};
  // The child's output goes to a file of its own, read when the test fails.
  const std::string child_log = dir_->filePath(QStringLiteral("child.log")).toStdString();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, child_log.c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t child = -1;
  const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  const QString part = PartOf(id);
  const bool under_way =
      WaitUntil([&] { return QFileInfo(part).size() >= whole.size() / 4; }, 90000);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(under_way) << "the first run never got a quarter of the song:\n"
                         << FileBytes(QString::fromStdString(child_log)).toStdString();
  ASSERT_TRUE(WIFSIGNALED(status));
  const qint64 kept = QFileInfo(part).size();
  ASSERT_LT(kept, whole.size());

  // This process's browsers sign in through a window of their own, as a user would have stayed
  // signed in.
  {
    QTemporaryDir other;
    QFile config(other.filePath(QStringLiteral("config.ini")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(testing::EndpointsSection(endpoints_));
    config.close();
    MainWindow signer(MainWindowFiles{config.fileName(), other.filePath("temp.mp3")});
    testing::MainWindowProbe(signer).Boxes().OnShow = [](const MessageRequest&) {
      return MessageAnswer::kOk;
    };
    signer.show();
    SubmitSignIn(signer);
    ASSERT_TRUE(WaitUntil([&] { return signer.SongCount() > 0; }));
  }

  // The next start: the same list, the song unfinished and ticked, and the question.
  QString status_asked;
  bool ticked_asked = false;
  answer_ = MessageAnswer::kYes;
  MainWindow& w = Open();
  Boxes().OnShow = [&](const MessageRequest& request) {
    if (request.buttons == MessageButtons::kYesNo) {
      status_asked = Status(w, id);
      ticked_asked = w.SongTicked(RowOf(w, id));
    }
    return answer_;
  };
  ASSERT_TRUE(WaitUntil([&] { return !Boxes().Shown().empty(); }));
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("上次的下载没有完成（1首），现在继续吗？"));
  EXPECT_EQ(status_asked, QStringLiteral("未完成"));
  EXPECT_TRUE(ticked_asked);
  ASSERT_TRUE(
      WaitUntil([&] { return !Probe().Queue().IsRunning() && Ui().btn_down->isEnabled(); }, 60000));
  EXPECT_EQ(Status(w, id), QStringLiteral("下载成功"));
  EXPECT_EQ(FileBytes(save_dir_ + "/" + Q(portal::FindSong(id)->title) + " - " +
                      Q(portal::FindSong(id)->singer) + ".mp3"),
            whole);
  EXPECT_FALSE(QFileInfo::exists(part));
  // The rest came as a range: the portal answered the file link with 206.
  const std::string log = Portal().Log();
  const std::string file = "/data/music/" + std::string(id) + "/128.mp3";
  bool partial = false;
  for (size_t at = log.find(file); at != std::string::npos; at = log.find(file, at + 1)) {
    const size_t end = log.find('\n', at);
    partial = partial || log.substr(at, end - at).ends_with(" 206");
  }
  EXPECT_TRUE(partial) << log;
}

}  // namespace
}  // namespace mevra::app
