#pragma once

#include <QString>
#include <optional>

namespace mevra::app {

// What "--batch URL" was given; an option not given leaves config.ini's choice.
struct BatchOptions {
  QString page_url;
  std::optional<int> rate;  // 128, 192 or 320
  std::optional<QString> save_folder;
  std::optional<int> parallel;  // 1 to the largest number the preferences allow
};

// Reads the options that follow "--batch": the page URL first, then --rate, --to and --parallel
// (each as "--name value" or "--name=value"). `argv` holds what follows "--batch"; "--lang" and
// its value are left to the caller. Nothing, with `error` set, for an option that is unknown,
// lacks its value or has one that is no valid choice.
std::optional<BatchOptions> ReadBatchOptions(int argc, char** argv, QString* error);

// Exit statuses of a batch without a window.
constexpr int kBatchAllSaved = 0;
constexpr int kBatchSongFailed = 1;
constexpr int kBatchCouldNotStart = 2;
// As a shell reports a program ended by Ctrl-C.
constexpr int kBatchInterrupted = 130;

// Harvests the page in an offscreen browser with the saved profile and downloads every song of
// it with config.ini's settings and the options, without writing anything back to config.ini.
// One line per song on standard output, a progress line on standard error when that is a
// terminal. Needs the application object; returns the exit status.
int RunBatch(const BatchOptions& options);

}  // namespace mevra::app
