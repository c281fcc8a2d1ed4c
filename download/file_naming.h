#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace mevra::download {

// Which names the file system of a save folder takes besides those every one takes.
enum class NameRules {
  kPosix,  // every name without "/" and NUL
  kFat,    // FAT, exFAT and NTFS, as memory cards and music players have them
};

// The file-name schemes of the naming radio buttons.
enum class NamingScheme { kTitle, kTitleSinger, kSingerTitle, kTemplate };

// What a name template's placeholders stand for: {title} {singer} {id} {rate} {page}.
struct TemplateValues {
  QString title;
  QString singer;
  QString id;
  QString rate;
  QString page;  // the title of the page the song was harvested from
};

// Why `name_template` cannot name songs, in the user's words; empty when it can. A template is
// "/"-separated parts, each text and placeholders; the last part is the file name, and it needs
// {title} or {id} so that two songs never get one name.
QString NameTemplateError(const QString& name_template);

// The path below the save folder (without extension) that a valid template gives: only the
// template's own "/" separate folders; each part, values put in, is made safe as one file name
// (a "/" inside a value never makes a folder) and cut to fit, an empty part becomes "_".
QString TemplateBaseName(const QString& name_template, const TemplateValues& values,
                         NameRules rules);

// The file name (without extension) a song is saved under. Title and singer are trimmed.
QString SongFileName(NamingScheme scheme, const QString& title, const QString& singer);

// Makes a name taken from a web page safe to use as one file name inside the save folder:
// path separators and control characters become "_", and "." or ".." become "_" so that the
// name can never climb out of the folder or name the folder itself.
QString SafeFileName(const QString& name);

// Makes a name one that FAT, exFAT and NTFS take and their players show: the characters
// : * ? " < > | and trailing dots and blanks become "_", and a name the other system reserves for
// a device (CON, NUL, COM1 ... with any extension) gets a "_" after it.
QString FatSafeFileName(const QString& name);

// The longest prefix of `name` that is at most `max_bytes` long in UTF-8, never cut within a
// character.
QString CutToUtf8Bytes(const QString& name, int max_bytes);

// The bytes the longest name derived from a song's base name adds to it: "_new" and the rate,
// ".mp3", the last part file's ".15.part" and its record's ".info".
int DerivedNameBytes();

// The base name (without extension) a song is saved under in a folder with `rules`: its name by
// the scheme, made safe, and cut so that every name derived from it fits kMaxFileNameBytes.
QString SongBaseName(NamingScheme scheme, const QString& title, const QString& singer,
                     NameRules rules);

// The path a downloaded song is written to: save folder + "/" + name + ".mp3", or, when that
// file exists already, save folder + "/" + name + "_new" + rate + ".mp3" (which is replaced if
// it exists too).
QString SongSavePath(const QString& save_folder, const QString& name, const QString& rate,
                     const std::function<bool(const QString&)>& file_exists);

// Where the body of a file bound for `target` comes in until it is complete: `target` + ".part",
// or, for the `attempt`-th transfer bound for the same target at once, `target` + "." + attempt
// + ".part". Nothing named like a finished song ever holds a partial body.
QString PartFilePath(const QString& target, int attempt = 0);

// The small-file filter's decision: true when a saved file of `file_size` bytes is to be
// deleted, that is when its size in whole kilobytes does not exceed the limit in megabytes
// given by the size box. nullopt when the size box does not hold a number.
std::optional<bool> SizeFilterRemoves(int64_t file_size, const QString& megabytes_text);

}  // namespace mevra::download
