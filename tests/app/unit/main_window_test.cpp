// The main window offscreen: its controls at start-up, the settings file, the list commands,
// the harvest into the song list, PumpDelay and FileSizeOf.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <csignal>
#include <functional>
#include <stdexcept>
#include <vector>

#include "app/chart_list.h"
#include "app/program_paths.h"
#include "app/termination_watch.h"
#include "browser/browser_control.h"
#include "tests/app/unit/window_fixture.h"
#include "widgets/progress_status.h"
#include "widgets/select_folder_dialog.h"
#include "widgets/select_folder_form.h"
#include "widgets/status_bar.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

using testing::WaitUntil;
using testing::WindowTest;

TEST_F(WindowTest, StartsWithEveryControlInItsInitialState) {
  WriteFile("config.ini", EndpointsSection());
  MainWindow& w = Open();
  w.show();

  EXPECT_EQ(w.windowTitle(), "《Mevra音乐管家》       Ver:2.0");
  EXPECT_EQ(w.BuildStamp_, "201212251550");
  EXPECT_EQ(w.size(), QSize(1088, 763));
  EXPECT_EQ(w.font().pixelSize(), 13);
  EXPECT_FALSE(w.StopRequested_);
  EXPECT_EQ(w.DownloadedCount_, 0);

  struct ButtonCase {
    QPushButton* button;
    const char* caption;
    bool enabled;
    bool shown;
  };
  const std::vector<ButtonCase> buttons = {
      {w.btn_down_, "开始下载", true, true},        {w.btn_stop_, "停止下载", false, true},
      {w.btn_openpath_, "浏览", true, true},        {w.btn_selectAll_, "全选", true, true},
      {w.btn_ReSelect_, "反选", true, true},        {w.btn_NotSelect_, "取消选择", true, true},
      {w.btn_clear_, "清除列表", true, true},       {w.btn_search_, "搜索歌曲名", true, true},
      {w.btn_listen_, "试听", true, true},          {w.btn_listenstop_, "停止试听", false, true},
      {w.btn_CheckUpdate_, "检查更新", true, true}, {w.btn_processSong_, "开始分析", true, false},
  };
  for (const ButtonCase& c : buttons) {
    EXPECT_EQ(c.button->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.button->isEnabled(), c.enabled) << c.caption;
    EXPECT_EQ(c.button->isVisible(), c.shown) << c.caption;
  }
  struct LabelCase {
    QLabel* label;
    const char* caption;
    bool shown;
  };
  const std::vector<LabelCase> labels = {
      {w.lbl1_, "全部榜单：", true},
      {w.lbl2_, "保存位置：", true},
      {w.lbl3_, "歌曲文件名设定：", true},
      {w.lbl_web_, "作者：Pelko(pelko)", true},
      {w.lbl_weibo_, "新浪微博： pelko", true},
      {w.pnl_logintip_, "必须要先登录Mevra帐号后才可以下载↓↓", true},
      {w.pnl_info_, "抓取中......", false},
  };
  for (const LabelCase& c : labels) {
    EXPECT_EQ(c.label->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.label->isVisible(), c.shown) << c.caption;
  }
  EXPECT_EQ(w.lbl_web_->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(w.pnl_info_->palette().color(QPalette::Window), QColor(225, 255, 225));

  // Radio buttons: captions, and the defaults of a missing config section checked.
  struct RadioCase {
    QRadioButton* radio;
    const char* caption;
    bool checked;
  };
  const std::vector<RadioCase> radios = {
      {w.rb1_, "歌曲名", false},          {w.rb2_, "歌曲名 - 歌手名", true},
      {w.rb3_, "歌手名 - 歌曲名", false}, {w.rb_128k_, "标准品质128K", false},
      {w.rb_192k_, "高品质192K", false},  {w.rb_320k_, "超高品质320K", true},
  };
  for (const RadioCase& c : radios) {
    EXPECT_EQ(c.radio->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.radio->isChecked(), c.checked) << c.caption;
  }

  EXPECT_EQ(w.edt_saveto_->text(), ProgramPaths::DefaultSaveFolder());
  EXPECT_TRUE(w.edt_saveto_->isReadOnly());
  EXPECT_EQ(w.chk_isFileterSize_->text(), "自动过滤小于                M的音乐文件");
  EXPECT_FALSE(w.chk_isFileterSize_->isChecked());
  ASSERT_EQ(w.cbb_minsize_->count(), 9);
  EXPECT_EQ(w.cbb_minsize_->itemText(0), "2");
  EXPECT_EQ(w.cbb_minsize_->itemText(8), "10");
  EXPECT_EQ(w.cbb_minsize_->currentText(), "2");
  EXPECT_FALSE(w.cbb_minsize_->isEditable());
  EXPECT_TRUE(w.edt_search_->text().isEmpty());
  EXPECT_FALSE(w.lst_repeatProcess_->isVisible());
  EXPECT_EQ(w.lst_repeatProcess_->count(), 0);
  EXPECT_FALSE(w.mmo_log_->isVisible());
  EXPECT_EQ(w.mmo_log_->toPlainText(), "mmo_log");

  // The chart list: name, blanks, full address, in the portal's order.
  ASSERT_EQ(w.lst_song_->count(), 17);
  const QString music = FileUrl("music");
  for (int i = 0; i < 17; ++i) {
    const QString text = w.lst_song_->item(i)->text();
    const QString name = QString::fromUtf8(kCharts[i].name);
    EXPECT_TRUE(text.startsWith(name + "  ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(" " + music + kCharts[i].path)) << text.toStdString();
    EXPECT_EQ(ChartItemUrl(text), music + kCharts[i].path);
  }
  EXPECT_TRUE(w.lst_song_->item(16)->text().endsWith("/top/chizha"));

  // The song list: columns, widths, behaviour, 20-pixel rows with check boxes.
  const QStringList headers = {"歌曲编号", "歌曲名", "歌手名", "状态"};
  const int widths[] = {86, 180, 130, 145};
  ASSERT_EQ(w.lv_songs_->columnCount(), 4);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(w.lv_songs_->horizontalHeaderItem(c)->text(), headers[c]);
    EXPECT_EQ(w.lv_songs_->columnWidth(c), widths[c]);
  }
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_TRUE(w.lv_songs_->showGrid());
  EXPECT_EQ(w.lv_songs_->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(w.lv_songs_->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_FALSE(w.lv_songs_->isSortingEnabled());
  EXPECT_EQ(w.lv_songs_->editTriggers(), QAbstractItemView::NoEditTriggers);
  w.AddSong("1", "T", "S");
  EXPECT_EQ(w.lv_songs_->rowHeight(0), 20);
  EXPECT_EQ(w.lv_songs_->item(0, 0)->checkState(), Qt::Unchecked);
  EXPECT_TRUE(w.lv_songs_->item(0, 0)->flags() & Qt::ItemIsUserCheckable);
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnStatus), "等待中");

  // Status bar.
  EXPECT_EQ(w.stsbr1_->height(), 19);
  EXPECT_EQ(w.stspn_info_->Width(), 510);
  EXPECT_EQ(w.stspn_info_->Caption(), "");
  EXPECT_EQ(w.prgrsts_downloadpg_->Percent(), 0);

  // The browser panel and the song list take the room a larger window gives.
  const int list_height = w.lv_songs_->height();
  const int web_width = w.pnl_web_->width();
  const int listen_y = w.btn_listen_->y();
  w.resize(1288, 863);
  ASSERT_TRUE(WaitUntil([&] { return w.lv_songs_->height() > list_height; }));
  EXPECT_EQ(w.lv_songs_->height(), list_height + 100);
  EXPECT_EQ(w.pnl_web_->width(), web_width + 200);
  EXPECT_EQ(w.btn_listen_->y(), listen_y + 100);
}

TEST_F(WindowTest, LinkLabelsOpenTheirPagesAndChangeColourOnHover) {
  WriteFile("config.ini",
            EndpointsSection() +
                "AuthorSiteUrl=http://127.0.0.1:7/a\nMicroblogUrl=http://127.0.0.1:7/b\n");
  MainWindow& w = Open();
  w.lbl_webMouseEnter();
  EXPECT_EQ(w.lbl_web_->palette().color(QPalette::WindowText), QColor(Qt::red));
  w.lbl_webMouseLeave();
  EXPECT_EQ(w.lbl_web_->palette().color(QPalette::WindowText), QColor(Qt::blue));
  w.lbl_weiboMouseEnter();
  EXPECT_EQ(w.lbl_weibo_->palette().color(QPalette::WindowText), QColor(Qt::red));
  w.lbl_webClick();
  w.lbl_weiboClick();
  EXPECT_EQ(w.url_opener_.Opened(), QStringList({"http://127.0.0.1:7/a", "http://127.0.0.1:7/b"}));
}

// --- Settings -----------------------------------------------------------------------------------

TEST_F(WindowTest, ClosingWritesTheKeysInOrderAndTheyComeBack) {
  struct Case {
    QRadioButton* MainWindow::*rate;
    QRadioButton* MainWindow::*naming;
    bool filter;
    int size_index;
    const char* expected;  // the Config section as written
  };
  const std::vector<Case> cases = {
      {&MainWindow::rb_128k_, &MainWindow::rb1_, true, 5,
       "SavePath=/tmp/歌 曲\nisFileterSize=1\nSongBit=128\nFileterSize=7\nRenameType=1\n"},
      {&MainWindow::rb_192k_, &MainWindow::rb3_, false, 8,
       "SavePath=/tmp/歌 曲\nisFileterSize=0\nSongBit=192\nFileterSize=10\nRenameType=3\n"},
      {&MainWindow::rb_320k_, &MainWindow::rb2_, true, 0,
       "SavePath=/tmp/歌 曲\nisFileterSize=1\nSongBit=320\nFileterSize=2\nRenameType=2\n"},
  };
  for (const Case& c : cases) {
    WriteFile("config.ini", EndpointsSection());
    MainWindow& w = Open();
    w.edt_saveto_->setText("  /tmp/歌 曲 ");
    (w.*c.rate)->setChecked(true);
    (w.*c.naming)->setChecked(true);
    w.chk_isFileterSize_->setChecked(c.filter);
    w.cbb_minsize_->setCurrentIndex(c.size_index);
    CloseWindow();
    EXPECT_EQ(ReadFile("config.ini"), EndpointsSection() + "[Config]\n" + c.expected);

    MainWindow& again = Open();
    EXPECT_EQ(again.edt_saveto_->text(), "/tmp/歌 曲");
    EXPECT_TRUE((again.*c.rate)->isChecked());
    EXPECT_TRUE((again.*c.naming)->isChecked());
    EXPECT_EQ(again.chk_isFileterSize_->isChecked(), c.filter);
    EXPECT_EQ(again.cbb_minsize_->currentIndex(), c.size_index);
    CloseWindow();
  }
}

TEST_F(WindowTest, OddValuesInTheFile) {
  struct Case {
    const char* name;
    const char* config;
    std::function<void(MainWindow&)> check;
  };
  const std::vector<Case> cases = {
      {"filter flag with blanks", "isFileterSize= 1 \n",
       [](MainWindow& w) { EXPECT_TRUE(w.chk_isFileterSize_->isChecked()); }},
      {"filter flag other than 1", "isFileterSize=yes\n",
       [](MainWindow& w) { EXPECT_FALSE(w.chk_isFileterSize_->isChecked()); }},
      {"rate not offered", "SongBit=256\n",
       [](MainWindow& w) {
         EXPECT_FALSE(w.rb_128k_->isChecked());
         EXPECT_FALSE(w.rb_192k_->isChecked());
         EXPECT_FALSE(w.rb_320k_->isChecked());
       }},
      {"size not in the box", "FileterSize=12\n",
       [](MainWindow& w) {
         EXPECT_EQ(w.cbb_minsize_->currentIndex(), -1);
         EXPECT_EQ(w.cbb_minsize_->currentText(), "");
       }},
      {"integers that do not parse read as their defaults", "SongBit=abc\nRenameType=2x\n",
       [](MainWindow& w) {
         EXPECT_TRUE(w.rb_320k_->isChecked());
         EXPECT_TRUE(w.rb2_->isChecked());
       }},
      {"naming out of range", "RenameType=7\n",
       [](MainWindow& w) {
         EXPECT_FALSE(w.rb1_->isChecked() || w.rb2_->isChecked() || w.rb3_->isChecked());
       }},
      {"section and key names in another case", "[CONFIG]\nsongbit=128\nSAVEPATH=/x\n",
       [](MainWindow& w) {
         EXPECT_TRUE(w.rb_128k_->isChecked());
         EXPECT_EQ(w.edt_saveto_->text(), "/x");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray text = EndpointsSection();
    if (!QByteArray(c.config).startsWith('[')) text += "[Config]\n";
    WriteFile("config.ini", text + c.config);
    c.check(Open());
    CloseWindow();
  }
}

TEST_F(WindowTest, RateNotOfferedIsWrittenBackAs320AndEmptySizeAsEmpty) {
  WriteFile("config.ini", EndpointsSection() + "[Config]\nSongBit=256\nFileterSize=12\n");
  Open();
  CloseWindow();
  const QByteArray written = ReadFile("config.ini");
  EXPECT_TRUE(written.contains("SongBit=320\n")) << written.toStdString();
  EXPECT_TRUE(written.contains("FileterSize=\n")) << written.toStdString();
}

TEST_F(WindowTest, RateAndNamingChoicesAreEachOneOfThree) {
  WriteFile("config.ini", EndpointsSection() + "[Config]\nSongBit=320\nRenameType=2\n");
  MainWindow& w = Open();
  const QList<QRadioButton*> rates = {w.rb_128k_, w.rb_192k_, w.rb_320k_};
  const QList<QRadioButton*> names = {w.rb1_, w.rb2_, w.rb3_};
  const auto checked = [](const QList<QRadioButton*>& group) {
    QList<QRadioButton*> on;
    for (QRadioButton* b : group) {
      if (b->isChecked()) on << b;
    }
    return on;
  };
  for (QRadioButton* rate : rates) {
    rate->click();
    EXPECT_EQ(checked(rates), QList<QRadioButton*>{rate}) << rate->text().toStdString();
    EXPECT_EQ(checked(names), QList<QRadioButton*>{w.rb2_});
  }
  for (QRadioButton* name : names) {
    name->click();
    EXPECT_EQ(checked(names), QList<QRadioButton*>{name}) << name->text().toStdString();
    EXPECT_EQ(checked(rates), QList<QRadioButton*>{w.rb_320k_});
  }
  // Code that checks a button takes the others of its group out too, as a click does.
  w.rb_128k_->setChecked(true);
  EXPECT_EQ(checked(rates), QList<QRadioButton*>{w.rb_128k_});
}

TEST_F(WindowTest, ForeignLinesSurviveByteForByte) {
  const QByteArray before = "; kept comment\r\n" + EndpointsSection().replace("\n", "\r\n") +
                            "[Config]\r\nSavePath=/a\r\nExtra = keep me \r\n\r\n"
                            "[Other]\r\nSongBit=1\r\nfree text line\r\n";
  WriteFile("config.ini", before);
  Open();
  CloseWindow();
  const QByteArray expected = "; kept comment\r\n" + EndpointsSection().replace("\n", "\r\n") +
                              "[Config]\r\nSavePath=/a\r\nExtra = keep me \r\n"
                              "isFileterSize=0\r\nSongBit=320\r\nFileterSize=2\r\n"
                              "RenameType=2\r\n\r\n"
                              "[Other]\r\nSongBit=1\r\nfree text line\r\n";
  EXPECT_EQ(ReadFile("config.ini"), expected);
}

TEST_F(WindowTest, AnUnusableConfigPathFailsSilently) {
  WriteFile("blocker", "not a folder");
  config_path_ = dir_.filePath("blocker/config.ini");
  MainWindow& w = Open();
  EXPECT_TRUE(w.rb_320k_->isChecked());  // defaults, as for a missing file
  EXPECT_NO_THROW(CloseWindow());
  EXPECT_EQ(ReadFile("blocker"), "not a folder");
}

TEST_F(WindowTest, TerminationSignalsCloseTheWindowAndWriteTheSettings) {
  for (int signal_number : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal_number);
    WriteFile("config.ini", EndpointsSection());
    MainWindow& w = Open();
    w.show();
    w.rb_128k_->setChecked(true);
    TerminationWatch watch(&w);
    std::raise(signal_number);
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }));
    EXPECT_TRUE(ReadFile("config.ini").contains("SongBit=128\n"));
    window_.reset();
  }
}

