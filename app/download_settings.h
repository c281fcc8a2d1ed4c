#pragma once

#include <QString>
#include <functional>

#include "download/download_policies.h"
#include "download/limits.h"

namespace mevra::app {

// The download choices of the preferences dialog, kept in section "Config" of config.ini after
// the window's own keys. The defaults fetch as the program always did, one song at a time.
struct DownloadSettings {
  int parallel_downloads = download::kDefaultParallelDownloads;
  download::ExistingFilePolicy existing_file = download::ExistingFilePolicy::kRename;
  bool use_archive = false;
  int retries = download::kDefaultRetries;
  int speed_limit_kb = 0;  // KB/s for all transfers together; 0: none
  bool write_tags = false;
  // No byte for this long fails a transfer, which is then tried again.
  int stall_seconds = download::kDefaultStallSeconds;
  // Links are read from the songs' pages with the program's own client ("direct"), the browser
  // reading only pages that give none; or by the browser alone ("browser").
  bool direct_links = true;
  // The cover and lyrics a saved song gets (EmbedCover, SaveCover, Lyrics).
  download::ExtrasOptions extras;
  // The template of the custom naming choice (RenameType 4); an invalid one reads as the
  // default.
  QString name_template = QStringLiteral("{singer}/{singer} - {title}");
  // After each batch, TITLE.m3u8 of the saved songs of each harvested page (Playlist).
  bool playlist = false;
  // Songs a file below the save folder is already are shown so and left unticked (UseLibrary).
  bool use_library = true;
  // One desktop notification when a batch ends while the window is not the active one. Read
  // only: the dialog does not offer it, so the key stays as the user wrote it.
  bool notify = true;
  // "system", "none" or a proxy URL, as written; ProxyChoice::Read tells what it means, and a
  // URL that names no usable proxy is kept as the user wrote it.
  QString proxy = QStringLiteral("system");

  // Reads the keys through `read` (key, default text -> text); a missing value, or one that is
  // no valid choice, reads as the default.
  static DownloadSettings Read(const std::function<QString(const char* key)>& read);
  // Writes the keys the dialog offers, in their order, through `write`.
  void Write(const std::function<void(const char* key, const QString& value)>& write) const;

  bool operator==(const DownloadSettings&) const = default;
};

}  // namespace mevra::app
