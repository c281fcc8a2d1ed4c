// One proxy setting for everything: the browser's pages, every transfer and the update check go
// through real proxies started on loopback, and a proxy that will not carry them fails the rows
// without leaving files.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QUrl>
#include <memory>
#include <string_view>

#include "app/program_proxy.h"
#include "browser/browser_proxy.h"
#include "download/download_queue.h"
#include "download/song_download_job.h"
#include "portal/catalog.h"
#include "portal/song_file_cache.h"
#include "tests/app/e2e_support.h"
#include "tests/support/mp3_audio.h"
#include "tests/support/proxy_process.h"

namespace mevra::app::testing {
namespace {

using test::ProxyProcess;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

class ProxyDownloadTest : public PortalWindowTest {
 protected:
  // The HTTP proxy lives as long as the suite: the browser keeps the proxy it started with.
  static void SetUpTestSuite() {
    PortalWindowTest::SetUpTestSuite();
    tinyproxy_ = std::make_unique<ProxyProcess>(ProxyProcess::Kind::kTinyproxy, "alice", "s3cret");
    // As the program does before its window: the engine has not started yet.
    browser::BrowserProxy::Use(
        ProxyChoice::Read(QString::fromStdString(tinyproxy_->Url())).ForBrowser());
  }
  static void TearDownTestSuite() {
    tinyproxy_.reset();
    PortalWindowTest::TearDownTestSuite();
  }
  static std::unique_ptr<ProxyProcess> tinyproxy_;
  MainWindow& OpenThrough(const std::string& proxy_url) {
    extra_config_ = "[Config]\nProxy=" + QByteArray::fromStdString(proxy_url) + "\n";
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
  static QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static QByteArray PortalBytes(std::string_view id, int rate) {
    const std::string bytes =
        portal::EncodedSongBytes(*portal::FindSong(id), rate, Portal().data_dir());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  void RunBatch(MainWindow& w, std::string_view id) {
    w.btn_NotSelectClick();
    w.SetSongTicked(RowOf(w, id), true);
    w.btn_downClick();
    ASSERT_TRUE(WaitUntil(
        [&] { return !Probe().Queue().IsRunning() && Ui().btn_down->isEnabled(); }, 120000));
  }
  void RunPreview(MainWindow& w, std::string_view id) {
    Ui().lv_songs->clearSelection();
    Ui().lv_songs->selectRow(RowOf(w, id));
    w.btn_listenClick();
    ASSERT_NE(Probe().PreviewJob(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Probe().PreviewJob()->Ended(); }));
  }
  QString save_dir_;
};

std::unique_ptr<ProxyProcess> ProxyDownloadTest::tinyproxy_;

TEST_F(ProxyDownloadTest, PagesBatchPreviewAndUpdateCheckGoThroughEachProxy) {
  ProxyProcess& tinyproxy = *tinyproxy_;
  ProxyProcess microsocks(ProxyProcess::Kind::kMicrosocks, "bob", "pw");
  const std::string_view id = portal::kShortSongId;
  MainWindow& w = OpenThrough(tinyproxy.Url());
  Ui().rb_128k->setChecked(true);
  Ui().rb1->setChecked(true);
  // The window's setting first, then another one as the preferences would set it.
  for (const std::string& proxy : {tinyproxy.Url(), microsocks.Url("socks5h")}) {
    SCOPED_TRACE(proxy);
    ProgramProxy::Set(ProxyChoice::Read(QString::fromStdString(proxy)));
    RunBatch(w, id);
    const QString path = save_dir_ + "/" + Q(portal::FindSong(id)->title) + ".mp3";
    // The audio as the portal sent it; the tag has gained the song's id.
    EXPECT_EQ(mevra::testing::AudioOf(FileBytes(path)),
              mevra::testing::AudioOf(PortalBytes(id, 128)));
    QFile::remove(path);
    RunPreview(w, id);
    EXPECT_EQ(FileBytes(w.TempPath()), PortalBytes(id, 128));
    w.btn_listenstopClick();
  }
  Boxes().ClearShown();
  w.btn_CheckUpdateClick();
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, QStringLiteral("已经是最新版本！谢谢您对本软件的支持！"));
  // The HTTP proxy saw the portal's files and the update stamp. The engine sends pages of
  // loopback hosts straight whatever it is told, so the browser's part shows only with a portal
  // elsewhere.
  const std::string log = tinyproxy.Log();
  const QUrl music(endpoints_.music_base_url);
  const QUrl stamp(endpoints_.update_stamp_url);
  EXPECT_NE(log.find("GET http://127.0.0.1:" + std::to_string(stamp.port()) + "/"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("GET http://127.0.0.1:" + std::to_string(music.port())), std::string::npos)
      << log;
  EXPECT_NE(microsocks.Log().find(":" + std::to_string(music.port())), std::string::npos)
      << microsocks.Log();
}

TEST_F(ProxyDownloadTest, AProxyThatWillNotCarryTheTransfersFailsTheRowsAndSavesNothing) {
  ProxyProcess microsocks(ProxyProcess::Kind::kMicrosocks, "bob", "pw");
  const std::string_view id = portal::kShortSongId;
  // The pages come through the suite's proxy; the transfers meet these.
  ProxyProcess stopped(ProxyProcess::Kind::kMicrosocks);
  stopped.Stop();
  MainWindow& w = OpenThrough(tinyproxy_->Url());
  for (const std::string& proxy : {microsocks.UrlWith("socks5", "bob", "wrong"), stopped.Url()}) {
    SCOPED_TRACE(proxy);
    ProgramProxy::Set(ProxyChoice::Read(QString::fromStdString(proxy)));
    RunBatch(w, id);
    const QString status = w.SongText(RowOf(w, id), MainWindow::kColumnStatus);
    EXPECT_TRUE(status.contains(QStringLiteral("代理服务器出错"))) << status.toStdString();
    EXPECT_EQ(QDir(save_dir_).entryList(QDir::Files | QDir::Hidden), QStringList());
  }
}

}  // namespace
}  // namespace mevra::app::testing
