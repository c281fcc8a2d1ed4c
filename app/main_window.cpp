#include "app/main_window.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "app/anti_freeze.h"
#include "app/batch_notice.h"
#include "app/browser_link_source.h"
#include "app/chart_list.h"
#include "app/cookie_mirror.h"
#include "app/direct_link_source.h"
#include "app/download_prompt.h"
#include "app/history_window.h"
#include "app/limits.h"
#include "app/program_paths.h"
#include "app/program_proxy.h"
#include "app/session_store.h"
#include "app/song_status_delegate.h"
#include "app/text_trim.h"
#include "browser/browser_control.h"
#include "browser/browser_proxy.h"
#include "browser/certificate_trust.h"
#include "download/download_archive.h"
#include "download/download_queue.h"
#include "download/limits.h"
#include "download/rate_limiter.h"
#include "download/row_status.h"
#include "download/song_download_job.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "widgets/status_pane.h"

namespace mevra::app {

QString MainWindow::ApplicationTitle() { return tr("Mevra音乐管家"); }

template <typename Handler>
void MainWindow::Guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    message_boxes_.Show(QString::fromUtf8(error.what()), ApplicationTitle(), MessageButtons::kOk,
                        MessageIcon::kError);
  }
}

MainWindow::MainWindow(const MainWindowFiles& files, QWidget* parent, TickClock tick_clock)
    : QWidget(parent),
      message_boxes_(this),
      config_path_(files.config_path.isEmpty() ? ProgramPaths::ConfigFilePath()
                                               : files.config_path),
      temp_path_(files.temp_path.isEmpty() ? ProgramPaths::TempFilePath() : files.temp_path),
      session_path_(
          files.config_path.isEmpty()
              ? ProgramPaths::SessionFilePath()
              : QFileInfo(files.config_path).dir().filePath(QStringLiteral("session.sqlite"))),
      tick_clock_(std::move(tick_clock)) {
  rate_limiter_ = std::make_shared<download::RateLimiter>();
  endpoints_ = Endpoints::Load(config_path_);
  // The components come first: the update client starts the socket stack, and the anti-freeze
  // has to be in force before its transfer runs.
  http_update_ = std::make_unique<http::HttpClient>();
  http::ApplyProgramConfiguration(*http_update_);
  ApplyCaFile();
  // The browser engine takes its proxy when its first page is made, which is below.
  browser::BrowserProxy::Use(ProxyChoice::FromConfig(config_path_).ForBrowser());
  antifreeze1_ = std::make_unique<AntiFreeze>();
  batch_notice_ = std::make_unique<BatchNotice>(QDBusConnection::sessionBus(), url_opener_);
  songs_ = new SongListModel(this);
  session_ = std::make_unique<SessionStore>();
  ui_.SetupUi(this, songs_);
  // Further hidden pages for parallel downloads lie where web2 does, beneath web1.
  link_source_ = std::make_unique<BrowserLinkSource>(
      *ui_.web2,
      [this]() {
        auto* page = new browser::BrowserControl(QStringLiteral("web2"), ui_.pnl_web);
        page->setGeometry(ui_.web2->geometry());
        page->SetExceptionReport({});
        page->show();
        page->lower();
        return page;
      },
      endpoints_.music_base_url, tick_clock_);
  cookie_mirror_ = new CookieMirror(*ui_.web1->Page()->profile()->cookieStore(),
                                    std::make_shared<http::CookieManager>(), this);
  direct_link_source_ = std::make_unique<DirectLinkSource>(*link_source_, cookie_mirror_->Cookies(),
                                                           endpoints_.music_base_url);
  direct_link_source_->SetCaFile(endpoints_.ca_file);
  download_queue_ = std::make_unique<download::DownloadQueue>(*direct_link_source_);
  ui_.lv_songs->setItemDelegateForColumn(kColumnStatus, new SongStatusDelegate(ui_.lv_songs));
  preview_player_ = new QMediaPlayer(this);
  preview_audio_ = new QAudioOutput(this);
  preview_player_->setAudioOutput(preview_audio_);
  FillChartList();
  ConnectHandlers();
  // Exceptions that escape a browser event end up in the same boxes as those of the buttons.
  for (browser::BrowserControl* web : {ui_.web1, ui_.web2}) {
    web->SetExceptionReport([this](const QString& text) {
      message_boxes_.Show(text, ApplicationTitle(), MessageButtons::kOk, MessageIcon::kError);
    });
  }
  FormCreate();
}

