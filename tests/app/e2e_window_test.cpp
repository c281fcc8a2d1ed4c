// The window against the portal: the sign-in gate, chart navigation with harvesting, frames,
// and the update check with the stamps a maker's site might publish.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <set>

#include "app/song_harvest.h"
#include "browser/browser_control.h"
#include "http/http_client.h"
#include "tests/app/e2e_support.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_pki.h"
#include "widgets/progress_status.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

using testing::PortalEndpoints;
using testing::PortalWindowTest;
using testing::Settle;
using testing::WaitUntil;

// Every song item of the page web1 shows is in the song list.
void ExpectPageHarvested(MainWindow& w) {
  std::set<QString> listed;
  for (int row = 0; row < w.SongCount(); ++row) {
    listed.insert(w.SongText(row, MainWindow::kColumnId));
  }
  const std::vector<SongItem> items =
      HarvestSongItems(testing::MainWindowProbe(w).Ui().web1->PageText().toStdString());
  ASSERT_FALSE(items.empty());
  for (const SongItem& item : items) {
    EXPECT_TRUE(listed.count(QString::fromStdString(item.id))) << item.id;
  }
}

TEST_F(PortalWindowTest, SignedOutStartLandsOnTheLoginPageWithTheTip) {
  MainWindow& w = Open();
  MainWindowUi& ui = Ui();
  const QString login = endpoints_.LoginUrl();
  ASSERT_TRUE(WaitUntil([&] { return ui.web1->LocationURL() == login && !ui.web1->IsLoading(); }))
      << ui.web1->LocationURL().toStdString();
  Settle(200);
  EXPECT_TRUE(ui.pnl_logintip->isVisible());
  EXPECT_TRUE(ui.pnl_web->isVisible());
  EXPECT_EQ(w.SongCount(), 0);
}

TEST_F(PortalWindowTest, SigningInShowsAndHarvestsTheNewSongsChart) {
  MainWindow& w = OpenSignedIn();
  MainWindowUi& ui = Ui();
  ASSERT_GT(w.SongCount(), 0);
  EXPECT_FALSE(ui.pnl_logintip->isVisible());
  ExpectPageHarvested(w);
  EXPECT_EQ(ui.stspn_info->Caption(), QStringLiteral("抓取音乐信息完成！已抓取") +
                                          QString::number(w.SongCount()) +
                                          QStringLiteral("首音乐信息"));

  // Signed in, the home page moves straight on to the new-songs chart.
  const quint64 loads = ui.web1->LoadsFinished();
  ui.web1->Navigate(endpoints_.portal_home_url);
  ASSERT_TRUE(WaitUntil([&] {
    return ui.web1->LoadsFinished() >= loads + 2 && !ui.web1->IsLoading() &&
           ui.web1->LocationURL().startsWith(endpoints_.NewSongsChartUrl());
  })) << ui.web1->LocationURL().toStdString();
  EXPECT_FALSE(ui.pnl_logintip->isVisible());

  // A chart picked in the list is opened and harvested.
  const int before = w.SongCount();
  ui.lst_song->setCurrentRow(0);
  w.lst_songClick();
  const QString chart = endpoints_.music_base_url + QStringLiteral("/top/dayhot");
  ASSERT_TRUE(WaitUntil([&] {
    return ui.web1->LocationURL() == chart && !ui.web1->IsLoading() && w.SongCount() > before;
  })) << ui.web1->LocationURL().toStdString();
  Settle(200);
  ExpectPageHarvested(w);
}

TEST_F(PortalWindowTest, APageWithTwoFramesRunsGateAndHarvestThreeTimes) {
  MainWindow& w = Open(QStringLiteral("about:blank"));
  MainWindowUi& ui = Ui();
  Settle(300);
  std::vector<QString> captions;
  auto handler = ui.web1->OnDocumentComplete;
  ui.web1->OnDocumentComplete = [&](browser::BrowserControl& sender, const QString& url) {
    ui.stspn_info->SetCaption(QString());
    handler(sender, url);
    captions.push_back(ui.stspn_info->Caption());
  };
  ui.lst_song->setCurrentRow(16);  // 叱咤歌曲榜
  w.lst_songClick();
  ASSERT_TRUE(WaitUntil([&] { return captions.size() >= 3 && !ui.web1->IsLoading(); }));
  Settle(500);
  ASSERT_EQ(captions.size(), 3u);
  for (const QString& caption : captions) {
    EXPECT_TRUE(caption.startsWith(QStringLiteral("抓取音乐信息完成！"))) << caption.toStdString();
  }
  ExpectPageHarvested(w);
}

// A CA named in CaFile vouches by subject alternative names alone: a certificate that names its
// host in the common name only is refused by the browser and by the update check alike, and
// neither sends a request.
TEST_F(PortalWindowTest, ACertificateNamingItsHostInItsCommonNameOnlyIsRefused) {
  const mevra::test::TestPki& pki = mevra::test::TestPki::Shared();
  mevra::test::ScriptedServer server(
      mevra::test::ServerTls{pki.CommonNameOnly().certificate, pki.CommonNameOnly().key}, {});
  server.Serve("/", "text/html", "<html><body>secure content</body></html>");
  server.Serve("/mevramp3.txt", "text/plain", "201301011200");
  const QString base = QStringLiteral("https://localhost:%1").arg(server.Port());
  endpoints_.portal_home_url = base + QStringLiteral("/");
  endpoints_.update_stamp_url = base + QStringLiteral("/mevramp3.txt");
  endpoints_.ca_file = QString::fromStdString(pki.CaFile());
  MainWindow& w = Open();
  browser::BrowserControl& web1 = *Ui().web1;
  ASSERT_TRUE(WaitUntil([&] { return web1.LoadsFinished() > 0 && !web1.IsLoading(); }));
  EXPECT_FALSE(web1.PageText().contains(QStringLiteral("secure content")));
  Boxes().ClearShown();
  w.btn_CheckUpdateClick();
  EXPECT_TRUE(Boxes().Shown().empty());
  EXPECT_TRUE(server.Requests().empty());
}

