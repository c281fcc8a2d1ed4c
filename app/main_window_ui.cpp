#include "app/main_window_ui.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/program_paths.h"
#include "browser/browser_control.h"
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

void MainWindowUi::SetupUi(QWidget* window, QAbstractItemModel* songs) {
  window->setWindowTitle(tr("《Mevra音乐管家》"));
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(13);
  window->setFont(font);

  auto* outer = new QVBoxLayout(window);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* columns = new QHBoxLayout;
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  outer->addLayout(columns, 1);

  pnl_web = new QWidget(window);
  pnl_web->setMinimumWidth(kWebPanelWidth);
  columns->addWidget(pnl_web, 1);
  auto* web_layout = new QVBoxLayout(pnl_web);
  web_layout->setContentsMargins(0, 0, 0, 0);
  // web2 only loads the song download pages. It stays a shown widget beneath web1, because the
  // engine slows down the scripts of pages it considers hidden.
  web2 = new browser::BrowserControl(QStringLiteral("web2"), pnl_web);
  web2->setGeometry(256, 504, 300, 150);
  web1 = new browser::BrowserControl(QStringLiteral("web1"), pnl_web);
  web_layout->addWidget(web1);
  web2->lower();

  pnl_logintip = new QLabel(tr("必须要先登录Mevra帐号后才可以下载↓↓"), pnl_web);
  pnl_logintip->setGeometry(208, 0, 305, 41);
  pnl_logintip->setAlignment(Qt::AlignCenter);
  pnl_logintip->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnl_logintip->setAutoFillBackground(true);
  SetTextColor(pnl_logintip, Qt::red);
  pnl_logintip->raise();

  pnl_down = new QWidget(window);
  pnl_down->setFixedWidth(kControlPanelWidth);
  columns->addWidget(pnl_down);
  BuildRightPanel(songs);

  stsbr1 = new widgets::StatusBar(window);
  stsbr1->setFixedHeight(widgets::StatusBar::kDefaultHeight);
  outer->addWidget(stsbr1);
  stspn_info = new widgets::StatusPane(stsbr1);
  stspn_info->SetWidth(510);
  stspn_info->SetFrameStyle(widgets::FrameStyle::fsStatus);
  stspn_info->SetAlign(widgets::PaneAlign::alLeft);
  prgrsts_downloadpg = new widgets::ProgressStatus(stsbr1);
  prgrsts_downloadpg->SetAlign(widgets::PaneAlign::alClient);
  prgrsts_downloadpg->SetBarColor(QColor(128, 128, 128));
  prgrsts_downloadpg->SetNumSegments(1);
  prgrsts_downloadpg->SetShowPercent(true);
  prgrsts_downloadpg->SetPercent(0);
  stsbr1->ApplyBarLook();

  slctfldrdlg1 = new widgets::SelectFolderDialog(window);
  using Option = widgets::SelectFolderDialogOption;
  slctfldrdlg1->SetOptions(Option::sfdoCreateDeleteButtons | Option::sfdoContextMenus |
                           Option::sfdoIncludeNonFolders | Option::sfdoCreateFolderIcon |
                           Option::sfdoDeleteFolderIcon | Option::sfdoShowHidden);
  slctfldrdlg1->SetToolBtnGradientColorStyle(widgets::GradientColorStyle::gcsMSOffice);

  window->resize(kWindowWidth, kWindowHeight);
  if (QScreen* screen = window->screen()) {
    const QRect desktop = screen->availableGeometry();
    window->move(desktop.center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
  }
}

void MainWindowUi::BuildRightPanel(QAbstractItemModel* songs) {
  QWidget* p = pnl_down;
  lbl1 = MakeLabel(p, 8, 9, tr("全部榜单："));
  lst_song = new QListWidget(p);
  lst_song->setGeometry(8, 25, 193, 168);
  lst_song->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Items carry their address after a run of blanks; it is cut off, not elided with dots.
  lst_song->setTextElideMode(Qt::ElideNone);

  btn_down = MakeButton(p, {216, 12, 128, 33}, tr("开始下载"));
  btn_stop = MakeButton(p, {216, 56, 128, 33}, tr("停止下载"));
  btn_stop->setEnabled(false);

  lbl3 = MakeLabel(p, 400, 8, tr("歌曲文件名设定："));
  pnl1 = new QWidget(p);
  pnl1->setGeometry(384, 24, 153, 81);
  rb1 = MakeRadio(pnl1, 16, 8, tr("歌曲名"));
  rb2 = MakeRadio(pnl1, 16, 32, tr("歌曲名 - 歌手名"));
  rb3 = MakeRadio(pnl1, 16, 56, tr("歌手名 - 歌曲名"));

  rb_128k = MakeRadio(p, 216, 108, tr("标准品质128K"));
  rb_192k = MakeRadio(p, 336, 108, tr("高品质192K"));
  rb_320k = MakeRadio(p, 440, 108, tr("超高品质320K"));
  // Each set is its own group: left to the buttons' automatic exclusivity, which looks at every
  // radio button below the same parent, the naming buttons inside pnl1 would count as rate
  // buttons too, and a rate chosen in code would leave the previous one checked.
  for (const auto& set : {std::initializer_list<QRadioButton*>{rb1, rb2, rb3},
                          std::initializer_list<QRadioButton*>{rb_128k, rb_192k, rb_320k}}) {
    auto* group = new QButtonGroup(p);
    for (QRadioButton* button : set) group->addButton(button);
  }

  lbl2 = MakeLabel(p, 216, 142, tr("保存位置："));
  edt_saveto = new QLineEdit(ProgramPaths::DefaultSaveFolder(), p);
  edt_saveto->setGeometry(287, 138, 179, 21);
  edt_saveto->setReadOnly(true);
  btn_openpath = MakeButton(p, {472, 136, 57, 25}, tr("浏览"));

  // The blanks in the caption leave room for the size box laid over it.
  chk_isFileterSize = new QCheckBox(tr("自动过滤小于                M的音乐文件"), p);
  chk_isFileterSize->setGeometry(216, 169, 289, 17);
  cbb_minsize = new QComboBox(p);
  cbb_minsize->setGeometry(323, 166, 81, 21);
  for (int megabytes = 2; megabytes <= 10; ++megabytes) {
    cbb_minsize->addItem(QString::number(megabytes));
  }
  cbb_minsize->setCurrentIndex(0);
  cbb_minsize->raise();
  FitCaptionAroundSizeBox();

  btn_selectAll = MakeButton(p, {8, 197, 75, 24}, tr("全选"));
  btn_ReSelect = MakeButton(p, {82, 197, 75, 24}, tr("反选"));
  btn_NotSelect = MakeButton(p, {156, 197, 75, 24}, tr("取消选择"));
  btn_clear = MakeButton(p, {230, 197, 75, 24}, tr("清除列表"));
  edt_search = new QLineEdit(p);
  edt_search->setGeometry(320, 200, 121, 21);
  btn_search = MakeButton(p, {448, 198, 89, 25}, tr("搜索歌曲名"));

  lv_songs = new QTableView(p);
  lv_songs->setModel(songs);
  lv_songs->setGeometry(8, kSongListTop, 545, kSongListHeight);
  const int widths[] = {86, 180, 130, 145};
  for (int column = 0; column < 4; ++column) lv_songs->setColumnWidth(column, widths[column]);
  lv_songs->verticalHeader()->hide();
  lv_songs->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The minimum first: the default section size is clamped to it, and the style's minimum for
  // this font is larger than 20.
  lv_songs->verticalHeader()->setMinimumSectionSize(kSongRowHeight);
  lv_songs->verticalHeader()->setDefaultSectionSize(kSongRowHeight);
  lv_songs->horizontalHeader()->setSectionsClickable(false);
  lv_songs->horizontalHeader()->setHighlightSections(false);
  lv_songs->setShowGrid(true);
  lv_songs->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_songs->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_songs->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_songs->setSortingEnabled(false);
  lv_songs->setWordWrap(false);
  // The selection stays visible when the list loses the focus.
  QPalette list_palette = lv_songs->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    list_palette.setColor(QPalette::Inactive, role, list_palette.color(QPalette::Active, role));
  }
  lv_songs->setPalette(list_palette);

  btn_listen = MakeButton(p, {8, 648, 75, 25}, tr("试听"));
  btn_listenstop = MakeButton(p, {88, 648, 75, 25}, tr("停止试听"));
  btn_listenstop->setEnabled(false);
  // Beside the preview's buttons, where it moves none of the others.
  btn_settings = MakeButton(p, {168, 648, 75, 25}, tr("设置…"));
  btn_history = MakeButton(p, {248, 648, 89, 25}, tr("下载记录…"));
  lbl_web = MakeLabel(p, 8, 681, tr("作者：Pelko(pelko)"));
  lbl_weibo = MakeLabel(p, 184, 681, tr("新浪微博： pelko"));
  for (QLabel* link : {lbl_web, lbl_weibo}) {
    SetTextColor(link, Qt::blue);
    link->setCursor(Qt::PointingHandCursor);
  }
  btn_CheckUpdate = MakeButton(p, {448, 676, 99, 25}, tr("检查更新"));

  pnl_info = new QLabel(tr("抓取中......"), p);
  pnl_info->setGeometry(16, 368, 513, 73);
  pnl_info->setAlignment(Qt::AlignCenter);
  pnl_info->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnl_info->setAutoFillBackground(true);
  QPalette info_palette = pnl_info->palette();
  info_palette.setColor(QPalette::Window, QColor(225, 255, 225));
  info_palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
  pnl_info->setPalette(info_palette);
  QFont info_font = p->font();
  info_font.setPixelSize(16);
  info_font.setBold(true);
  pnl_info->setFont(info_font);
  pnl_info->hide();

  btn_processSong = MakeButton(p, {384, 320, 145, 49}, tr("开始分析"));
  btn_processSong->hide();
  mmo_log = new QPlainTextEdit(QStringLiteral("mmo_log"), p);
  mmo_log->setGeometry(80, 472, 185, 89);
  mmo_log->hide();
}

