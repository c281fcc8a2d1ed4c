#include "app/main_window.h"

#include <QAudioOutput>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "app/anti_freeze.h"
#include "app/chart_list.h"
#include "app/limits.h"
#include "app/program_paths.h"
#include "browser/browser_control.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "widgets/progress_status.h"
#include "widgets/select_folder_dialog.h"
#include "widgets/status_bar.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

// The window's client size when it opens; the design's coordinates are laid out for it.
constexpr int kWindowWidth = 1088;
constexpr int kWindowHeight = 763;
constexpr int kWebPanelWidth = 513;
constexpr int kControlPanelWidth = 559;
// Height of the control panel that the design's coordinates assume (window less status bar).
constexpr int kDesignPanelHeight = kWindowHeight - widgets::StatusBar::kDefaultHeight;
constexpr int kSongListTop = 224;
constexpr int kSongListHeight = 417;
constexpr int kSongRowHeight = 20;

QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->move(x, y);
  label->adjustSize();
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QRect& geometry, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(geometry);
  return button;
}

QRadioButton* MakeRadio(QWidget* parent, int x, int y, const QString& text) {
  auto* radio = new QRadioButton(text, parent);
  radio->move(x, y);
  radio->adjustSize();
  return radio;
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  widget->setPalette(palette);
}

}  // namespace

const QString MainWindow::kApplicationTitle = QStringLiteral("Mevra音乐管家");

template <typename Handler>
void MainWindow::Guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    message_boxes_.Show(QString::fromUtf8(error.what()), kApplicationTitle, MessageButtons::kOk,
                        MessageIcon::kError);
  }
}

MainWindow::MainWindow(const MainWindowFiles& files, QWidget* parent, TickClock tick_clock)
    : QWidget(parent),
      message_boxes_(this),
      config_path_(files.config_path.isEmpty() ? ProgramPaths::ConfigFilePath()
                                               : files.config_path),
      temp_path_(files.temp_path.isEmpty() ? ProgramPaths::TempFilePath() : files.temp_path),
      tick_clock_(std::move(tick_clock)) {
  endpoints_ = Endpoints::Load(config_path_);
  // The components come first: the transfer clients start the socket stack, and the
  // anti-freeze has to be in force before any transfer runs.
  http_download_ = std::make_unique<http::HttpClient>();
  http_temp_ = std::make_unique<http::HttpClient>();
  http::ApplyProgramConfiguration(*http_download_);
  http::ApplyProgramConfiguration(*http_temp_);
  antifreeze1_ = std::make_unique<AntiFreeze>();
  BuildControls();
  ConnectHandlers();
  // Exceptions that escape a browser event end up in the same boxes as those of the buttons.
  for (browser::BrowserControl* web : {web1_, web2_}) {
    web->SetExceptionReport([this](const QString& text) {
      message_boxes_.Show(text, kApplicationTitle, MessageButtons::kOk, MessageIcon::kError);
    });
  }
  FormCreate();
}

MainWindow::~MainWindow() {
  // The browsers go first: their events call into the handlers, which use the members that
  // are destroyed before QWidget deletes the children.
  web1_->OnDocumentComplete = nullptr;
  delete pnl_web_;
}

