#pragma once

// The tests' one door into the main window: its controls, its components and its state fields.
// The handlers and the song-list helpers are public and need no probe.
#include <cstdint>

#include "app/main_window.h"

namespace mevra::app::testing {

class MainWindowProbe {
 public:
  explicit MainWindowProbe(MainWindow& window) : window_(window) {}

  MainWindowUi& Ui() const { return window_.ui_; }
  // Tests answer every box through OnShow (a modal box would hang the run) and read what was
  // shown; opened web pages are recorded instead of launched the same way.
  MessageBoxes& Boxes() const { return window_.message_boxes_; }
  UrlOpener& Opener() const { return window_.url_opener_; }
  http::HttpClient& DownloadClient() const { return *window_.http_download_; }
  http::HttpClient& PreviewClient() const { return *window_.http_temp_; }
  QMediaPlayer& PreviewPlayer() const { return *window_.preview_player_; }

  const QString& BuildStamp() const { return window_.BuildStamp_; }
  bool StopRequested() const { return window_.StopRequested_; }
  int32_t DownloadedCount() const { return window_.DownloadedCount_; }

 private:
  MainWindow& window_;
};

}  // namespace mevra::app::testing
