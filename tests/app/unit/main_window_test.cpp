// The main window offscreen: its controls at start-up, the settings file, the list commands,
// the harvest into the song list, PumpDelay and FileSizeOf.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>
#include <array>
#include <csignal>
#include <functional>
#include <stdexcept>
#include <vector>

#include "app/application_setup.h"
#include "app/chart_list.h"
#include "app/preferences_dialog.h"
#include "app/program_paths.h"
#include "app/termination_watch.h"
#include "app/transfer_text.h"
#include "browser/browser_control.h"
#include "download/rate_limiter.h"
#include "download/row_status.h"
#include "tests/app/unit/window_fixture.h"
#include "tests/browser/test_http_server.h"
#include "tests/browser/user_click.h"
#include "widgets/progress_status.h"
#include "widgets/select_folder_dialog.h"
#include "widgets/select_folder_form.h"
#include "widgets/status_bar.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

using browser::test::UserClick;
using testing::MainWindowProbe;
using testing::WaitUntil;
using testing::WindowTest;

TEST_F(WindowTest, StartsWithEveryControlInItsInitialState) {
  WriteFile("config.ini", EndpointsSection());
  MainWindow& w = Open();
  MainWindowUi& ui = Ui();
  w.show();

  EXPECT_EQ(w.windowTitle(), "《Mevra音乐管家》       Ver:2.0");
  EXPECT_EQ(Probe().BuildStamp(), "201212251550");
  EXPECT_EQ(w.size(), QSize(1088, 763));
  EXPECT_EQ(w.font().pixelSize(), 13);
  EXPECT_FALSE(Probe().StopRequested());
  EXPECT_EQ(Probe().DownloadedCount(), 0);

  struct ButtonCase {
    QPushButton* button;
    const char* caption;
    bool enabled;
    bool shown;
  };
  const std::vector<ButtonCase> buttons = {
      {ui.btn_down, "开始下载", true, true},        {ui.btn_stop, "停止下载", false, true},
      {ui.btn_openpath, "浏览", true, true},        {ui.btn_selectAll, "全选", true, true},
      {ui.btn_ReSelect, "反选", true, true},        {ui.btn_NotSelect, "取消选择", true, true},
      {ui.btn_clear, "清除列表", true, true},       {ui.btn_search, "搜索歌曲名", true, true},
      {ui.btn_listen, "试听", true, true},          {ui.btn_listenstop, "停止试听", false, true},
      {ui.btn_CheckUpdate, "检查更新", true, true}, {ui.btn_processSong, "开始分析", true, false},
      {ui.btn_history, "下载记录…", true, true},
  };
  for (const ButtonCase& c : buttons) {
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(c.button->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.button->isEnabled(), c.enabled);
    EXPECT_EQ(c.button->isVisible(), c.shown);
  }
  struct LabelCase {
    QLabel* label;
    const char* caption;
    bool shown;
  };
  const std::vector<LabelCase> labels = {
      {ui.lbl1, "全部榜单：", true},
      {ui.lbl2, "保存位置：", true},
      {ui.lbl3, "歌曲文件名设定：", true},
      {ui.lbl_web, "作者：Pelko(pelko)", true},
      {ui.lbl_weibo, "新浪微博： pelko", true},
      {ui.pnl_logintip, "必须要先登录Mevra帐号后才可以下载↓↓", true},
      {ui.pnl_info, "抓取中......", false},
  };
  for (const LabelCase& c : labels) {
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(c.label->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.label->isVisible(), c.shown);
  }
  EXPECT_EQ(ui.lbl_web->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(ui.pnl_info->palette().color(QPalette::Window), QColor(225, 255, 225));

  // Radio buttons: captions, and the defaults of a missing config section checked.
  struct RadioCase {
    QRadioButton* radio;
    const char* caption;
    bool checked;
  };
  const std::vector<RadioCase> radios = {
      {ui.rb1, "歌曲名", false},          {ui.rb2, "歌曲名 - 歌手名", true},
      {ui.rb3, "歌手名 - 歌曲名", false}, {ui.rb_128k, "标准品质128K", false},
      {ui.rb_192k, "高品质192K", false},  {ui.rb_320k, "超高品质320K", true},
  };
  for (const RadioCase& c : radios) {
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(c.radio->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(c.radio->isChecked(), c.checked);
  }

  EXPECT_EQ(ui.edt_saveto->text(), ProgramPaths::DefaultSaveFolder());
  EXPECT_TRUE(ui.edt_saveto->isReadOnly());
  EXPECT_EQ(ui.chk_isFileterSize->text(), "自动过滤小于                M的音乐文件");
  EXPECT_FALSE(ui.chk_isFileterSize->isChecked());
  ASSERT_EQ(ui.cbb_minsize->count(), 9);
  EXPECT_EQ(ui.cbb_minsize->itemText(0), "2");
  EXPECT_EQ(ui.cbb_minsize->itemText(8), "10");
  EXPECT_EQ(ui.cbb_minsize->currentText(), "2");
  EXPECT_FALSE(ui.cbb_minsize->isEditable());
  EXPECT_TRUE(ui.edt_search->text().isEmpty());
  EXPECT_FALSE(ui.mmo_log->isVisible());
  EXPECT_EQ(ui.mmo_log->toPlainText(), "mmo_log");

  // The chart list: name, blanks, full address, in the portal's order.
  ASSERT_EQ(ui.lst_song->count(), 17);
  const QString music = FileUrl("music");
  for (int i = 0; i < 17; ++i) {
    const QString text = ui.lst_song->item(i)->text();
    const QString name = QString::fromUtf8(kCharts[i].name);
    EXPECT_TRUE(text.startsWith(name + "  ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(" " + music + kCharts[i].path)) << text.toStdString();
    EXPECT_EQ(ChartItemUrl(text), music + kCharts[i].path);
  }
  EXPECT_TRUE(ui.lst_song->item(16)->text().endsWith("/top/chizha"));

  // The song list: columns, widths, behaviour, 20-pixel rows with check boxes.
  const QStringList headers = {"歌曲编号", "歌曲名", "歌手名", "状态"};
  const int widths[] = {86, 180, 130, 145};
  ASSERT_EQ(ui.lv_songs->model()->columnCount(), 4);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(ui.lv_songs->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    EXPECT_EQ(ui.lv_songs->columnWidth(c), widths[c]);
  }
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_TRUE(ui.lv_songs->showGrid());
  EXPECT_EQ(ui.lv_songs->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(ui.lv_songs->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_FALSE(ui.lv_songs->isSortingEnabled());
  EXPECT_EQ(ui.lv_songs->editTriggers(), QAbstractItemView::NoEditTriggers);
  w.AddSong("1", "T", "S");
  EXPECT_EQ(ui.lv_songs->rowHeight(0), 20);
  const QModelIndex id_cell = ui.lv_songs->model()->index(0, 0);
  EXPECT_EQ(id_cell.data(Qt::CheckStateRole), Qt::Unchecked);
  EXPECT_TRUE(id_cell.flags() & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(ui.lv_songs->model()->index(0, 1).flags() & Qt::ItemIsUserCheckable);
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnStatus), "等待中");

  // Status bar.
  EXPECT_EQ(ui.stsbr1->height(), 19);
  EXPECT_EQ(ui.stspn_info->Width(), 510);
  EXPECT_EQ(ui.stspn_info->Caption(), "");
  EXPECT_EQ(ui.prgrsts_downloadpg->Percent(), 0);

  // The browser panel and the song list take the room a larger window gives.
  const int list_height = ui.lv_songs->height();
  const int web_width = ui.pnl_web->width();
  const int listen_y = ui.btn_listen->y();
  w.resize(1288, 863);
  ASSERT_TRUE(WaitUntil([&] { return ui.lv_songs->height() > list_height; }));
  EXPECT_EQ(ui.lv_songs->height(), list_height + 100);
  EXPECT_EQ(ui.pnl_web->width(), web_width + 200);
  EXPECT_EQ(ui.btn_listen->y(), listen_y + 100);
}

TEST_F(WindowTest, LinkLabelsOpenTheirPagesAndChangeColourOnHover) {
  WriteFile("config.ini",
            EndpointsSection() +
                "AuthorSiteUrl=http://127.0.0.1:7/a\nMicroblogUrl=http://127.0.0.1:7/b\n");
  MainWindow& w = Open();
  w.lbl_webMouseEnter();
  EXPECT_EQ(Ui().lbl_web->palette().color(QPalette::WindowText), QColor(Qt::red));
  w.lbl_webMouseLeave();
  EXPECT_EQ(Ui().lbl_web->palette().color(QPalette::WindowText), QColor(Qt::blue));
  w.lbl_weiboMouseEnter();
  EXPECT_EQ(Ui().lbl_weibo->palette().color(QPalette::WindowText), QColor(Qt::red));
  w.lbl_webClick();
  w.lbl_weiboClick();
  EXPECT_EQ(Probe().Opener().Opened(),
            QStringList({"http://127.0.0.1:7/a", "http://127.0.0.1:7/b"}));
}

// --- Settings -----------------------------------------------------------------------------------

TEST_F(WindowTest, ClosingWritesTheKeysInOrderAndTheyComeBack) {
  struct Case {
    const char* name;
    QRadioButton* MainWindowUi::*rate;
    QRadioButton* MainWindowUi::*naming;
    bool filter;
    int size_index;
    const char* expected;  // the Config section as written
  };
  const std::vector<Case> cases = {
      {"128K, title, filter at 7M", &MainWindowUi::rb_128k, &MainWindowUi::rb1, true, 5,
       "SavePath=/tmp/歌 曲\nisFileterSize=1\nSongBit=128\nFileterSize=7\nRenameType=1\n"
       "ParallelDownloads=1\nExistingFile=rename\nUseArchive=0\nRetries=3\nSpeedLimitKB="
       "0\nWriteTags=0\nStallSeconds=30\nLinkSource=direct\nEmbedCover=1\nSaveCover=0\nLyrics="
       "embed\n"
       "NameTemplate={singer}/{singer} - {title}\nPlaylist=0\nUseLibrary=1\nProxy=system\n"},
      {"192K, singer - title, no filter", &MainWindowUi::rb_192k, &MainWindowUi::rb3, false, 8,
       "SavePath=/tmp/歌 曲\nisFileterSize=0\nSongBit=192\nFileterSize=10\nRenameType=3\n"
       "ParallelDownloads=1\nExistingFile=rename\nUseArchive=0\nRetries=3\nSpeedLimitKB="
       "0\nWriteTags=0\nStallSeconds=30\nLinkSource=direct\nEmbedCover=1\nSaveCover=0\nLyrics="
       "embed\n"
       "NameTemplate={singer}/{singer} - {title}\nPlaylist=0\nUseLibrary=1\nProxy=system\n"},
      {"320K, title - singer, filter at 2M", &MainWindowUi::rb_320k, &MainWindowUi::rb2, true, 0,
       "SavePath=/tmp/歌 曲\nisFileterSize=1\nSongBit=320\nFileterSize=2\nRenameType=2\n"
       "ParallelDownloads=1\nExistingFile=rename\nUseArchive=0\nRetries=3\nSpeedLimitKB="
       "0\nWriteTags=0\nStallSeconds=30\nLinkSource=direct\nEmbedCover=1\nSaveCover=0\nLyrics="
       "embed\n"
       "NameTemplate={singer}/{singer} - {title}\nPlaylist=0\nUseLibrary=1\nProxy=system\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("config.ini", EndpointsSection());
    Open();
    Ui().edt_saveto->setText("  /tmp/歌 曲 ");
    (Ui().*c.rate)->setChecked(true);
    (Ui().*c.naming)->setChecked(true);
    Ui().chk_isFileterSize->setChecked(c.filter);
    Ui().cbb_minsize->setCurrentIndex(c.size_index);
    CloseWindow();
    EXPECT_EQ(ReadFile("config.ini"), EndpointsSection() + "[Config]\n" + c.expected);

    Open();
    EXPECT_EQ(Ui().edt_saveto->text(), "/tmp/歌 曲");
    EXPECT_TRUE((Ui().*c.rate)->isChecked());
    EXPECT_TRUE((Ui().*c.naming)->isChecked());
    EXPECT_EQ(Ui().chk_isFileterSize->isChecked(), c.filter);
    EXPECT_EQ(Ui().cbb_minsize->currentIndex(), c.size_index);
    CloseWindow();
  }
}

TEST_F(WindowTest, OddValuesInTheFile) {
  struct Case {
    const char* name;
    const char* config;
    std::function<void(MainWindowUi&)> check;
  };
  const std::vector<Case> cases = {
      {"filter flag with blanks", "isFileterSize= 1 \n",
       [](MainWindowUi& ui) { EXPECT_TRUE(ui.chk_isFileterSize->isChecked()); }},
      {"filter flag other than 1", "isFileterSize=yes\n",
       [](MainWindowUi& ui) { EXPECT_FALSE(ui.chk_isFileterSize->isChecked()); }},
      {"rate not offered", "SongBit=256\n",
       [](MainWindowUi& ui) {
         EXPECT_FALSE(ui.rb_128k->isChecked());
         EXPECT_FALSE(ui.rb_192k->isChecked());
         EXPECT_FALSE(ui.rb_320k->isChecked());
       }},
      {"size with blanks", "FileterSize= 5 \n",
       [](MainWindowUi& ui) { EXPECT_EQ(ui.cbb_minsize->currentText(), "5"); }},
      {"size not in the box", "FileterSize=12\n",
       [](MainWindowUi& ui) {
         EXPECT_EQ(ui.cbb_minsize->currentIndex(), -1);
         EXPECT_EQ(ui.cbb_minsize->currentText(), "");
       }},
      {"integers that do not parse read as their defaults", "SongBit=abc\nRenameType=2x\n",
       [](MainWindowUi& ui) {
         EXPECT_TRUE(ui.rb_320k->isChecked());
         EXPECT_TRUE(ui.rb2->isChecked());
       }},
      {"naming out of range", "RenameType=7\n",
       [](MainWindowUi& ui) {
         EXPECT_FALSE(ui.rb1->isChecked() || ui.rb2->isChecked() || ui.rb3->isChecked());
       }},
      {"section and key names in another case", "[CONFIG]\nsongbit=128\nSAVEPATH=/x\n",
       [](MainWindowUi& ui) {
         EXPECT_TRUE(ui.rb_128k->isChecked());
         EXPECT_EQ(ui.edt_saveto->text(), "/x");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray text = EndpointsSection();
    if (!QByteArray(c.config).startsWith('[')) text += "[Config]\n";
    WriteFile("config.ini", text + c.config);
    Open();
    c.check(Ui());
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
  Open();
  MainWindowUi& ui = Ui();
  const QList<QRadioButton*> rates = {ui.rb_128k, ui.rb_192k, ui.rb_320k};
  const QList<QRadioButton*> names = {ui.rb1, ui.rb2, ui.rb3};
  const auto checked = [](const QList<QRadioButton*>& group) {
    QList<QRadioButton*> on;
    for (QRadioButton* b : group) {
      if (b->isChecked()) on << b;
    }
    return on;
  };
  for (QRadioButton* rate : rates) {
    SCOPED_TRACE(rate->text().toStdString());
    rate->click();
    EXPECT_EQ(checked(rates), QList<QRadioButton*>{rate});
    EXPECT_EQ(checked(names), QList<QRadioButton*>{ui.rb2});
  }
  for (QRadioButton* name : names) {
    SCOPED_TRACE(name->text().toStdString());
    name->click();
    EXPECT_EQ(checked(names), QList<QRadioButton*>{name});
    EXPECT_EQ(checked(rates), QList<QRadioButton*>{ui.rb_320k});
  }
  // Code that checks a button takes the others of its group out too, as a click does.
  ui.rb_128k->setChecked(true);
  EXPECT_EQ(checked(rates), QList<QRadioButton*>{ui.rb_128k});
}

TEST_F(WindowTest, ForeignLinesSurviveByteForByte) {
  const QByteArray before = "; kept comment\r\n" + EndpointsSection().replace("\n", "\r\n") +
                            "[Config]\r\nSavePath=/a\r\nExtra = keep me \r\n\r\n"
                            "[Other]\r\nSongBit=1\r\nfree text line\r\n";
  WriteFile("config.ini", before);
  Open();
  CloseWindow();
  const QByteArray expected =
      "; kept comment\r\n" + EndpointsSection().replace("\n", "\r\n") +
      "[Config]\r\nSavePath=/a\r\nExtra = keep me \r\n"
      "isFileterSize=0\r\nSongBit=320\r\nFileterSize=2\r\n"
      "RenameType=2\r\nParallelDownloads=1\r\nExistingFile=rename\r\n"
      "UseArchive=0\r\nRetries=3\r\nSpeedLimitKB=0\r\nWriteTags=0\r\n"
      "StallSeconds=30\r\nLinkSource=direct\r\nEmbedCover=1\r\nSaveCover=0\r\n"
      "Lyrics=embed\r\nNameTemplate={singer}/{singer} - "
      "{title}\r\nPlaylist=0\r\nUseLibrary=1\r\nProxy=system\r\n\r\n"
      "[Other]\r\nSongBit=1\r\nfree text line\r\n";
  EXPECT_EQ(ReadFile("config.ini"), expected);
}

TEST_F(WindowTest, AnUnusableConfigPathFailsSilently) {
  WriteFile("blocker", "not a folder");
  config_path_ = dir_.filePath("blocker/config.ini");
  Open();
  EXPECT_TRUE(Ui().rb_320k->isChecked());  // defaults, as for a missing file
  EXPECT_NO_THROW(CloseWindow());
  EXPECT_EQ(ReadFile("blocker"), "not a folder");
}

TEST_F(WindowTest, TerminationSignalsCloseTheWindowAndWriteTheSettings) {
  for (int signal_number : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal_number);
    WriteFile("config.ini", EndpointsSection());
    MainWindow& w = Open();
    w.show();
    Ui().rb_128k->setChecked(true);
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
    Ui().slctfldrdlg1->SelectedFolder() = widgets::ShellLocator::FromPath(folder);
    Ui().slctfldrdlg1->OnFormShow = [confirm](widgets::SelectFolderForm& form) {
      QPushButton* button = confirm ? form.OkButton() : form.CancelButton();
      QTimer::singleShot(0, button, &QPushButton::click);
    };
    w.btn_openpathClick();
    EXPECT_EQ(Ui().edt_saveto->text(), confirm ? folder : QStringLiteral("/before"));
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

// The rules of ticking, searching and inverting are the list's own (song_list_test.cpp); these
// check what the window adds: its boxes, the selection and the keyboard.
TEST_F(ListCommandTest, SearchTicksMatchesAndSaysHowManyAnEmptyOneAsksForATitle) {
  MainWindow& w = OpenWithSongs({"我爱你", "  爱情买卖", "Love Story"});
  Ui().edt_search->setText("   ");
  w.btn_searchClick();
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, "请输入歌曲名");
  EXPECT_EQ(Boxes().Shown()[0].caption, "Mevra音乐管家");
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));

  Ui().edt_search->setText(" 爱 ");
  w.btn_searchClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{true, true, false}));
  ASSERT_EQ(Boxes().Shown().size(), 2u);
  const MessageRequest& box = Boxes().Shown().back();
  EXPECT_EQ(box.text, "共搜索到相关歌曲2首");
  EXPECT_EQ(box.caption, "Mevra音乐管家");
  EXPECT_EQ(box.buttons, MessageButtons::kOk);

  w.btn_ReSelectClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, true}));
  w.btn_selectAllClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{true, true, true}));
  w.btn_NotSelectClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
}