TEST_F(WindowTest, BrowseTakesTheConfirmedFolderAndCancelChangesNothing) {
  WriteFile("config.ini", EndpointsSection() + "[Config]\nSavePath=/before\n");
  QDir(dir_.path()).mkpath("songs");
  const QString folder = QDir(dir_.filePath("songs")).absolutePath();
  for (bool confirm : {false, true}) {
    SCOPED_TRACE(confirm);
    MainWindow& w = Open();
    w.slctfldrdlg1_->SelectedFolder() = widgets::ShellLocator::FromPath(folder);
    w.slctfldrdlg1_->OnFormShow = [confirm](widgets::SelectFolderForm& form) {
      QPushButton* button = confirm ? form.OkButton() : form.CancelButton();
      QTimer::singleShot(0, button, &QPushButton::click);
    };
    w.btn_openpathClick();
    EXPECT_EQ(w.edt_saveto_->text(), confirm ? folder : QStringLiteral("/before"));
    CloseWindow();
  }
}

// --- List commands ------------------------------------------------------------------------------

class ListCommandTest : public WindowTest {
 protected:
  MainWindow& OpenWithSongs(const QStringList& titles) {
    WriteFile("config.ini", EndpointsSection());
    MainWindow& w = Open();
    for (int i = 0; i < titles.size(); ++i) w.AddSong(QString::number(i + 1), titles[i], "S");
    return w;
  }
  std::vector<bool> Ticks(MainWindow& w) {
    std::vector<bool> ticks;
    for (int row = 0; row < w.SongCount(); ++row) ticks.push_back(w.SongTicked(row));
    return ticks;
  }
};

