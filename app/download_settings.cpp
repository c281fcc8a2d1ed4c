#include "app/download_settings.h"

#include "app/text_trim.h"
#include "download/file_naming.h"

namespace mevra::app {
namespace {

// A whole number from `low` to `high`, else `fallback`.
int ReadInteger(const QString& text, int low, int high, int fallback) {
  bool ok = false;
  const int value = TrimText(text).toInt(&ok, 10);
  return ok && value >= low && value <= high ? value : fallback;
}

// "1" or "0", else `fallback`.
bool ReadFlag(const QString& text, bool fallback) {
  const QString value = TrimText(text);
  if (value == QLatin1String("1")) return true;
  if (value == QLatin1String("0")) return false;
  return fallback;
}

QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

DownloadSettings DownloadSettings::Read(const std::function<QString(const char* key)>& read) {
  const DownloadSettings defaults;
  DownloadSettings settings;
  settings.parallel_downloads = ReadInteger(
      read("ParallelDownloads"), 1, download::kMaxParallelDownloads, defaults.parallel_downloads);
  settings.existing_file = download::ParseExistingFilePolicy(TrimText(read("ExistingFile")))
                               .value_or(defaults.existing_file);
  settings.use_archive = ReadFlag(read("UseArchive"), defaults.use_archive);
  settings.retries = ReadInteger(read("Retries"), 0, download::kMaxRetries, defaults.retries);
  settings.speed_limit_kb =
      ReadInteger(read("SpeedLimitKB"), 0, download::kMaxSpeedLimitKB, defaults.speed_limit_kb);
  settings.write_tags = ReadFlag(read("WriteTags"), defaults.write_tags);
  settings.stall_seconds = ReadInteger(read("StallSeconds"), download::kMinStallSeconds,
                                       download::kMaxStallSeconds, defaults.stall_seconds);
  const QString link_source = TrimText(read("LinkSource"));
  settings.direct_links = link_source == QLatin1String("browser")  ? false
                          : link_source == QLatin1String("direct") ? true
                                                                   : defaults.direct_links;
  settings.extras.embed_cover = ReadFlag(read("EmbedCover"), defaults.extras.embed_cover);
  settings.extras.save_cover = ReadFlag(read("SaveCover"), defaults.extras.save_cover);
  settings.extras.lyrics =
      download::ParseLyricsMode(read("Lyrics")).value_or(defaults.extras.lyrics);
  const QString name_template = TrimText(read("NameTemplate"));
  settings.name_template =
      download::NameTemplateError(name_template).isEmpty() ? name_template : defaults.name_template;
  settings.playlist = ReadFlag(read("Playlist"), defaults.playlist);
  settings.use_library = ReadFlag(read("UseLibrary"), defaults.use_library);
  settings.notify = ReadFlag(read("Notify"), defaults.notify);
  const QString proxy = TrimText(read("Proxy"));
  settings.proxy = proxy.isEmpty() ? defaults.proxy : proxy;
  return settings;
}

void DownloadSettings::Write(
    const std::function<void(const char* key, const QString& value)>& write) const {
  write("ParallelDownloads", QString::number(parallel_downloads));
  write("ExistingFile", download::ExistingFilePolicyName(existing_file));
  write("UseArchive", Flag(use_archive));
  write("Retries", QString::number(retries));
  write("SpeedLimitKB", QString::number(speed_limit_kb));
  write("WriteTags", Flag(write_tags));
  write("StallSeconds", QString::number(stall_seconds));
  write("LinkSource", direct_links ? QStringLiteral("direct") : QStringLiteral("browser"));
  write("EmbedCover", Flag(extras.embed_cover));
  write("SaveCover", Flag(extras.save_cover));
  write("Lyrics", download::LyricsModeName(extras.lyrics));
  write("NameTemplate", name_template);
  write("Playlist", Flag(playlist));
  write("UseLibrary", Flag(use_library));
  write("Proxy", proxy);
}

}  // namespace mevra::app