TEST_F(ListCommandTest, DoubleClickInvertsTheFirstSelectedRowAndTheSpaceBarTheCurrentOne) {
  MainWindow& w = OpenWithSongs({"A", "B", "C"});
  w.show();
  w.lv_songsDblClick();  // nothing selected: nothing happens
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
  Ui().lv_songs->selectRow(2);
  Ui().lv_songs->selectionModel()->select(Ui().lv_songs->model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
  w.lv_songsDblClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, true, false}));
  w.lv_songsDblClick();
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));

  Ui().lv_songs->setFocus();
  Ui().lv_songs->setCurrentIndex(Ui().lv_songs->model()->index(0, 0));
  QTest::keyClick(Ui().lv_songs, Qt::Key_Space);
  EXPECT_EQ(Ticks(w), (std::vector<bool>{true, false, false}));
  QTest::keyClick(Ui().lv_songs, Qt::Key_Space);
  EXPECT_EQ(Ticks(w), (std::vector<bool>{false, false, false}));
}

TEST_F(ListCommandTest, ClearAsksAndEmptiesTheListOnlyOnYes) {
  MainWindow& w = OpenWithSongs({"A", "B"});
  answer_ = MessageAnswer::kNo;
  w.btn_clearClick();
  EXPECT_EQ(w.SongCount(), 2);
  const MessageRequest& box = Boxes().Shown().back();
  EXPECT_EQ(box.text, "您确定要清除音乐信息列表吗？");
  EXPECT_EQ(box.caption, "提示");
  EXPECT_EQ(box.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(box.icon, MessageIcon::kQuestion);
  answer_ = MessageAnswer::kYes;
  w.btn_clearClick();
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_FALSE(w.SongListed("1"));
  // The same songs can be listed again.
  w.AddSong("1", "A", "S");
  EXPECT_EQ(w.SongCount(), 1);
}

// --- Languages ---------------------------------------------------------------------------------

bool HasChinese(const QString& text) {
  return std::any_of(text.begin(), text.end(),
                     [](QChar c) { return c.unicode() >= 0x3000 && c.unicode() <= 0x9fff; });
}

// In English every text the window shows comes from the catalogue: no Chinese is left on any
// control, each button's caption fits it, the rate choices stay apart, the chart items still
// open their charts, and what the handlers write is English too.
TEST_F(WindowTest, InEnglishNoChineseIsLeftAndEveryCaptionFits) {
  QTranslator english;
  ASSERT_TRUE(english.load(kEnglishCatalogue));
  QCoreApplication::installTranslator(&english);
  struct Uninstall {
    QTranslator* translator;
    ~Uninstall() { QCoreApplication::removeTranslator(translator); }
  } uninstall{&english};
  WriteFile("config.ini", EndpointsSection());
  MainWindow& w = Open();

  EXPECT_EQ(w.windowTitle(), "Mevra Music Manager       Ver:2.0");
  for (QWidget* widget : w.findChildren<QWidget*>()) {
    const QString name = widget->objectName();
    QStringList texts;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      texts << button->text();
      if (qobject_cast<QPushButton*>(button)) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
      }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      texts << label->text();
    } else if (auto* table = qobject_cast<QTableView*>(widget)) {
      for (int c = 0; c < table->model()->columnCount(); ++c)
        texts << table->model()->headerData(c, Qt::Horizontal).toString();
    }
    for (const QString& text : texts) EXPECT_FALSE(HasChinese(text)) << text.toStdString();
  }
  // The size box sits in the caption's run of blanks, not over the words before it.
  QCheckBox* filter = Ui().chk_isFileterSize;
  const QString caption = filter->text();
  QStyleOptionButton option;
  option.initFrom(filter);
  const int words_end =
      filter->x() +
      filter->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, filter).left() +
      filter->fontMetrics().horizontalAdvance(caption.left(caption.indexOf("  ")));
  EXPECT_GE(Ui().cbb_minsize->x(), words_end);
  EXPECT_LT(Ui().rb_128k->geometry().right(), Ui().rb_192k->x());
  EXPECT_LT(Ui().rb_192k->geometry().right(), Ui().rb_320k->x());
  ASSERT_EQ(Ui().lst_song->count(), static_cast<int>(kCharts.size()));
  for (int i = 0; i < Ui().lst_song->count(); ++i) {
    const QString text = Ui().lst_song->item(i)->text();
    EXPECT_FALSE(HasChinese(text)) << text.toStdString();
    EXPECT_TRUE(ChartItemUrl(text).endsWith(kCharts[i].path)) << text.toStdString();
  }

  w.btn_clearClick();
  ASSERT_FALSE(Boxes().Shown().empty());
  EXPECT_EQ(Boxes().Shown().back().caption, "Notice");
  EXPECT_FALSE(HasChinese(Boxes().Shown().back().text));
  EXPECT_EQ(download::RowStatusText(download::RowStatus::kStopped), "Failed: stopped by the user");
  EXPECT_EQ(download::RetryWaitText(2, 3), "Waiting to retry(2/3)");
  EXPECT_EQ(DownloadProgressText(QStringLiteral("歌"), 2048, 4096, 1),
            "“歌” received:2K  size:4K  saved:1 songs");
}