void MainWindowUi::FitCaptionAroundSizeBox() {
  // The caption's blanks were measured for a narrower font than ours. When the size box no
  // longer fits over them, it is narrowed to the room they leave, so "M的音乐文件" stays
  // readable and the caption's text stays as it is.
  const QString caption = chk_isFileterSize->text();
  // The box lies over the longest run of blanks; a translated caption has single blanks
  // between its words too.
  qsizetype first_blank = -1;
  qsizetype blanks = 0;
  for (qsizetype i = 0; i < caption.size();) {
    qsizetype end = i;
    while (end < caption.size() && caption[end] == QLatin1Char(' ')) ++end;
    if (end - i > blanks) {
      first_blank = i;
      blanks = end - i;
    }
    i = end == i ? i + 1 : end;
  }
  if (first_blank < 0 || blanks == 0) return;
  QStyleOptionButton option;
  option.initFrom(chk_isFileterSize);
  const QRect text_rect = chk_isFileterSize->style()->subElementRect(QStyle::SE_CheckBoxContents,
                                                                     &option, chk_isFileterSize);
  const QFontMetrics metrics(chk_isFileterSize->font());
  const int blanks_left = chk_isFileterSize->x() + text_rect.left() +
                          metrics.horizontalAdvance(caption.left(first_blank));
  const int room = static_cast<int>(blanks) * metrics.horizontalAdvance(QLatin1Char(' '));
  const QRect box = cbb_minsize->geometry();
  if (box.left() >= blanks_left && box.right() < blanks_left + room) return;
  constexpr int kMargin = 2;
  constexpr int kNarrowestBox = 40;  // still shows "10" and the drop-down arrow
  cbb_minsize->setGeometry(blanks_left + kMargin, box.top(),
                           std::max(room - 2 * kMargin, kNarrowestBox), box.height());
}

void MainWindowUi::LayOutBottomControls() {
  // The song list takes the extra height; the controls under it keep their distance to the
  // bottom edge.
  const int extra = std::max(0, pnl_down->height() - kDesignPanelHeight);
  lv_songs->setGeometry(8, kSongListTop, 545, kSongListHeight + extra);
  btn_listen->move(8, 648 + extra);
  btn_listenstop->move(88, 648 + extra);
  btn_settings->move(168, 648 + extra);
  btn_history->move(248, 648 + extra);
  lbl_web->move(8, 681 + extra);
  lbl_weibo->move(184, 681 + extra);
  btn_CheckUpdate->move(448, 676 + extra);
}

}  // namespace mevra::app
