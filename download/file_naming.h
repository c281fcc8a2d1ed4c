#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace mevra::download {

// The file-name schemes of the naming radio buttons.
enum class NamingScheme { kTitle, kTitleSinger, kSingerTitle };

// The file name (without extension) a song is saved under. Title and singer are trimmed.
QString SongFileName(NamingScheme scheme, const QString& title, const QString& singer);

// Makes a name taken from a web page safe to use as one file name inside the save folder:
// path separators and control characters become "_", and "." or ".." become "_" so that the
// name can never climb out of the folder or name the folder itself.
QString SafeFileName(const QString& name);

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