TEST_F(ListCommandTest, TitleSearchTicksMatchesWithCaseAndReportsTheCount) {
  struct Case {
    const char* keyword;
    std::vector<bool> ticks_before;
    std::vector<bool> ticks_after;
    const char* report;
  };
  const std::vector<Case> cases = {
      {"爱", {false, false, true}, {true, true, true}, "共搜索到相关歌曲2首"},
      {" 爱 ", {false, false, false}, {true, true, false}, "共搜索到相关歌曲2首"},
      {"恨", {true, false, true}, {true, false, true}, "共搜索到相关歌曲0首"},
      {"love", {false, false, false}, {false, false, false}, "共搜索到相关歌曲0首"},
      {"Love", {false, false, false}, {false, false, true}, "共搜索到相关歌曲1首"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    MainWindow& w = OpenWithSongs({"我爱你", "  爱情买卖", "Love Story"});
    for (int row = 0; row < 3; ++row) w.SetSongTicked(row, c.ticks_before[row]);
    w.edt_search_->setText(QString::fromUtf8(c.keyword));
    w.btn_searchClick();
    EXPECT_EQ(Ticks(w), c.ticks_after);
    ASSERT_EQ(w.message_boxes_.Shown().size(), 1u);
    const MessageRequest& box = w.message_boxes_.Shown().back();
    EXPECT_EQ(box.text, QString::fromUtf8(c.report));
    EXPECT_EQ(box.caption, "Mevra音乐管家");
    EXPECT_EQ(box.buttons, MessageButtons::kOk);
    CloseWindow();
  }
}

TEST_F(ListCommandTest, EmptySearchAsksForATitle) {
  MainWindow& w = OpenWithSongs({"A"});
  w.edt_search_->setText("   ");
  w.btn_searchClick();
  ASSERT_EQ(w.message_boxes_.Shown().size(), 1u);
  EXPECT_EQ(w.message_boxes_.Shown()[0].text, "请输入歌曲名");
  EXPECT_EQ(w.message_boxes_.Shown()[0].caption, "Mevra音乐管家");
  EXPECT_FALSE(w.SongTicked(0));
}

TEST_F(ListCommandTest, SelectAllNoneAndInvert) {
  MainWindow& w = OpenWithSongs({"A", "B", "C"});
  w.SetSongTicked(1, true);
  w.btn_ReSelectClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{true, false, true}));
  w.btn_selectAllClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{true, true, true}));
  w.btn_NotSelectClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
}

