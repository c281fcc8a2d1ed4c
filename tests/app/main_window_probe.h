#pragma once

// The tests' one door into the main window: its controls, its components and its state fields.
// The handlers and the song-list helpers are public and need no probe.
#include <QButtonGroup>
#include <QRadioButton>
#include <cstdint>

#include "app/browser_link_source.h"
#include "app/cookie_mirror.h"
#include "app/direct_link_source.h"
#include "app/main_window.h"
#include "download/download_queue.h"
#include "download/song_download_job.h"
#include "http/cookie_manager.h"

namespace mevra::app::testing {

class MainWindowProbe {
 public:
  explicit MainWindowProbe(MainWindow& window) : window_(window) {}

  MainWindowUi& Ui() const { return window_.ui_; }
  // Tests answer every box through OnShow (a modal box would hang the run) and read what was
  // shown; opened web pages are recorded instead of launched the same way.
  MessageBoxes& Boxes() const { return window_.message_boxes_; }
  UrlOpener& Opener() const { return window_.url_opener_; }
  http::HttpClient& UpdateClient() const { return *window_.http_update_; }
  BrowserLinkSource& LinkSource() const { return *window_.link_source_; }
  DirectLinkSource& DirectLinks() const { return *window_.direct_link_source_; }
  // The cookies the window's own clients send, kept in step with the browser profile's.
  http::CookieManager& PageCookies() const { return *window_.cookie_mirror_->Cookies(); }
  download::DownloadQueue& Queue() const { return *window_.download_queue_; }
  // The preview's job; null before the first preview.
  download::SongDownloadJob* PreviewJob() const { return window_.preview_job_.get(); }
  QMediaPlayer& PreviewPlayer() const { return *window_.preview_player_; }

  const QString& BuildStamp() const { return window_.BuildStamp_; }
  bool StopRequested() const { return window_.StopRequested_; }
  int32_t DownloadedCount() const { return window_.DownloadedCount_; }
  int ParallelDownloads() const { return window_.download_settings_.parallel_downloads; }
  void SetParallelDownloads(int count) const {
    window_.download_settings_.parallel_downloads = count;
  }
  const DownloadSettings& Settings() const { return window_.download_settings_; }
  void SetSettings(const DownloadSettings& settings) const {
    window_.download_settings_ = settings;
  }
  // The custom naming choice, as OK in the preferences dialog with it chosen.
  void ChooseCustomNaming() const {
    window_.custom_naming_ = true;
    QButtonGroup* group = window_.ui_.rb1->group();
    group->setExclusive(false);
    for (QRadioButton* button : {window_.ui_.rb1, window_.ui_.rb2, window_.ui_.rb3}) {
      button->setChecked(false);
    }
    group->setExclusive(true);
  }
  // A scan of the save folder as it stands, as choosing the folder starts one.
  void StartLibraryScan() const { window_.StartLibraryScan(); }
  // Pauses between tries short enough for a test; the server's Retry-After still counts.
  void SetRetryBackoffBaseMs(int64_t ms) const { window_.retry_backoff_base_ms_ = ms; }
  download::RateLimiter& RateLimiter() const { return *window_.rate_limiter_; }

 private:
  MainWindow& window_;
};

}  // namespace mevra::app::testing
