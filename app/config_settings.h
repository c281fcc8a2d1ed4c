#pragma once

#include <QString>

#include "app/download_settings.h"
#include "app/ini_document.h"

namespace mevra::app {

// Every choice section "Config" of config.ini keeps, read and written in one place. Reading
// never fails: a missing key, or a text that is no whole number where one is wanted, reads as
// its default. Values that are whole numbers but no choice of the window (a rate of 256) are
// kept as they are; the window then checks none of its buttons, as it always did.
struct ConfigSettings {
  QString save_path;                          // SavePath
  bool filter_small = false;                  // isFileterSize: "1" or not
  QString filter_size = QStringLiteral("2");  // FileterSize, megabytes as the size box shows them
  int song_bit = 320;                         // SongBit: 128, 192 or 320
  int rename_type = 2;        // RenameType: 1 title, 2 title - singer, 3 singer - title
  DownloadSettings download;  // the preferences dialog's keys

  // Reads the section; `default_save_path` stands for a missing SavePath.
  static ConfigSettings Read(const IniDocument& ini, const QString& default_save_path);
  // Writes every key in its order: a key new to the file goes at the end of the section, every
  // other line stays as it was.
  void Write(IniDocument& ini) const;

  bool operator==(const ConfigSettings&) const = default;
};

}  // namespace mevra::app