// --- Parallel downloads ------------------------------------------------------------------------

TEST_F(WindowTest, DownloadPreferencesReadBadValuesAsDefaultsAndFollowTheirKeys) {
  using download::ExistingFilePolicy;
  struct Case {
    const char* name;
    const char* config;  // lines of the Config section
    DownloadSettings expected;
  };
  const DownloadSettings defaults;
  const auto with = [&](auto change) {
    DownloadSettings settings = defaults;
    change(settings);
    return settings;
  };
  const Case cases[] = {
      {"missing", "", defaults},
      {"every key at its highest",
       "ParallelDownloads=5\nExistingFile=overwrite\nUseArchive=1\n"
       "Retries=10\nSpeedLimitKB=1048576\nWriteTags=1\nStallSeconds=600\nLinkSource=browser\n"
       "EmbedCover=0\nSaveCover=1\nLyrics=both\nNameTemplate= {rate}/{title} "
       "\nPlaylist=1\nUseLibrary=0\n",
       {5,
        ExistingFilePolicy::kOverwrite,
        true,
        10,
        1048576,
        true,
        600,
        false,
        {false, true, download::LyricsMode::kBoth},
        QStringLiteral("{rate}/{title}"),
        true,
        false}},
      {"blanks and case",
       "ParallelDownloads= 3 \nExistingFile= SKIP \nRetries= 0 \nStallSeconds= 5 \n",
       with([](DownloadSettings& d) {
         d.parallel_downloads = 3;
         d.existing_file = ExistingFilePolicy::kSkip;
         d.retries = 0;
         d.stall_seconds = 5;
       })},
      // A proxy URL is kept as written, whether it names a usable proxy or not.
      {"proxy", "Proxy= socks5h://u:p@h:1 \n",
       with([](DownloadSettings& d) { d.proxy = QStringLiteral("socks5h://u:p@h:1"); })},
      {"out of range", "ParallelDownloads=6\nRetries=11\nSpeedLimitKB=1048577\nStallSeconds=601\n",
       defaults},
      {"below the range", "ParallelDownloads=0\nRetries=-1\nSpeedLimitKB=-5\nStallSeconds=4\n",
       defaults},
      {"no valid choice",
       "ParallelDownloads=x\nExistingFile=replace\nUseArchive=2\n"
       "Retries=three\nSpeedLimitKB=fast\nWriteTags=yes\nStallSeconds=long\nLinkSource=web\n"
       "EmbedCover=no\nSaveCover=2\nLyrics=karaoke\nNameTemplate={singer}/"
       "\nPlaylist=on\nUseLibrary=yes\n",
       defaults},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("config.ini", EndpointsSection() + "[Config]\n" + c.config);
    Open();
    EXPECT_EQ(Probe().Settings(), c.expected);
    EXPECT_EQ(Probe().RateLimiter().BytesPerSecond(), int64_t{c.expected.speed_limit_kb} * 1024);
    CloseWindow();
  }
  // Keys new to the file come after the window's own, in their order.
  WriteFile("config.ini", EndpointsSection());
  Open();
  CloseWindow();
  EXPECT_TRUE(
      ReadFile("config.ini")
          .endsWith(
              "RenameType=2\nParallelDownloads=1\nExistingFile=rename\n"
              "UseArchive=0\nRetries=3\nSpeedLimitKB=0\nWriteTags=0\n"
              "StallSeconds=30\nLinkSource=direct\nEmbedCover=1\nSaveCover=0\nLyrics=embed\n"
              "NameTemplate={singer}/{singer} - {title}\nPlaylist=0\nUseLibrary=1\nProxy=system\n"))
      << ReadFile("config.ini").toStdString();
}