TEST_F(ListCommandTest, DoubleClickInvertsTheFirstSelectedRowOnly) {
  MainWindow& w = OpenWithSongs({"A", "B", "C"});
  w.lv_songsDblClick();  // nothing selected: nothing happens
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
  w.lv_songs_->selectRow(2);
  w.lv_songs_->selectionModel()->select(w.lv_songs_->model()->index(1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  w.lv_songsDblClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, true, false}));
  w.lv_songsDblClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
}

TEST_F(ListCommandTest, ClearAsksAndEmptiesBothListsOnlyOnYes) {
  MainWindow& w = OpenWithSongs({"A", "B"});
  answer_ = MessageAnswer::kNo;
  w.btn_clearClick();
  EXPECT_EQ(w.SongCount(), 2);
  EXPECT_EQ(w.lst_repeatProcess_->count(), 2);
  const MessageRequest& box = w.message_boxes_.Shown().back();
  EXPECT_EQ(box.text, "您确定要清除音乐信息列表吗？");
  EXPECT_EQ(box.caption, "提示");
  EXPECT_EQ(box.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(box.icon, MessageIcon::kQuestion);
  answer_ = MessageAnswer::kYes;
  w.btn_clearClick();
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_EQ(w.lst_repeatProcess_->count(), 0);
  EXPECT_FALSE(w.SongListed("1"));
}

// --- Harvest into the window -------------------------------------------------------------------

QByteArray ChartPage(const std::vector<std::array<const char*, 3>>& songs) {
  QByteArray page = "<html><body><ul>";
  for (const auto& song : songs) {
    page += QByteArray("<li class=\"clearfix  song-item-hook { 'sid': '") + song[0] +
            "', 'sname': '" + song[1] + "', 'author': '" + song[2] + "' }\">x</li>";
  }
  return page + "</ul></body></html>";
}

TEST_F(WindowTest, EveryCompletedPageIsHarvestedAndRepeatsStayOutUntilAClear) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("new.html",
            ChartPage({{"11", "七里香", "周"}, {"12", "Don't", "B, C"}, {"11", "七里香", "周"}}));
  WriteFile("dayhot.html", ChartPage({{"12", "Don't", "B, C"}, {"13", "晴天", "周"}}));
  MainWindow& w = Open();

  w.web1_->Navigate(FileUrl("new.html"));
  ASSERT_TRUE(WaitUntil([&] { return w.SongCount() == 2; }));
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnId), "11");
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnTitle), "七里香");
  EXPECT_EQ(w.SongText(1, MainWindow::kColumnTitle), "Dont");
  EXPECT_EQ(w.SongText(1, MainWindow::kColumnSinger), "B, C");
  EXPECT_EQ(w.stspn_info_->Caption(), "抓取音乐信息完成！已抓取2首音乐信息");
  EXPECT_FALSE(w.pnl_info_->isVisible());

  // One known song, one new.
  w.web1_->Navigate(FileUrl("dayhot.html"));
  ASSERT_TRUE(WaitUntil([&] { return w.SongCount() == 3; }));
  EXPECT_EQ(w.SongText(2, MainWindow::kColumnId), "13");
  EXPECT_EQ(w.lst_repeatProcess_->count(), 3);

  // The harvest button reads the page shown again; after a clear its songs come back.
  answer_ = MessageAnswer::kYes;
  w.btn_clearClick();
  w.btn_processSongClick();
  EXPECT_EQ(w.SongCount(), 2);
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnId), "12");
  EXPECT_EQ(w.stspn_info_->Caption(), "抓取音乐信息完成！已抓取2首音乐信息");
}

