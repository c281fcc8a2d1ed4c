#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/config_settings.h"
#include "app/download_settings.h"
#include "app/endpoints.h"
#include "app/main_window_ui.h"
#include "app/message_boxes.h"
#include "app/session_database.h"
#include "app/song_list_model.h"
#include "app/tick_clock.h"
#include "app/url_opener.h"
#include "download/library_scan.h"
#include "download/song_task.h"

class QAudioOutput;
class QMediaPlayer;

namespace mevra::browser {
class BrowserControl;
}
namespace mevra::download {
class DownloadQueue;
class RateLimiter;
class SongDownloadJob;
enum class BatchEnd;
enum class NamingScheme;
struct BatchProgress;
struct DownloadPolicies;
struct JobResult;
struct TransferProgress;
}  // namespace mevra::download
namespace mevra::http {
class HttpClient;
}

namespace mevra::app {

class AntiFreeze;
class BatchNotice;
class BrowserLinkSource;
class CookieMirror;
class DirectLinkSource;
class HistoryWindow;
class SessionStore;
namespace testing {
class MainWindowProbe;
}

// Where a test wants the window's files; empty members mean the program's own locations.
// session.sqlite lies beside a config.ini given here.
struct MainWindowFiles {
  QString config_path;  // config.ini
  QString temp_path;    // temp.mp3 of the preview
};

// The program's one window: a live browser on the music portal at the left, the song list and
// its commands at the right, the status bar at the bottom. Every handler runs on the GUI thread.
//
// The handlers are public and keep the names of the window's design; the controls (in ui_), the
// components and the state fields are private, and only the window's own files touch them.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Columns of the song list; the id column carries the row's check box.
  enum SongColumn {
    kColumnId = SongListModel::kColumnId,
    kColumnTitle = SongListModel::kColumnTitle,
    kColumnSinger = SongListModel::kColumnSinger,
    kColumnStatus = SongListModel::kColumnStatus,
  };

  // The application title in the chosen language, caption of the program's plain message
  // dialogs.
  static QString ApplicationTitle();

  explicit MainWindow(const MainWindowFiles& files = {}, QWidget* parent = nullptr,
                      TickClock tick_clock = SystemTickCount);
  ~MainWindow() override;

  // --- Start-up, settings, helpers -------------------------------------------------------------
  void FormCreate();
  void FormClose();
  void LoadSettings();
  // The Proxy setting, for the update check and the transfers started from now on.
  void ApplyProxy();
  void SaveSettings();
  void btn_openpathClick();
  // "设置…": the download preferences, in a modal dialog. OK applies them (the speed limit at
  // once, the rest from the next batch on) and the window writes them at close.
  void btn_settingsClick();
  // "下载记录…": the history of the songs that ended, in a window of its own.
  void btn_historyClick();
  // Waits while dispatching window messages; messages are dispatched at least once. Ends when
  // `milliseconds` have passed on the tick clock or the clock wrapped.
  void PumpDelay(double milliseconds);
  // Size of a file in bytes, 0 when it does not exist (capped at the largest 32-bit value).
  static int32_t FileSizeOf(const QString& path);

  // --- Harvesting and chart navigation ---------------------------------------------------------
  void btn_processSongClick();
  void lst_songClick();
  void web1DocumentComplete(browser::BrowserControl& sender, const QString& url);

  // --- List commands ---------------------------------------------------------------------------
  void btn_selectAllClick();
  void btn_NotSelectClick();
  void btn_ReSelectClick();
  void lv_songsDblClick();
  void btn_searchClick();
  void btn_clearClick();

  // --- Update check and author links ------------------------------------------------------------
  void btn_CheckUpdateClick();
  void lbl_webClick();
  void lbl_weiboClick();
  void lbl_webMouseEnter();
  void lbl_webMouseLeave();
  void lbl_weiboMouseEnter();
  void lbl_weiboMouseLeave();