TEST_F(WindowTest, ThePreferencesDialogAppliesOnOkWritesAtCloseAndCancelChangesNothing) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("downloaded.txt", "1\t320\t/a.mp3\n2\t128\t/b.mp3\n");
  MainWindow& w = Open();
  w.show();
  // The button sits beside the preview's buttons and moves none of them.
  EXPECT_EQ(Ui().btn_settings->text(), "设置…");
  EXPECT_EQ(Ui().btn_settings->geometry(), QRect(168, 648, 75, 25));
  EXPECT_EQ(Ui().btn_listenstop->geometry(), QRect(88, 648, 75, 25));

  // Drives the modal dialog once it shows: `fill` sets its controls, then OK or Cancel.
  const auto run_dialog = [&](std::function<void(const PreferencesControls&)> fill, bool ok) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(WaitUntil([] {
        return qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget()) != nullptr;
      }));
      auto* dialog = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
      seen = true;
      fill(dialog->Controls());
      (ok ? dialog->Controls().btn_ok : dialog->Controls().btn_cancel)->click();
    });
    Ui().btn_settings->click();
    EXPECT_TRUE(seen);
  };

  const DownloadSettings chosen{3,
                                download::ExistingFilePolicy::kSkip,
                                true,
                                5,
                                512,
                                true,
                                45,
                                true,
                                {false, true, download::LyricsMode::kLrc},
                                QStringLiteral("{id} {title}"),
                                true,
                                false,
                                true,
                                QStringLiteral("socks5h://127.0.0.1:1080")};
  const auto choose = [](const PreferencesControls& c) {
    EXPECT_EQ(c.spn_parallel->value(), 1);
    EXPECT_EQ(c.lbl_archive->text(), "（已记录 2 首）");
    c.spn_parallel->setValue(3);
    c.cbb_existing->setCurrentIndex(1);
    c.chk_archive->setChecked(true);
    c.spn_retries->setValue(5);
    c.spn_speedlimit->setValue(512);
    c.chk_tags->setChecked(true);
    c.spn_stall->setValue(45);
    c.chk_embedcover->setChecked(false);
    c.chk_savecover->setChecked(true);
    c.cbb_lyrics->setCurrentIndex(1);
    c.chk_playlist->setChecked(true);
    c.chk_library->setChecked(false);
    // A template that cannot name songs is refused with its reason while it is chosen.
    c.edt_template->setText(QStringLiteral("{singer}/{nope}"));
    EXPECT_TRUE(c.btn_ok->isEnabled());
    c.chk_customname->setChecked(true);
    EXPECT_FALSE(c.btn_ok->isEnabled());
    EXPECT_TRUE(c.lbl_templatepath->text().contains(QStringLiteral("占位符")))
        << c.lbl_templatepath->text().toStdString();
    c.edt_template->setText(QStringLiteral("{id} {title}"));
    EXPECT_TRUE(c.btn_ok->isEnabled());
    EXPECT_TRUE(c.lbl_templatepath->text().endsWith(QStringLiteral("/23470020 歌曲名.mp3")))
        << c.lbl_templatepath->text().toStdString();
    EXPECT_FALSE(c.edt_proxy->isEnabled());
    c.cbb_proxy->setCurrentIndex(2);
    c.edt_proxy->setText(QStringLiteral(" socks5h://127.0.0.1:1080 "));
    c.btn_cleararchive->click();
  };
  // Cancel: nothing changes, the archive keeps its songs.
  run_dialog(choose, false);
  EXPECT_EQ(Probe().Settings(), DownloadSettings());
  EXPECT_EQ(ReadFile("downloaded.txt"), "1\t320\t/a.mp3\n2\t128\t/b.mp3\n");
  // OK: the choices hold at once (the speed limit for running transfers too), the archive is
  // emptied, and config.ini is written at close as the other settings are.
  run_dialog(choose, true);
  EXPECT_EQ(Probe().Settings(), chosen);
  EXPECT_EQ(Probe().RateLimiter().BytesPerSecond(), 512 * 1024);
  EXPECT_EQ(ReadFile("downloaded.txt"), "");
  EXPECT_FALSE(ReadFile("config.ini").contains("[Config]"));
  CloseWindow();
  EXPECT_TRUE(ReadFile("config.ini")
                  .endsWith("ParallelDownloads=3\nExistingFile=skip\nUseArchive=1\n"
                            "Retries=5\nSpeedLimitKB=512\nWriteTags=1\nStallSeconds=45\n"
                            "LinkSource=direct\n"
                            "EmbedCover=0\nSaveCover=1\nLyrics=lrc\n"
                            "NameTemplate={id} {title}\nPlaylist=1\nUseLibrary=0\n"
                            "Proxy=socks5h://127.0.0.1:1080\n"))
      << ReadFile("config.ini").toStdString();

  // The next run starts with them, and the dialog shows them.
  Open().show();
  EXPECT_EQ(Probe().Settings(), chosen);
  run_dialog(
      [&](const PreferencesControls& c) {
        EXPECT_EQ(c.spn_parallel->value(), 3);
        EXPECT_EQ(c.cbb_existing->currentIndex(), 1);
        EXPECT_TRUE(c.chk_archive->isChecked());
        EXPECT_EQ(c.spn_retries->value(), 5);
        EXPECT_EQ(c.spn_speedlimit->value(), 512);
        EXPECT_TRUE(c.chk_tags->isChecked());
        EXPECT_EQ(c.spn_stall->value(), 45);
        EXPECT_EQ(c.cbb_lyrics->currentIndex(), 1);
        EXPECT_EQ(c.cbb_proxy->currentIndex(), 2);
        EXPECT_EQ(c.edt_proxy->text(), "socks5h://127.0.0.1:1080");
        EXPECT_FALSE(c.btn_cleararchive->isEnabled());
      },
      false);
  EXPECT_EQ(Probe().Settings(), chosen);
}