// --- Update check -------------------------------------------------------------------------------

class UpdateCheckTest : public PortalWindowTest {
 protected:
  // Runs the check against a site that publishes `stamp`; returns the boxes shown.
  std::vector<MessageRequest> Check(MainWindow& w, const std::string& stamp) {
    portal::testing::PortalProcess site({"--stamp", stamp});
    w.SetEndpoints(PortalEndpoints(site));
    Boxes().ClearShown();
    w.btn_CheckUpdateClick();
    return Boxes().Shown();
  }
};

TEST_F(UpdateCheckTest, EqualAndDifferentStamps) {
  MainWindow& w = Open(QStringLiteral("about:blank"));
  struct Case {
    std::string stamp;
    bool newer;
    QString shown_stamp;
  };
  const std::vector<Case> cases = {
      {"201212251550", false, {}},
      {"  201212251550 \r\n", false, {}},
      {"201301011200", true, QStringLiteral("201301011200")},
      {" 201101011200\r\n", true, QStringLiteral("201101011200")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    const std::vector<MessageRequest> shown = Check(w, c.stamp);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("提示"));
    if (c.newer) {
      EXPECT_EQ(shown[0].text, QStringLiteral("发现新版本") + c.shown_stamp +
                                   QStringLiteral("\r\n\r\n是否立即查看？"));
      EXPECT_EQ(shown[0].buttons, MessageButtons::kYesNo);
      EXPECT_EQ(shown[0].icon, MessageIcon::kQuestion);
    } else {
      EXPECT_EQ(shown[0].text, QStringLiteral("已经是最新版本！谢谢您对本软件的支持！"));
      EXPECT_EQ(shown[0].buttons, MessageButtons::kOk);
      EXPECT_EQ(shown[0].icon, MessageIcon::kInformation);
    }
  }
  EXPECT_TRUE(Probe().Opener().Opened().isEmpty());  // every answer so far was OK, not Yes
}

TEST_F(UpdateCheckTest, YesOpensTheReleasePageAndNoDoesNot) {
  MainWindow& w = Open(QStringLiteral("about:blank"));
  answer_ = MessageAnswer::kNo;
  Check(w, "201301011200");
  EXPECT_TRUE(Probe().Opener().Opened().isEmpty());
  answer_ = MessageAnswer::kYes;
  portal::testing::PortalProcess site({"--stamp", "201301011200"});
  w.SetEndpoints(PortalEndpoints(site));
  w.btn_CheckUpdateClick();
  EXPECT_EQ(Probe().Opener().Opened(),
            QStringList{QString::fromStdString(site.SiteBaseUrl()) + "/archives/41672/"});
}

TEST_F(UpdateCheckTest, AnythingButATwelveCharacterStampIsSilent) {
  MainWindow& w = Open(QStringLiteral("about:blank"));
  for (const std::string stamp : {"20121225155", "2012122515500", ""}) {
    SCOPED_TRACE(stamp);
    EXPECT_TRUE(Check(w, stamp).empty());
  }
  // An HTML page, an error status, and no server at all.
  portal::testing::PortalProcess site;
  Endpoints endpoints = PortalEndpoints(site);
  const QString site_base = QString::fromStdString(site.SiteBaseUrl());
  for (const QString& url : {site_base + "/archives/41672/", site_base + "/no-such-stamp.txt",
                             QStringLiteral("http://127.0.0.1:1/mevramp3.txt")}) {
    SCOPED_TRACE(url.toStdString());
    endpoints.update_stamp_url = url;
    w.SetEndpoints(endpoints);
    Boxes().ClearShown();
    EXPECT_NO_THROW(w.btn_CheckUpdateClick());
    EXPECT_TRUE(Boxes().Shown().empty());
  }
}

TEST_F(UpdateCheckTest, ClicksDuringTheCheckNeitherStartASecondOneNorStopIt) {
  MainWindow& w = Open(QStringLiteral("about:blank"));
  portal::testing::PortalProcess site({"--stamp", "201301011200"});
  w.SetEndpoints(PortalEndpoints(site));
  // What the batch's display showed last stays as it was: the check is no batch transfer.
  Ui().stspn_info->SetCaption(QStringLiteral("所有任务已经完成！本次共下载了2首歌曲"));
  Ui().prgrsts_downloadpg->SetPercent(37);
  int nested_clicks = 0;
  Probe().UpdateClient().OnWorkBegin = [&](net::NetComponent&, net::WorkMode, int32_t) {
    ++nested_clicks;
    w.btn_CheckUpdateClick();  // as if the user clicked while the transfer waits
    w.btn_stopClick();         // the stop button belongs to the batch alone
  };
  w.btn_CheckUpdateClick();
  EXPECT_GE(nested_clicks, 1);
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_TRUE(Boxes().Shown()[0].text.startsWith(QStringLiteral("发现新版本201301011200")));
  EXPECT_EQ(Ui().stspn_info->Caption(), QStringLiteral("所有任务已经完成！本次共下载了2首歌曲"));
  EXPECT_EQ(Ui().prgrsts_downloadpg->Percent(), 37);
}

}  // namespace
}  // namespace mevra::app