MainWindow::~MainWindow() {
  // The transfers go first (each stops, joins its thread and removes its partial file), then the
  // link source they ask, then the browsers: their events call into the handlers, which use the
  // members that are destroyed before QWidget deletes the children.
  preview_job_.reset();
  download_queue_.reset();
  direct_link_source_.reset();
  link_source_.reset();
  // Whatever the list did last is on disk before the list goes.
  session_.reset();
  ui_.web1->OnDocumentComplete = nullptr;
  delete ui_.pnl_web;
}

void MainWindow::FillChartList() {
  ui_.lst_song->clear();
  for (const Chart& chart : kCharts) {
    ui_.lst_song->addItem(ChartItemText(chart, endpoints_.music_base_url));
  }
}

void MainWindow::ApplyCaFile() {
  http_update_->SetCaFile(QFile::encodeName(endpoints_.ca_file).toStdString());
  // A file that cannot be read leaves the browsers with the engine's own authorities only; the
  // transfers then say why they fail.
  browser::CertificateTrust::SetCaFile(endpoints_.ca_file, endpoints_.Hosts());
}

void MainWindow::SetEndpoints(const Endpoints& endpoints) {
  endpoints_ = endpoints;
  ApplyCaFile();
  link_source_->SetMusicBaseUrl(endpoints_.music_base_url);
  direct_link_source_->SetMusicBaseUrl(endpoints_.music_base_url);
  direct_link_source_->SetCaFile(endpoints_.ca_file);
  FillChartList();
}