TEST_F(WindowTest, PageWithoutItemsStillEndsWithTheDoneText) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("plain.html", "<html><body>nothing to see</body></html>");
  MainWindow& w = Open();
  const quint64 loads = w.web1_->LoadsFinished();
  w.web1_->Navigate(FileUrl("plain.html"));
  ASSERT_TRUE(WaitUntil([&] { return w.web1_->LoadsFinished() > loads; }));
  w.btn_processSongClick();
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_EQ(w.stspn_info_->Caption(), "抓取音乐信息完成！已抓取0首音乐信息");
}

TEST_F(WindowTest, AnExceptionOfABrowserEventIsShownByTheWindowItCameFrom) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("plain.html", "<html><body>nothing to see</body></html>");
  MainWindow& w = Open();
  // A second window, opened later, takes none of the first one's errors.
  MainWindow other(MainWindowFiles{config_path_, dir_.filePath("other.mp3")});
  other.message_boxes_.OnShow = [](const MessageRequest&) { return MessageAnswer::kOk; };
  w.web1_->OnDocumentComplete = [](browser::BrowserControl&, const QString&) {
    throw std::runtime_error("gate broke");
  };
  w.web1_->Navigate(FileUrl("plain.html"));
  ASSERT_TRUE(WaitUntil([&] { return !w.message_boxes_.Shown().empty(); }));
  const MessageRequest& box = w.message_boxes_.Shown().front();
  EXPECT_EQ(box.text, "gate broke");
  EXPECT_EQ(box.caption, MainWindow::kApplicationTitle);
  EXPECT_EQ(box.icon, MessageIcon::kError);
  EXPECT_TRUE(other.message_boxes_.Shown().empty());
}