void MainWindow::BuildControls() {
  setWindowTitle(QStringLiteral("《Mevra音乐管家》"));
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(13);
  setFont(font);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* columns = new QHBoxLayout;
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  outer->addLayout(columns, 1);

  pnl_web_ = new QWidget(this);
  pnl_web_->setMinimumWidth(kWebPanelWidth);
  columns->addWidget(pnl_web_, 1);
  auto* web_layout = new QVBoxLayout(pnl_web_);
  web_layout->setContentsMargins(0, 0, 0, 0);
  // web2 only loads the song download pages. It stays a shown widget beneath web1, because the
  // engine slows down the scripts of pages it considers hidden.
  web2_ = new browser::BrowserControl(QStringLiteral("web2"), pnl_web_);
  web2_->setGeometry(256, 504, 300, 150);
  web1_ = new browser::BrowserControl(QStringLiteral("web1"), pnl_web_);
  web_layout->addWidget(web1_);
  web2_->lower();

  pnl_logintip_ = new QLabel(QStringLiteral("必须要先登录Mevra帐号后才可以下载↓↓"), pnl_web_);
  pnl_logintip_->setGeometry(208, 0, 305, 41);
  pnl_logintip_->setAlignment(Qt::AlignCenter);
  pnl_logintip_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnl_logintip_->setAutoFillBackground(true);
  SetTextColor(pnl_logintip_, Qt::red);
  pnl_logintip_->raise();

  pnl_down_ = new QWidget(this);
  pnl_down_->setFixedWidth(kControlPanelWidth);
  columns->addWidget(pnl_down_);
  BuildRightPanel();

  stsbr1_ = new widgets::StatusBar(this);
  stsbr1_->setFixedHeight(widgets::StatusBar::kDefaultHeight);
  outer->addWidget(stsbr1_);
  stspn_info_ = new widgets::StatusPane(stsbr1_);
  stspn_info_->SetWidth(510);
  stspn_info_->SetFrameStyle(widgets::FrameStyle::fsStatus);
  stspn_info_->SetAlign(widgets::PaneAlign::alLeft);
  prgrsts_downloadpg_ = new widgets::ProgressStatus(stsbr1_);
  prgrsts_downloadpg_->SetAlign(widgets::PaneAlign::alClient);
  prgrsts_downloadpg_->SetBarColor(QColor(128, 128, 128));
  prgrsts_downloadpg_->SetNumSegments(1);
  prgrsts_downloadpg_->SetShowPercent(true);
  prgrsts_downloadpg_->SetPercent(0);
  stsbr1_->ApplyBarLook();

  slctfldrdlg1_ = new widgets::SelectFolderDialog(this);
  using Option = widgets::SelectFolderDialogOption;
  slctfldrdlg1_->SetOptions(Option::sfdoCreateDeleteButtons | Option::sfdoContextMenus |
                            Option::sfdoIncludeNonFolders | Option::sfdoCreateFolderIcon |
                            Option::sfdoDeleteFolderIcon | Option::sfdoShowHidden);
  slctfldrdlg1_->SetToolBtnGradientColorStyle(widgets::GradientColorStyle::gcsMSOffice);

  preview_player_ = new QMediaPlayer(this);
  preview_audio_ = new QAudioOutput(this);
  preview_player_->setAudioOutput(preview_audio_);

  resize(kWindowWidth, kWindowHeight);
  if (QScreen* screen = this->screen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
  }
}