TEST_F(WindowTest, AnEmptyFilterSizeStopsTheBatchBeforeItStarts) {
  // A size that is not one of the box's items leaves it empty, as an old config.ini can.
  WriteFile("config.ini", EndpointsSection() + "[Config]\nisFileterSize=1\nFileterSize=12\n");
  MainWindow& w = Open();
  Ui().edt_saveto->setText(dir_.path());
  ASSERT_TRUE(Ui().chk_isFileterSize->isChecked());
  ASSERT_EQ(Ui().cbb_minsize->currentText(), "");
  w.btn_downClick();
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, "过滤大小不是数字，请填写以MB为单位的整数");
  EXPECT_FALSE(Probe().Queue().IsRunning());
  EXPECT_TRUE(Ui().btn_down->isEnabled());

  // With a size, or with the filter off, the batch starts as always: nothing is listed, so it
  // asks about fetching everything.
  for (const bool size_chosen : {true, false}) {
    SCOPED_TRACE(size_chosen ? "a size" : "the filter off");
    if (size_chosen) {
      Ui().cbb_minsize->setCurrentIndex(0);
    } else {
      Ui().cbb_minsize->setCurrentIndex(-1);
      Ui().chk_isFileterSize->setChecked(false);
    }
    Boxes().ClearShown();
    answer_ = MessageAnswer::kNo;
    w.btn_downClick();
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().Shown().empty(); }));
    EXPECT_EQ(Boxes().Shown()[0].buttons, MessageButtons::kYesNo);
  }
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
  MainWindowUi& ui = Ui();

  ui.web1->Navigate(FileUrl("new.html"));
  ASSERT_TRUE(WaitUntil([&] { return w.SongCount() == 2; }));
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnId), "11");
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnTitle), "七里香");
  EXPECT_EQ(w.SongText(1, MainWindow::kColumnTitle), "Dont");
  EXPECT_EQ(w.SongText(1, MainWindow::kColumnSinger), "B, C");
  EXPECT_EQ(ui.stspn_info->Caption(), "抓取音乐信息完成！已抓取2首音乐信息");
  EXPECT_FALSE(ui.pnl_info->isVisible());

  // One known song, one new.
  ui.web1->Navigate(FileUrl("dayhot.html"));
  ASSERT_TRUE(WaitUntil([&] { return w.SongCount() == 3; }));
  EXPECT_EQ(w.SongText(2, MainWindow::kColumnId), "13");
  EXPECT_EQ(ui.stspn_info->Caption(), "抓取音乐信息完成！已抓取3首音乐信息");

  // The harvest button reads the page shown again; after a clear its songs come back.
  answer_ = MessageAnswer::kYes;
  w.btn_clearClick();
  w.btn_processSongClick();
  EXPECT_EQ(w.SongCount(), 2);
  EXPECT_EQ(w.SongText(0, MainWindow::kColumnId), "12");
  EXPECT_EQ(ui.stspn_info->Caption(), "抓取音乐信息完成！已抓取2首音乐信息");
}