// --- Helpers ------------------------------------------------------------------------------------

TEST_F(WindowTest, PumpDelayEndsByTheTickRuleAndDispatchesAtLeastOnce) {
  struct Case {
    const char* name;
    double milliseconds;
    std::vector<uint32_t> ticks;  // what the clock returns, read by read
    size_t reads;                 // how many reads the wait takes
  };
  const std::vector<Case> cases = {
      {"ends when the elapsed count reaches the time", 2000, {100, 1099, 2099, 2100, 9999}, 4},
      {"ends at a wrap", 2000, {0xFFFFFFF0u, 0xFFFFFFFFu, 5, 9999}, 3},
      {"zero still dispatches once", 0, {7, 7, 9999}, 2},
      {"fractions count", 0.5, {7, 7, 8, 9999}, 3},
  };
  WriteFile("config.ini", EndpointsSection());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t reads = 0;
    bool use_script = false;
    MainWindow& w = Open([&]() -> uint32_t {
      if (!use_script) return SystemTickCount();
      const uint32_t tick = c.ticks[std::min(reads, c.ticks.size() - 1)];
      ++reads;
      return tick;
    });
    bool dispatched = false;
    QTimer::singleShot(0, [&] { dispatched = true; });
    use_script = true;
    w.PumpDelay(c.milliseconds);
    use_script = false;
    EXPECT_EQ(reads, c.reads);
    EXPECT_TRUE(dispatched);
    CloseWindow();
  }
}

TEST(FileSizeOfTest, MissingFilesAndFoldersAreZero) {
  QTemporaryDir dir;
  QFile file(dir.filePath("a.mp3"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(1234, 'x'));
  file.close();
  EXPECT_EQ(MainWindow::FileSizeOf(dir.filePath("a.mp3")), 1234);
  EXPECT_EQ(MainWindow::FileSizeOf(dir.filePath("missing.mp3")), 0);
  EXPECT_EQ(MainWindow::FileSizeOf(dir.path()), 0);
}

}  // namespace
}  // namespace mevra::app