void MainWindow::ConnectHandlers() {
  auto on_click = [this](QPushButton* button, void (MainWindow::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  on_click(ui_.btn_down, &MainWindow::btn_downClick);
  on_click(ui_.btn_stop, &MainWindow::btn_stopClick);
  on_click(ui_.btn_openpath, &MainWindow::btn_openpathClick);
  on_click(ui_.btn_selectAll, &MainWindow::btn_selectAllClick);
  on_click(ui_.btn_ReSelect, &MainWindow::btn_ReSelectClick);
  on_click(ui_.btn_NotSelect, &MainWindow::btn_NotSelectClick);
  on_click(ui_.btn_clear, &MainWindow::btn_clearClick);
  on_click(ui_.btn_search, &MainWindow::btn_searchClick);
  on_click(ui_.btn_listen, &MainWindow::btn_listenClick);
  on_click(ui_.btn_listenstop, &MainWindow::btn_listenstopClick);
  on_click(ui_.btn_settings, &MainWindow::btn_settingsClick);
  on_click(ui_.btn_history, &MainWindow::btn_historyClick);
  on_click(ui_.btn_CheckUpdate, &MainWindow::btn_CheckUpdateClick);
  on_click(ui_.btn_processSong, &MainWindow::btn_processSongClick);
  connect(ui_.rb_128k, &QRadioButton::clicked, this,
          [this] { Guarded([this] { rb_128kClick(); }); });
  connect(ui_.rb_192k, &QRadioButton::clicked, this,
          [this] { Guarded([this] { rb_192kClick(); }); });
  // A chart opens whenever the selection moves to it, by the arrow keys as by the mouse; a click
  // on the chart already selected opens it again.
  connect(ui_.lst_song, &QListWidget::itemSelectionChanged, this, [this] {
    chart_opened_by_selection_ = true;
    Guarded([this] { lst_songClick(); });
  });
  connect(ui_.lst_song, &QListWidget::itemClicked, this, [this] {
    if (!chart_opened_by_selection_) Guarded([this] { lst_songClick(); });
  });
  QWidget* const watched[] = {ui_.pnl_down, ui_.lbl_web, ui_.lbl_weibo, ui_.lv_songs->viewport(),
                              ui_.lst_song->viewport()};
  for (QWidget* widget : watched) widget->installEventFilter(this);

  ui_.web1->OnDocumentComplete = [this](browser::BrowserControl& sender, const QString& url) {
    web1DocumentComplete(sender, url);
  };
  // web1 is the user's browser: a page's new window opens in it, and a download asks where to
  // go, starting in the save folder. web2 only serves the batch and opens or saves nothing.
  ui_.web1->Answers().OnEvaluateNewWindow = [](const QString&) { return browser::kS_OK; };
  ui_.web1->Answers().OnFileDownload = [this](const browser::FileDownload& download) {
    return AskDownloadPath(this, TrimText(ui_.edt_saveto->text()), download.suggested_file_name);
  };
  ui_.web1->OnDownloadEnd = [this](browser::BrowserControl&, const QString& path,
                                   const QString& error) {
    if (error.isEmpty()) return;
    message_boxes_.Show(tr("文件保存失败：%1\n%2").arg(path, error), ApplicationTitle(),
                        MessageButtons::kOk, MessageIcon::kError);
  };

  using download::DownloadQueue;
  DownloadQueue* queue = download_queue_.get();
  connect(queue, &DownloadQueue::TaskStarted, this, [this](int key) { BatchSongStarted(key); });
  connect(queue, &DownloadQueue::TransferStarted, this,
          [this](int key) { http_downloadWorkBegin(key); });
  connect(queue, &DownloadQueue::TaskProgress, this,
          [this](int key, const download::TransferProgress& progress) {
            http_downloadWork(key, progress);
          });
  connect(queue, &DownloadQueue::TransferEnded, this,
          [this](int key) { http_downloadWorkEnd(key); });
  connect(queue, &DownloadQueue::TaskDropped, this, [this](int key) { batch_tasks_.erase(key); });
  connect(queue, &DownloadQueue::TaskFinished, this,
          [this](int key, const download::JobResult& result) { BatchSongFinished(key, result); });
  connect(
      queue, &DownloadQueue::TaskRetrying, this,
      [this](int key, int retry, int retries, qint64) { BatchSongRetrying(key, retry, retries); });
  connect(queue, &DownloadQueue::BatchProgressed, this,
          [this](const download::BatchProgress& progress) { ShowBatchProgress(progress); });
  connect(queue, &DownloadQueue::BatchEnded, this,
          [this](int saved, int started, download::BatchEnd end) {
            Guarded([&] { BatchEnded(saved, started, end); });
          });

  connect(preview_player_, &QMediaPlayer::mediaStatusChanged, this,
          [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia) Guarded([this] { MciNotify(); });
          });
}

void MainWindow::FormCreate() {
  BuildStamp_ = QStringLiteral("201212251550");
  setWindowTitle(tr("《Mevra音乐管家》       Ver:2.0"));
  ui_.web1->Navigate(endpoints_.portal_home_url);
  StopRequested_ = false;
  ClearSongs();
  DownloadedCount_ = 0;
  LoadSettings();
  // Said once at start; the program then runs without a proxy.
  if (!ProgramProxy::Current().error.isEmpty()) {
    message_boxes_.Show(
        tr("代理设置无法使用，本次不经代理连接：%1").arg(ProgramProxy::Current().error),
        ApplicationTitle(), MessageButtons::kOk, MessageIcon::kError);
  }
  OpenSession();
  StartLibraryScan();
}

void MainWindow::FormClose() {
  SaveSettings();
  session_->Flush();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.pnl_down && event->type() == QEvent::Resize) {
    ui_.LayOutBottomControls();
  } else if (watched == ui_.lst_song->viewport() && event->type() == QEvent::MouseButtonPress) {
    chart_opened_by_selection_ = false;
  } else if (watched == ui_.lv_songs->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    Guarded([this] { lv_songsDblClick(); });
  } else if (watched == ui_.lbl_web || watched == ui_.lbl_weibo) {
    const bool web = watched == ui_.lbl_web;
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

void MainWindow::SetStatusText(const QString& text) { ui_.stspn_info->SetCaption(text); }

// --- Song list ------------------------------------------------------------------------------

int MainWindow::SongCount() const { return songs_->Count(); }

QString MainWindow::SongText(int row, SongColumn column) const {
  return songs_->Text(row, static_cast<SongListModel::Column>(column));
}

bool MainWindow::SongTicked(int row) const {
  return row >= 0 && row < songs_->Count() && songs_->Row(row).ticked;
}

void MainWindow::SetSongTicked(int row, bool ticked) { songs_->SetTicked(row, ticked); }

void MainWindow::AddSong(const QString& id, const QString& title, const QString& singer) {
  SongRow song;
  song.id = id;
  song.title = title;
  song.singer = singer;
  songs_->Append({song});
}

void MainWindow::ClearSongs() { songs_->Clear(); }

bool MainWindow::SongListed(const QString& id) const { return songs_->Contains(id); }

}  // namespace mevra::app