TEST_F(WindowTest, TheChartListOpensAChartByKeyboardAsByClick) {
  WriteFile("config.ini", EndpointsSection());
  MainWindow& w = Open();
  w.show();
  MainWindowUi& ui = Ui();
  ASSERT_TRUE(WaitUntil([&] { return ui.web1->LoadsFinished() > 0 && !ui.web1->IsLoading(); }));
  int starts = 0;
  QObject::connect(ui.web1->Page(), &QWebEnginePage::loadStarted, &w, [&] { ++starts; });
  const auto click_row = [&](int row) {
    const QPoint at = ui.lst_song->visualItemRect(ui.lst_song->item(row)).center();
    QTest::mouseClick(ui.lst_song->viewport(), Qt::LeftButton, {}, at);
  };
  // The cursor on the first chart, nothing selected yet.
  ui.lst_song->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  struct Step {
    const char* name;
    std::function<void()> act;
    const char* path;
  };
  const Step steps[] = {
      {"down", [&] { QTest::keyClick(ui.lst_song, Qt::Key_Down); }, "/top/new"},
      {"end", [&] { QTest::keyClick(ui.lst_song, Qt::Key_End); }, "/top/chizha"},
      {"up", [&] { QTest::keyClick(ui.lst_song, Qt::Key_Up); }, "/top/hito"},
      {"home", [&] { QTest::keyClick(ui.lst_song, Qt::Key_Home); }, "/top/dayhot"},
      {"click on another chart", [&] { click_row(5); }, "/top/lovesong"},
      {"click on the chart selected", [&] { click_row(5); }, "/top/lovesong"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    starts = 0;
    step.act();
    const QString chart = FileUrl("music") + step.path;
    ASSERT_TRUE(WaitUntil([&] {
      return starts > 0 && ui.web1->LocationURL() == chart && !ui.web1->IsLoading();
    })) << ui.web1->LocationURL().toStdString();
  }
}

TEST_F(WindowTest, PageWithoutItemsStillEndsWithTheDoneText) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("plain.html", "<html><body>nothing to see</body></html>");
  MainWindow& w = Open();
  MainWindowUi& ui = Ui();
  const quint64 loads = ui.web1->LoadsFinished();
  ui.web1->Navigate(FileUrl("plain.html"));
  ASSERT_TRUE(WaitUntil([&] { return ui.web1->LoadsFinished() > loads; }));
  w.btn_processSongClick();
  EXPECT_EQ(w.SongCount(), 0);
  EXPECT_EQ(ui.stspn_info->Caption(), "抓取音乐信息完成！已抓取0首音乐信息");
}