  // --- Batch download and progress (main_window_download.cpp) ---------------------------------
  // The batch runs in the download queue; these start it, stop it and show what it reports.
  void btn_downClick();
  void btn_stopClick();
  void rb_128kClick();
  void rb_192kClick();
  // A song's transfer began, progressed (at most 20 times a second) and ended. With one song at
  // a time they drive the status pane and the percent indicator; with more, the batch's whole.
  void http_downloadWorkBegin(int key);
  void http_downloadWork(int key, const download::TransferProgress& progress);
  void http_downloadWorkEnd(int key);
  // The same for the preview's transfer.
  void http_tempWorkBegin();
  void http_tempWork(const download::TransferProgress& progress);
  void http_tempWorkEnd();

  // --- Preview (main_window_preview.cpp) --------------------------------------------------------
  void btn_listenClick();
  void btn_listenstopClick();
  // Runs when the preview player reaches the end of the file; it plays it again from the start.
  void MciNotify();

  // --- Song list helpers -------------------------------------------------------------------------
  // The list itself; these helpers read and change it as the handlers do.
  SongListModel& Songs() const { return *songs_; }
  int SongCount() const;
  QString SongText(int row, SongColumn column) const;
  bool SongTicked(int row) const;
  void SetSongTicked(int row, bool ticked);
  // Appends an unticked row with the status "等待中", unless the id is listed already.
  void AddSong(const QString& id, const QString& title, const QString& singer);
  void ClearSongs();
  bool SongListed(const QString& id) const;