void MainWindow::BuildRightPanel() {
  QWidget* p = pnl_down_;
  lbl1_ = MakeLabel(p, 8, 9, QStringLiteral("全部榜单："));
  lst_song_ = new QListWidget(p);
  lst_song_->setGeometry(8, 25, 193, 168);
  lst_song_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Items carry their address after a run of blanks; it is cut off, not elided with dots.
  lst_song_->setTextElideMode(Qt::ElideNone);

  btn_down_ = MakeButton(p, {216, 12, 128, 33}, QStringLiteral("开始下载"));
  btn_stop_ = MakeButton(p, {216, 56, 128, 33}, QStringLiteral("停止下载"));
  btn_stop_->setEnabled(false);

  lbl3_ = MakeLabel(p, 400, 8, QStringLiteral("歌曲文件名设定："));
  pnl1_ = new QWidget(p);
  pnl1_->setGeometry(384, 24, 153, 81);
  rb1_ = MakeRadio(pnl1_, 16, 8, QStringLiteral("歌曲名"));
  rb2_ = MakeRadio(pnl1_, 16, 32, QStringLiteral("歌曲名 - 歌手名"));
  rb3_ = MakeRadio(pnl1_, 16, 56, QStringLiteral("歌手名 - 歌曲名"));

  rb_128k_ = MakeRadio(p, 216, 108, QStringLiteral("标准品质128K"));
  rb_192k_ = MakeRadio(p, 336, 108, QStringLiteral("高品质192K"));
  rb_320k_ = MakeRadio(p, 440, 108, QStringLiteral("超高品质320K"));
  // Each set is its own group: left to the buttons' automatic exclusivity, which looks at every
  // radio button below the same parent, the naming buttons inside pnl1 would count as rate
  // buttons too, and a rate chosen in code would leave the previous one checked.
  for (const auto& set : {std::initializer_list<QRadioButton*>{rb1_, rb2_, rb3_},
                          std::initializer_list<QRadioButton*>{rb_128k_, rb_192k_, rb_320k_}}) {
    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : set) group->addButton(button);
  }

  lbl2_ = MakeLabel(p, 216, 142, QStringLiteral("保存位置："));
  edt_saveto_ = new QLineEdit(ProgramPaths::DefaultSaveFolder(), p);
  edt_saveto_->setGeometry(287, 138, 179, 21);
  edt_saveto_->setReadOnly(true);
  btn_openpath_ = MakeButton(p, {472, 136, 57, 25}, QStringLiteral("浏览"));

  // The blanks in the caption leave room for the size box laid over it.
  chk_isFileterSize_ = new QCheckBox(QStringLiteral("自动过滤小于                M的音乐文件"), p);
  chk_isFileterSize_->setGeometry(216, 169, 289, 17);
  cbb_minsize_ = new QComboBox(p);
  cbb_minsize_->setGeometry(323, 166, 81, 21);
  for (int megabytes = 2; megabytes <= 10; ++megabytes) {
    cbb_minsize_->addItem(QString::number(megabytes));
  }
  cbb_minsize_->setCurrentIndex(0);
  cbb_minsize_->raise();
  FitCaptionAroundSizeBox();

  btn_selectAll_ = MakeButton(p, {8, 197, 75, 24}, QStringLiteral("全选"));
  btn_ReSelect_ = MakeButton(p, {82, 197, 75, 24}, QStringLiteral("反选"));
  btn_NotSelect_ = MakeButton(p, {156, 197, 75, 24}, QStringLiteral("取消选择"));
  btn_clear_ = MakeButton(p, {230, 197, 75, 24}, QStringLiteral("清除列表"));
  edt_search_ = new QLineEdit(p);
  edt_search_->setGeometry(320, 200, 121, 21);
  btn_search_ = MakeButton(p, {448, 198, 89, 25}, QStringLiteral("搜索歌曲名"));

  lv_songs_ = new QTableWidget(0, 4, p);
  lv_songs_->setGeometry(8, kSongListTop, 545, kSongListHeight);
  lv_songs_->setHorizontalHeaderLabels({QStringLiteral("歌曲编号"), QStringLiteral("歌曲名"),
                                        QStringLiteral("歌手名"), QStringLiteral("状态")});
  const int widths[] = {86, 180, 130, 145};
  for (int column = 0; column < 4; ++column) lv_songs_->setColumnWidth(column, widths[column]);
  lv_songs_->verticalHeader()->hide();
  lv_songs_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The minimum first: the default section size is clamped to it, and the style's minimum for
  // this font is larger than 20.
  lv_songs_->verticalHeader()->setMinimumSectionSize(kSongRowHeight);
  lv_songs_->verticalHeader()->setDefaultSectionSize(kSongRowHeight);
  lv_songs_->horizontalHeader()->setSectionsClickable(false);
  lv_songs_->horizontalHeader()->setHighlightSections(false);
  lv_songs_->setShowGrid(true);
  lv_songs_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_songs_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_songs_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_songs_->setSortingEnabled(false);
  lv_songs_->setWordWrap(false);
  // The selection stays visible when the list loses the focus.
  QPalette list_palette = lv_songs_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    list_palette.setColor(QPalette::Inactive, role, list_palette.color(QPalette::Active, role));
  }
  lv_songs_->setPalette(list_palette);

  btn_listen_ = MakeButton(p, {8, 648, 75, 25}, QStringLiteral("试听"));
  btn_listenstop_ = MakeButton(p, {88, 648, 75, 25}, QStringLiteral("停止试听"));
  btn_listenstop_->setEnabled(false);
  lbl_web_ = MakeLabel(p, 8, 681, QStringLiteral("作者：Pelko(pelko)"));
  lbl_weibo_ = MakeLabel(p, 184, 681, QStringLiteral("新浪微博： pelko"));
  for (QLabel* link : {lbl_web_, lbl_weibo_}) {
    SetTextColor(link, Qt::blue);
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
  }
  btn_CheckUpdate_ = MakeButton(p, {448, 676, 99, 25}, QStringLiteral("检查更新"));

  pnl_info_ = new QLabel(QStringLiteral("抓取中......"), p);
  pnl_info_->setGeometry(16, 368, 513, 73);
  pnl_info_->setAlignment(Qt::AlignCenter);
  pnl_info_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnl_info_->setAutoFillBackground(true);
  QPalette info_palette = pnl_info_->palette();
  info_palette.setColor(QPalette::Window, QColor(225, 255, 225));
  info_palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
  pnl_info_->setPalette(info_palette);
  QFont info_font = font();
  info_font.setPixelSize(16);
  info_font.setBold(true);
  pnl_info_->setFont(info_font);
  pnl_info_->hide();

  btn_processSong_ = MakeButton(p, {384, 320, 145, 49}, QStringLiteral("开始分析"));
  btn_processSong_->hide();
  lst_repeatProcess_ = new QListWidget(p);
  lst_repeatProcess_->setGeometry(368, 464, 121, 97);
  lst_repeatProcess_->hide();
  mmo_log_ = new QPlainTextEdit(QStringLiteral("mmo_log"), p);
  mmo_log_->setGeometry(80, 472, 185, 89);
  mmo_log_->hide();

  FillChartList();
  pnl_down_->installEventFilter(this);
}

