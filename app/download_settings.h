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
  // "system", "none" or a proxy URL, as written; ProxyChoice::Read tells what it means, and a
  // URL that names no usable proxy is kept as the user wrote it.
  QString proxy = QStringLiteral("system");

  // Reads the keys through `read` (key, default text -> text); a missing value, or one that is
  // no valid choice, reads as the default.
  static DownloadSettings Read(const std::function<QString(const char* key)>& read);
  // Writes the keys, in their order, through `write`.
  void Write(const std::function<void(const char* key, const QString& value)>& write) const;

  bool operator==(const DownloadSettings&) const = default;
};

}  // namespace mevra::app