  const Endpoints& EndpointsInUse() const { return endpoints_; }
  // Points the window at other endpoints (the chart list follows); start-up reads them from
  // config.ini, this is for tests that move a server while a window stays open.
  void SetEndpoints(const Endpoints& endpoints);
  const QString& ConfigPath() const { return config_path_; }
  // downloaded.txt, the archive of saved songs, beside config.ini.
  QString ArchivePath() const;
  const QString& TempPath() const { return temp_path_; }
  const QString& SessionPath() const { return session_path_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Tests reach the controls, components and state through this one door.
  friend class testing::MainWindowProbe;

  void ConnectHandlers();
  void FillChartList();
  // Hands the endpoints' extra CA file to the update client and the browsers; the download jobs
  // take it with their tasks.
  void ApplyCaFile();
  // Runs a handler; an exception that escapes it is shown in a message box, as the event loop
  // of the system would, and the program carries on.
  template <typename Handler>
  void Guarded(Handler&& handler);
  void SetStatusText(const QString& text);
  QString SelectedRateText() const;
  download::NamingScheme SelectedNamingScheme() const;
  // The window's choices as config.ini keeps them, and the other way round (the download
  // preferences stay apart in download_settings_).
  ConfigSettings CurrentSettings() const;
  void ShowSettings(const ConfigSettings& settings);

  // --- Batch (main_window_download.cpp) ---
  // Starts a batch over the rows of `keys`, in list order; each row is fetched if it is still
  // listed and ticked when its turn comes. `end_key` bounds the rows a later start may resume.
  void StartBatch(std::vector<int> keys, int end_key);
  // The song of a batch row as the choices stand now; nullopt for a row that is gone or
  // unticked.
  std::optional<download::SongTask> BatchTask(int key) const;
  // The song list's row of a batch key; -1 once the row is gone.
  int BatchRow(int key) const;
  void BatchSongStarted(int key);
  void BatchSongFinished(int key, const download::JobResult& result);
  void BatchSongRetrying(int key, int retry, int retries);
  void BatchEnded(int saved, int started, download::BatchEnd end);
  // The policies of a batch or a preview started now, from the preferences.
  download::DownloadPolicies Policies() const;
  // Shows a row's progress in its status cell, or plain text again with an empty `text`.
  void SetRowProgress(int row, int percent, const QString& text);
  // The pane and the indicator: one song's transfer at a time, or with several songs at once
  // the batch as a whole.
  void ShowBatchProgress(const download::BatchProgress& progress);
  void PreviewFinished(const download::JobResult& result);
  // "Playlist": the batch's saved songs into TITLE.m3u8 of each harvested page, in the save
  // folder, with those a batch from the same page saved before (main_window_playlist.cpp).
  void WriteBatchPlaylists();
  // "UseLibrary": the save folder is scanned for the songs it holds, in the background
  // (main_window_library.cpp); waiting rows that are there already are marked and unticked.
  void StartLibraryScan();
  void MarkLibrarySongs();

  // --- Session and history (main_window_session.cpp) ---
  // Shows the list the session kept and offers to go on with a batch it was in.
  void OpenSession();
  void AskToResume();
  // The rows of the kept batch still to fetch: ticked, and waiting or unfinished.
  std::vector<int> ResumableKeys(const BatchRecord& batch) const;
  void RecordHistory(const download::SongTask& task, const download::JobResult& result);
  // "重试失败": the songs back in the list, ticked, and a batch over them.
  void RetryFailed(const std::vector<HistoryEntry>& songs);
  void ClearHistoryAsked();

  MainWindowUi ui_;

  // --- Components ----------------------------------------------------------------------------
  // The update check has a client of its own, so it never shows in the batch's progress and the
  // stop button never reaches it.
  std::unique_ptr<http::HttpClient> http_update_;
  std::unique_ptr<AntiFreeze> antifreeze1_;
  // Song links from the hidden browsers, asked for the pages that give none directly.
  std::unique_ptr<BrowserLinkSource> link_source_;
  // Song links read by the program's own client with the profile's cookies, for the batch and
  // the preview alike.
  CookieMirror* cookie_mirror_ = nullptr;
  std::unique_ptr<DirectLinkSource> direct_link_source_;
  std::unique_ptr<download::DownloadQueue> download_queue_;
  std::unique_ptr<download::SongDownloadJob> preview_job_;
  // The song list (a child of the window) and the session that keeps it.
  SongListModel* songs_ = nullptr;
  std::unique_ptr<SessionStore> session_;
  HistoryWindow* history_window_ = nullptr;
  // The preview's player and its output take the place of the system's media device.
  QMediaPlayer* preview_player_ = nullptr;
  QAudioOutput* preview_audio_ = nullptr;
  // Every message box and every opened web page goes through these two, so tests can answer.
  MessageBoxes message_boxes_;
  UrlOpener url_opener_;
  // Tells the desktop once that a batch is over.
  std::unique_ptr<BatchNotice> batch_notice_;

  // --- State ---------------------------------------------------------------------------------
  QString BuildStamp_;
  // The user asked the running batch to stop; the preview is stopped through its own job.
  bool StopRequested_ = false;
  int32_t DownloadedCount_ = 0;
  // The custom naming choice (RenameType 4) holds while no naming button is checked.
  bool custom_naming_ = false;
  QString PreviewTitle_;
  int32_t PreviewTotal_ = 0;
  int32_t PreviewDone_ = 0;
  // The preferences of the settings dialog, as config.ini keeps them.
  DownloadSettings download_settings_;
  // One speed limit for the batch's transfers and the preview's.
  std::shared_ptr<download::RateLimiter> rate_limiter_;
  // The first pause before a retry; tests shorten it.
  int64_t retry_backoff_base_ms_ = download::kRetryBackoffBaseMs;
  // The songs the running batch has taken, by key, for the history of those that end.
  std::map<int, download::SongTask> batch_tasks_;
  // The songs the running batch saved, by key, for its playlists.
  struct SavedSong {
    QString path;
    QString folder;
    QString page;
  };
  std::map<int, SavedSong> batch_saved_;
  // What the last library scan found; empty while none has ended.
  download::LibraryIndex library_;
  // The batch the session kept from the last run, until the user has answered for it.
  BatchRecord kept_batch_;
  // The chart list's selection changed during the current mouse press and opened the chart, so
  // the click that ends the press has nothing left to open.
  bool chart_opened_by_selection_ = false;

  Endpoints endpoints_;
  QString config_path_;
  QString temp_path_;
  QString session_path_;
  TickClock tick_clock_;
};

}  // namespace mevra::app