TEST_F(WindowTest, TheSignInTipStaysOnlyOnPagesOfTheLoginHost) {
  WriteFile("plain.html", "<html><body>nothing to see</body></html>");
  struct Case {
    const char* name;
    const char* login_host;
    bool tip_shown;
  };
  const Case cases[] = {
      {"another host", "127.0.0.1:2", false},
      {"the page's own address", "plain.html", true},
      {"an empty host matches nothing", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("config.ini", EndpointsSection().replace("LoginHost=127.0.0.1:2",
                                                       QByteArray("LoginHost=") + c.login_host));
    MainWindow& w = Open();
    ASSERT_TRUE(Ui().pnl_logintip->isVisibleTo(&w));
    // The harvest runs last in the gate, so its done text says the gate has looked at a page:
    // first at the blank start page, then at the one under test.
    const auto gate_done = [&] {
      return Ui().stspn_info->Caption().startsWith("抓取音乐信息完成");
    };
    ASSERT_TRUE(WaitUntil(gate_done));
    Ui().stspn_info->SetCaption("");
    Ui().pnl_logintip->show();
    Ui().web1->Navigate(FileUrl("plain.html"));
    ASSERT_TRUE(WaitUntil([&] { return gate_done() && !Ui().web1->IsLoading(); }));
    ASSERT_EQ(Ui().web1->LocationURL(), FileUrl("plain.html"));
    EXPECT_EQ(Ui().pnl_logintip->isVisibleTo(&w), c.tip_shown);
    CloseWindow();
  }
}

TEST_F(WindowTest, AnExceptionOfABrowserEventIsShownByTheWindowItCameFrom) {
  WriteFile("config.ini", EndpointsSection());
  WriteFile("plain.html", "<html><body>nothing to see</body></html>");
  Open();
  // A second window, opened later, takes none of the first one's errors. It keeps its files
  // apart, as a second copy of the program would find the first one's list in use.
  QDir(dir_.path()).mkpath("other");
  QFile::copy(config_path_, dir_.filePath("other/config.ini"));
  MainWindow other(MainWindowFiles{dir_.filePath("other/config.ini"), dir_.filePath("other.mp3")});
  MainWindowProbe(other).Boxes().OnShow = [](const MessageRequest&) { return MessageAnswer::kOk; };
  Ui().web1->OnDocumentComplete = [](browser::BrowserControl&, const QString&) {
    throw std::runtime_error("gate broke");
  };
  Ui().web1->Navigate(FileUrl("plain.html"));
  ASSERT_TRUE(WaitUntil([&] { return !Boxes().Shown().empty(); }));
  const MessageRequest& box = Boxes().Shown().front();
  EXPECT_EQ(box.text, "gate broke");
  EXPECT_EQ(box.caption, MainWindow::ApplicationTitle());
  EXPECT_EQ(box.icon, MessageIcon::kError);
  EXPECT_TRUE(MainWindowProbe(other).Boxes().Shown().empty());
}

TEST_F(WindowTest, TheUsersBrowserOpensNewWindowsInPlaceAndAsksWhereDownloadsGo) {
  QByteArray song;
  for (int i = 0; i < 50000; ++i) song += static_cast<char>(i % 253);
  browser::test::TestHttpServer server;
  server.Serve("/links.html", "text/html",
               "<html><body style=\"margin:0\"><a href=\"/other.html\" target=\"_blank\" "
               "style=\"position:absolute;left:0;top:0;width:300px;height:100px;display:block\">"
               "new</a><a href=\"/song.bin\" style=\"position:absolute;left:0;top:200px;"
               "width:300px;height:100px;display:block\">file</a></body></html>");
  server.Serve("/other.html", "text/html", "<html><body>other</body></html>");
  server.Serve("/song.bin", "application/octet-stream", song,
               {"Content-Disposition: attachment; filename=\"song.bin\""});
  WriteFile("config.ini", EndpointsSection());
  QDir(dir_.path()).mkpath("songs");
  MainWindow& w = Open();
  w.show();
  MainWindowUi& ui = Ui();
  ui.edt_saveto->setText(dir_.filePath("songs"));

  const auto load_links = [&](browser::BrowserControl& web) {
    const quint64 loads = web.LoadsFinished();
    web.Navigate(server.Url("/links.html"));
    ASSERT_TRUE(WaitUntil([&] { return web.LoadsFinished() > loads && !web.IsLoading(); }));
  };
  const QPoint new_window_link(50, 50);
  const QPoint file_link(50, 250);

  // A link that asks for a new window opens in web1 itself.
  load_links(*ui.web1);
  ASSERT_TRUE(UserClick(*ui.web1, Qt::LeftButton, new_window_link,
                        [&] { return ui.web1->LocationURL() == server.Url("/other.html"); }));

  // A download asks where to go, starting in the save folder with the proposed name. The
  // dialog runs inside the engine's request, so a timer answers it.
  QList<QWebEngineDownloadRequest::DownloadState> states;
  QObject::connect(browser::BrowserControl::Profile(), &QWebEngineProfile::downloadRequested, &w,
                   [&](QWebEngineDownloadRequest* download) { states << download->state(); });
  for (const bool accept : {false, true}) {
    SCOPED_TRACE(accept ? "accepted" : "cancelled");
    states.clear();
    QString title;
    QString proposed;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      answerer.stop();
      title = dialog->windowTitle();
      proposed = dialog->selectedFiles().value(0);
      accept ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
    });
    answerer.start(20);
    load_links(*ui.web1);
    ASSERT_TRUE(UserClick(*ui.web1, Qt::LeftButton, file_link, [&] { return !states.isEmpty(); }));
    ASSERT_EQ(states.size(), 1);
    EXPECT_EQ(title, "另存为");
    EXPECT_EQ(proposed, dir_.filePath("songs/song.bin"));
    EXPECT_EQ(states.front(), accept ? QWebEngineDownloadRequest::DownloadInProgress
                                     : QWebEngineDownloadRequest::DownloadCancelled);
    if (accept) {
      EXPECT_TRUE(WaitUntil([&] {
        QFile file(dir_.filePath("songs/song.bin"));
        return file.open(QIODevice::ReadOnly) && file.readAll() == song;
      }));
    }
  }
  // A download that fails says so and why; one that succeeds says nothing.
  EXPECT_TRUE(Boxes().Shown().empty());
  ui.web1->OnDownloadEnd(*ui.web1, "/full/song.bin", "No space left");
  ASSERT_EQ(Boxes().Shown().size(), 1u);
  EXPECT_EQ(Boxes().Shown()[0].text, "文件保存失败：/full/song.bin\nNo space left");
  EXPECT_EQ(Boxes().Shown()[0].icon, MessageIcon::kError);

  // web2 only serves the batch: its downloads are refused without a question, and it offers
  // neither service.
  states.clear();
  ui.web2->Navigate(server.Url("/song.bin"));
  ASSERT_TRUE(WaitUntil([&] { return !states.isEmpty(); }));
  EXPECT_EQ(states.front(), QWebEngineDownloadRequest::DownloadCancelled);
  for (const QUuid& service : {browser::kSidNewWindowManager, browser::kSidDownloadManager}) {
    EXPECT_EQ(ui.web2->Answers().QueryService(service, service, nullptr), browser::kE_NOINTERFACE);
    EXPECT_EQ(ui.web1->Answers().QueryService(service, service, nullptr), browser::kS_OK);
  }
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