void MainWindow::FillChartList() {
  lst_song_->clear();
  for (const Chart& chart : kCharts) {
    lst_song_->addItem(ChartItemText(chart, endpoints_.music_base_url));
  }
}

void MainWindow::SetEndpoints(const Endpoints& endpoints) {
  endpoints_ = endpoints;
  FillChartList();
}

void MainWindow::FitCaptionAroundSizeBox() {
  // The caption's blanks were measured for a narrower font than ours. When the size box no
  // longer fits over them, it is narrowed to the room they leave, so "M的音乐文件" stays
  // readable and the caption's text stays as it is.
  const QString caption = chk_isFileterSize_->text();
  const qsizetype first_blank = caption.indexOf(QLatin1Char(' '));
  const qsizetype blanks = caption.count(QLatin1Char(' '));
  if (first_blank < 0 || blanks == 0) return;
  QStyleOptionButton option;
  option.initFrom(chk_isFileterSize_);
  const QRect text_rect = chk_isFileterSize_->style()->subElementRect(QStyle::SE_CheckBoxContents,
                                                                      &option, chk_isFileterSize_);
  const QFontMetrics metrics(chk_isFileterSize_->font());
  const int blanks_left = chk_isFileterSize_->x() + text_rect.left() +
                          metrics.horizontalAdvance(caption.left(first_blank));
  const int room = static_cast<int>(blanks) * metrics.horizontalAdvance(QLatin1Char(' '));
  const QRect box = cbb_minsize_->geometry();
  if (box.left() >= blanks_left && box.right() < blanks_left + room) return;
  constexpr int kMargin = 2;
  constexpr int kNarrowestBox = 40;  // still shows "10" and the drop-down arrow
  cbb_minsize_->setGeometry(blanks_left + kMargin, box.top(),
                            std::max(room - 2 * kMargin, kNarrowestBox), box.height());
}

void MainWindow::LayOutBottomControls() {
  // The song list takes the extra height; the controls under it keep their distance to the
  // bottom edge.
  const int extra = std::max(0, pnl_down_->height() - kDesignPanelHeight);
  lv_songs_->setGeometry(8, kSongListTop, 545, kSongListHeight + extra);
  btn_listen_->move(8, 648 + extra);
  btn_listenstop_->move(88, 648 + extra);
  lbl_web_->move(8, 681 + extra);
  lbl_weibo_->move(184, 681 + extra);
  btn_CheckUpdate_->move(448, 676 + extra);
}

void MainWindow::ConnectHandlers() {
  auto on_click = [this](QPushButton* button, void (MainWindow::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  on_click(btn_down_, &MainWindow::btn_downClick);
  on_click(btn_stop_, &MainWindow::btn_stopClick);
  on_click(btn_openpath_, &MainWindow::btn_openpathClick);
  on_click(btn_selectAll_, &MainWindow::btn_selectAllClick);
  on_click(btn_ReSelect_, &MainWindow::btn_ReSelectClick);
  on_click(btn_NotSelect_, &MainWindow::btn_NotSelectClick);
  on_click(btn_clear_, &MainWindow::btn_clearClick);
  on_click(btn_search_, &MainWindow::btn_searchClick);
  on_click(btn_listen_, &MainWindow::btn_listenClick);
  on_click(btn_listenstop_, &MainWindow::btn_listenstopClick);
  on_click(btn_CheckUpdate_, &MainWindow::btn_CheckUpdateClick);
  on_click(btn_processSong_, &MainWindow::btn_processSongClick);
  connect(rb_128k_, &QRadioButton::clicked, this, [this] { Guarded([this] { rb_128kClick(); }); });
  connect(rb_192k_, &QRadioButton::clicked, this, [this] { Guarded([this] { rb_192kClick(); }); });
  connect(lst_song_, &QListWidget::itemClicked, this,
          [this] { Guarded([this] { lst_songClick(); }); });
  lv_songs_->viewport()->installEventFilter(this);

  web1_->OnDocumentComplete = [this](browser::BrowserControl& sender, const QString& url) {
    web1DocumentComplete(sender, url);
  };

  http_download_->OnWorkBegin = [this](net::NetComponent& s, net::WorkMode m, int32_t max) {
    http_downloadWorkBegin(s, m, max);
  };
  http_download_->OnWork = [this](net::NetComponent& s, net::WorkMode m, int32_t count) {
    http_downloadWork(s, m, count);
  };
  http_download_->OnWorkEnd = [this](net::NetComponent& s, net::WorkMode m) {
    http_downloadWorkEnd(s, m);
  };
  http_temp_->OnWorkBegin = [this](net::NetComponent& s, net::WorkMode m, int32_t max) {
    http_tempWorkBegin(s, m, max);
  };
  http_temp_->OnWork = [this](net::NetComponent& s, net::WorkMode m, int32_t count) {
    http_tempWork(s, m, count);
  };
  http_temp_->OnWorkEnd = [this](net::NetComponent& s, net::WorkMode m) { http_tempWorkEnd(s, m); };

  connect(preview_player_, &QMediaPlayer::mediaStatusChanged, this,
          [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia) Guarded([this] { MciNotify(); });
          });
}

void MainWindow::FormCreate() {
  BuildStamp_ = QStringLiteral("201212251550");
  setWindowTitle(QStringLiteral("《Mevra音乐管家》       Ver:2.0"));
  web1_->Navigate(endpoints_.portal_home_url);
  StopRequested_ = false;
  ClearSongs();
  DownloadedCount_ = 0;
  LoadSettings();
}

void MainWindow::FormClose() { SaveSettings(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pnl_down_ && event->type() == QEvent::Resize) {
    LayOutBottomControls();
  } else if (watched == lv_songs_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    Guarded([this] { lv_songsDblClick(); });
  } else if (watched == lbl_web_ || watched == lbl_weibo_) {
    const bool web = watched == lbl_web_;
    switch (event->type()) {
      case QEvent::Enter:
        web ? lbl_webMouseEnter() : lbl_weiboMouseEnter();
        break;
      case QEvent::Leave:
        web ? lbl_webMouseLeave() : lbl_weiboMouseLeave();
        break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
          Guarded([this, web] { web ? lbl_webClick() : lbl_weiboClick(); });
        }
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::PumpDelay(double milliseconds) {
  const uint32_t start = tick_clock_();
  while (true) {
    QCoreApplication::processEvents();
    const uint32_t now = tick_clock_();
    if (TickWaitOver(start, now, milliseconds)) return;
    // Sleep in the event loop until the time is up or a slice has passed; events that arrive
    // meanwhile are handled at once.
    const double left = milliseconds - static_cast<double>(now - start);
    const int slice =
        static_cast<int>(std::clamp(std::ceil(left), 1.0, static_cast<double>(kPumpDelaySliceMs)));
    QEventLoop loop;
    QTimer::singleShot(slice, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

int32_t MainWindow::FileSizeOf(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return 0;
  return static_cast<int32_t>(std::min<qint64>(info.size(), std::numeric_limits<int32_t>::max()));
}

void MainWindow::SetStatusText(const QString& text) { stspn_info_->SetCaption(text); }

// --- Song list ------------------------------------------------------------------------------

int MainWindow::SongCount() const { return lv_songs_->rowCount(); }

QString MainWindow::SongText(int row, SongColumn column) const {
  const QTableWidgetItem* item = lv_songs_->item(row, column);
  return item ? item->text() : QString();
}

void MainWindow::SetSongText(int row, SongColumn column, const QString& text) {
  if (row < 0 || row >= lv_songs_->rowCount()) return;
  if (QTableWidgetItem* item = lv_songs_->item(row, column)) item->setText(text);
}

bool MainWindow::SongTicked(int row) const {
  const QTableWidgetItem* item = lv_songs_->item(row, kColumnId);
  return item && item->checkState() == Qt::Checked;
}

void MainWindow::SetSongTicked(int row, bool ticked) {
  if (QTableWidgetItem* item = lv_songs_->item(row, kColumnId)) {
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
}

void MainWindow::AddSong(const QString& id, const QString& title, const QString& singer) {
  const int row = lv_songs_->rowCount();
  lv_songs_->insertRow(row);
  const QString texts[] = {id, title, singer, QStringLiteral("等待中")};
  for (int column = 0; column < 4; ++column) {
    auto* item = new QTableWidgetItem(texts[column]);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                   (column == kColumnId ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
    if (column == kColumnId) item->setCheckState(Qt::Unchecked);
    lv_songs_->setItem(row, column, item);
  }
  lst_repeatProcess_->addItem(id);
  listed_ids_.insert(id);
}

void MainWindow::ClearSongs() {
  lv_songs_->setRowCount(0);
  lst_repeatProcess_->clear();
  listed_ids_.clear();
}

bool MainWindow::SongListed(const QString& id) {
  // The set mirrors the hidden list box; rebuild it should anyone have changed the box directly.
  if (listed_ids_.size() != lst_repeatProcess_->count()) {
    listed_ids_.clear();
    for (int i = 0; i < lst_repeatProcess_->count(); ++i) {
      listed_ids_.insert(lst_repeatProcess_->item(i)->text());
    }
  }
  return listed_ids_.contains(id);
}

}  // namespace mevra::app
