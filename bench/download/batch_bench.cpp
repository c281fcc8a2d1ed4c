// Times a batch download of the real main window against a local portal: the whole batch from
// the click to its end, for one song at a time and for several, beside a plain curl script that
// signs in with a cookie jar and fetches the same download pages and files in sequence.
//
// The window is left as it is; the phases are read from the download queue's reports: a song's
// turn comes (TaskStarted), its transfer starts once its link is in (TransferStarted), its body
// is in (TransferEnded), and it is saved (TaskFinished).
//
//   mevra_batch_bench [--rate 128|320|both] [--songs N] [--parallel 1,3] [--data-dir DIR]
//                     [--rate-limit BYTES] [--repeat N] [--no-curl] [--per-song] [--tls]
//
// --data-dir keeps the portal's encoded files between runs; without it a fresh folder is used.
// --tls runs the portal over HTTPS with its own CA, which config.ini's CaFile names (and curl
// trusts too).
// --rate-limit starts the portal with that limit per connection. --repeat runs every batch N
// times and ends with the best and the median time of each, since a shared machine is noisy.

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "app/main_window.h"
#include "browser/browser_control.h"
#include "download/download_queue.h"
#include "portal/catalog.h"
#include "portal/song_file_cache.h"
#include "tests/app/main_window_probe.h"
#include "tests/app/window_driver.h"
#include "tests/portal/portal_process.h"

namespace {

using mevra::app::MainWindow;
using mevra::app::testing::MainWindowProbe;
using Clock = std::chrono::steady_clock;
using mevra::app::testing::EndpointsSection;
using mevra::app::testing::PortalEndpoints;
using mevra::app::testing::SubmitSignInForm;
using mevra::app::testing::WaitForSignInForm;
using mevra::app::testing::WaitUntil;

// CPU seconds of this process's main thread, where the window and the browser engine's UI work
// run, and of the whole process.
double MainThreadCpuSeconds() {
  QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(QCoreApplication::applicationPid()));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  const QByteArray text = stat.readAll();
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / 100.0 : 0;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Ordinary songs (no fault) that offer both measured rates. The shortest are taken so that the
// one-time encoding stays short; resolution does not depend on the length, and the transfer
// figures are given per byte as well.
std::vector<const mevra::portal::Song*> PickSongs(size_t count) {
  std::vector<const mevra::portal::Song*> songs;
  for (const mevra::portal::Song& song : mevra::portal::Songs()) {
    if (song.fault == mevra::portal::Fault::kNone && song.Offers(128) && song.Offers(320)) {
      songs.push_back(&song);
    }
  }
  std::stable_sort(songs.begin(), songs.end(),
                   [](const auto* a, const auto* b) { return a->seconds < b->seconds; });
  if (songs.size() > count) songs.resize(count);
  return songs;
}

// Encodes every song at every rate into the portal's data folder on both cores, so the batch
// measures the window and not the encoder.
void Prewarm(const std::vector<const mevra::portal::Song*>& songs, const std::vector<int>& rates,
             const std::string& data_dir) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i = next++; i < songs.size() * rates.size(); i = next++) {
      try {
        mevra::portal::EncodedSongBytes(*songs[i / rates.size()], rates[i % rates.size()],
                                        data_dir);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "encoding failed: %s\n", error.what());
        failed = true;
      }
    }
  };
  std::thread helper(work);
  work();
  helper.join();
  if (failed) throw std::runtime_error("the songs could not be encoded");
}

struct SongTimes {
  QString id;
  Clock::time_point turn;
  Clock::time_point transfer_begin;  // the link is in by now
  Clock::time_point transfer_end;
  Clock::time_point done;
  bool transferred = false;
  QString status;

  double LinkWaitMs() const { return transferred ? Ms(turn, transfer_begin) : Ms(turn, done); }
  double TransferMs() const { return transferred ? Ms(transfer_begin, transfer_end) : 0; }
};

// Records the phases of each song while a batch runs.
class BatchRecorder {
 public:
  explicit BatchRecorder(MainWindow& window) : window_(window) {
    mevra::download::DownloadQueue& queue = MainWindowProbe(window).Queue();
    using Queue = mevra::download::DownloadQueue;
    connections_ = {
        QObject::connect(&queue, &Queue::TaskStarted,
                         [this](int key) {
                           SongTimes& t = songs_[key];
                           t.id = window_.SongText(key, MainWindow::kColumnId);
                           t.turn = Clock::now();
                         }),
        QObject::connect(&queue, &Queue::TransferStarted,
                         [this](int key) {
                           songs_[key].transfer_begin = Clock::now();
                           songs_[key].transferred = true;
                         }),
        QObject::connect(&queue, &Queue::TransferEnded,
                         [this](int key) { songs_[key].transfer_end = Clock::now(); }),
        QObject::connect(&queue, &Queue::TaskFinished,
                         [this](int key, const mevra::download::JobResult& result) {
                           songs_[key].done = Clock::now();
                           songs_[key].status = result.RowText();
                         }),
    };
  }
  ~BatchRecorder() {
    for (const QMetaObject::Connection& connection : connections_) QObject::disconnect(connection);
  }
  BatchRecorder(const BatchRecorder&) = delete;
  BatchRecorder& operator=(const BatchRecorder&) = delete;

  std::vector<SongTimes> Songs() const {
    std::vector<SongTimes> songs;
    for (const auto& [key, times] : songs_) songs.push_back(times);
    return songs;
  }

 private:
  MainWindow& window_;
  std::map<int, SongTimes> songs_;
  std::vector<QMetaObject::Connection> connections_;
};

struct Stats {
  double total = 0;
  double mean = 0;
  double median = 0;
  double p90 = 0;
  double max = 0;
};

Stats Summarise(std::vector<double> values) {
  Stats s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  for (double v : values) s.total += v;
  s.mean = s.total / static_cast<double>(values.size());
  s.median = values[values.size() / 2];
  s.p90 = values[std::min(values.size() - 1, values.size() * 9 / 10)];
  s.max = values.back();
  return s;
}

void PrintStats(const char* name, const Stats& s) {
  std::printf("  %-24s %9.1f %9.1f %9.1f %9.1f\n", name, s.mean, s.median, s.p90, s.max);
}

// Checks the radio of `rate` and unchecks the other rates by hand. Checking one alone is not
// enough in this window: the naming radios sit in a panel inside the same parent, Qt counts them
// into the rates' auto-exclusive set, and the previously checked rate stays checked.
void ChooseRate(MainWindow& window, int rate) {
  const mevra::app::MainWindowUi& ui = MainWindowProbe(window).Ui();
  QRadioButton* chosen = rate == 128 ? ui.rb_128k : ui.rb_320k;
  for (QRadioButton* button : {ui.rb_128k, ui.rb_192k, ui.rb_320k}) {
    if (button == chosen) continue;
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
  }
  chosen->setChecked(true);
}

qint64 SavedBytes(const QString& folder) {
  qint64 bytes = 0;
  for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) bytes += file.size();
  return bytes;
}

// What the portal serves at this rate for these songs.
qint64 PortalBytes(const std::vector<const mevra::portal::Song*>& songs, int rate,
                   const std::string& data_dir) {
  qint64 expected = 0;
  for (const auto* song : songs) {
    expected += static_cast<qint64>(mevra::portal::EncodedSongBytes(*song, rate, data_dir).size());
  }
  return expected;
}

// Runs one batch of `songs` at `rate` with `parallel` transfers into `save_dir` and prints its
// lines; returns its time in ms, or a negative number when a song was not saved whole.
double RunBatch(MainWindow& window, const std::vector<const mevra::portal::Song*>& songs, int rate,
                int parallel, const std::string& data_dir, const QString& save_dir, bool per_song) {
  window.ClearSongs();
  for (const auto* song : songs) {
    window.AddSong(QString::fromStdString(song->id), QString::fromStdString(song->title),
                   QString::fromStdString(song->singer));
  }
  window.btn_selectAllClick();
  ChooseRate(window, rate);
  const MainWindowProbe probe(window);
  probe.SetParallelDownloads(parallel);
  probe.Ui().chk_isFileterSize->setChecked(false);
  QDir(save_dir).removeRecursively();
  QDir().mkpath(save_dir);
  probe.Ui().edt_saveto->setText(save_dir);
  probe.Boxes().ClearShown();

  std::vector<SongTimes> times;
  double total_ms = 0;
  const double main_cpu_before = MainThreadCpuSeconds();
  const double process_cpu_before = ProcessCpuSeconds();
  {
    BatchRecorder recorder(window);
    const Clock::time_point start = Clock::now();
    window.btn_downClick();
    if (!WaitUntil([&] { return !probe.Queue().IsRunning() && probe.Ui().btn_down->isEnabled(); },
                   3600 * 1000)) {
      std::fprintf(stderr, "the batch did not end\n");
      return -1;
    }
    total_ms = Ms(start, Clock::now());
    times = recorder.Songs();
  }

  std::vector<double> link_wait;
  std::vector<double> transfer;
  int saved = 0;
  for (const SongTimes& t : times) {
    if (t.status == QStringLiteral("下载成功")) ++saved;
    link_wait.push_back(t.LinkWaitMs());
    if (t.transferred) transfer.push_back(t.TransferMs());
  }
  const double main_cpu = MainThreadCpuSeconds() - main_cpu_before;
  const double process_cpu = ProcessCpuSeconds() - process_cpu_before;
  const qint64 bytes = SavedBytes(save_dir);
  const qint64 expected = PortalBytes(songs, rate, data_dir);
  std::printf("%3d at once   batch %8.3f s   saved %d of %zu   %.1f MB%s   %.1f MB/s\n", parallel,
              total_ms / 1000, saved, songs.size(), static_cast<double>(bytes) / 1e6,
              bytes == expected ? "" : " (NOT the portal's bytes)",
              static_cast<double>(bytes) / 1e3 / total_ms);
  std::printf(
      "  CPU of this process %.2f s, of its main thread %.2f s (browser pages not counted)\n",
      process_cpu, main_cpu);
  std::printf("  %-24s %9s %9s %9s %9s   (ms per song)\n", "", "mean", "median", "p90", "max");
  PrintStats("wait for the link at turn", Summarise(link_wait));
  PrintStats("transfer", Summarise(transfer));
  if (per_song) {
    std::printf("  %-10s %10s %10s  %s\n", "id", "link wait", "transfer", "status");
    for (const SongTimes& t : times) {
      std::printf("  %-10s %10.1f %10.1f  %s\n", t.id.toUtf8().constData(), t.LinkWaitMs(),
                  t.TransferMs(), t.status.toUtf8().constData());
    }
  }
  for (const SongTimes& t : times) {
    if (t.status != QStringLiteral("下载成功")) {
      std::printf("  song %s: %s\n", t.id.toUtf8().constData(), t.status.toUtf8().constData());
    }
  }
  std::fflush(stdout);
  return saved == static_cast<int>(songs.size()) && bytes == expected ? total_ms : -1;
}

// The same songs with curl in sequence: sign in with a cookie jar, then each download page and
// each file. Returns the time in ms, or a negative number when a file is not the portal's.
double RunCurl(const mevra::portal::testing::PortalProcess& portal,
               const std::vector<const mevra::portal::Song*>& songs, int rate,
               const QString& save_dir) {
  QDir(save_dir).removeRecursively();
  QDir().mkpath(save_dir);
  QStringList arguments = {
      QStringLiteral(MEVRA_CURL_BATCH_SCRIPT), QString::fromStdString(portal.LoginBaseUrl()),
      QString::fromStdString(portal.MusicBaseUrl()), QString::number(rate), save_dir};
  for (const auto* song : songs) arguments << QString::fromStdString(song->id);
  QProcess curl;
  if (!portal.ca_file().empty()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CURL_CA_BUNDLE"), QString::fromStdString(portal.ca_file()));
    curl.setProcessEnvironment(environment);
  }
  const Clock::time_point start = Clock::now();
  curl.start(QStringLiteral("sh"), arguments);
  if (!curl.waitForFinished(3600 * 1000) || curl.exitCode() != 0) {
    std::fprintf(stderr, "the curl script failed: %s\n", curl.readAllStandardError().constData());
    return -1;
  }
  const double total_ms = Ms(start, Clock::now());
  const qint64 bytes = SavedBytes(save_dir);
  std::printf(
      "curl script   batch %8.3f s   %.1f MB%s\n", total_ms / 1000,
      static_cast<double>(bytes) / 1e6,
      bytes == PortalBytes(songs, rate, portal.data_dir()) ? "" : " (NOT the portal's bytes)");
  std::fflush(stdout);
  return total_ms;
}

int Run(const QStringList& args) {
  std::vector<int> rates = {128, 320};
  std::vector<int> parallels = {1, 3};
  size_t song_count = 50;
  std::string data_dir;
  std::string rate_limit;
  bool per_song = false;
  bool with_curl = true;
  bool tls = false;
  int repeat = 1;
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == QStringLiteral("--rate") && has_value) {
      const QString rate = args[++i];
      if (rate == QStringLiteral("both")) {
        rates = {128, 320};
      } else if (rate == QStringLiteral("128") || rate == QStringLiteral("320")) {
        rates = {rate.toInt()};
      } else {
        std::fprintf(stderr, "--rate takes 128, 320 or both\n");
        return 2;
      }
    } else if (arg == QStringLiteral("--songs") && has_value) {
      song_count = static_cast<size_t>(std::max(1, args[++i].toInt()));
    } else if (arg == QStringLiteral("--parallel") && has_value) {
      parallels.clear();
      for (const QString& n : args[++i].split(QLatin1Char(','))) {
        parallels.push_back(std::clamp(n.toInt(), 1, 5));
      }
    } else if (arg == QStringLiteral("--data-dir") && has_value) {
      data_dir = args[++i].toStdString();
    } else if (arg == QStringLiteral("--rate-limit") && has_value) {
      rate_limit = args[++i].toStdString();
    } else if (arg == QStringLiteral("--repeat") && has_value) {
      repeat = std::max(1, args[++i].toInt());
    } else if (arg == QStringLiteral("--no-curl")) {
      with_curl = false;
    } else if (arg == QStringLiteral("--per-song")) {
      per_song = true;
    } else if (arg == QStringLiteral("--tls")) {
      tls = true;
    } else {
      std::fprintf(stderr,
                   "usage: mevra_batch_bench [--rate 128|320|both] [--songs N] [--parallel 1,3] "
                   "[--data-dir DIR] [--rate-limit BYTES] [--repeat N] [--no-curl] [--per-song] "
                   "[--tls]\n");
      return 2;
    }
  }

  const auto songs = PickSongs(song_count);
  std::vector<std::string> portal_args;
  if (!rate_limit.empty()) portal_args = {"--rate-limit", rate_limit};
  if (tls) portal_args.push_back("--tls");
  mevra::portal::testing::PortalProcess portal(mevra::portal::testing::PortalProcess::Options{
      portal_args, data_dir, std::chrono::seconds(20)});
  const Clock::time_point encode_start = Clock::now();
  Prewarm(songs, rates, portal.data_dir());
  std::printf("portal files for %zu songs ready in %.1f s (%s)%s%s\n", songs.size(),
              Ms(encode_start, Clock::now()) / 1000, portal.data_dir().c_str(),
              rate_limit.empty() ? "" : (" rate limit " + rate_limit + " B/s").c_str(),
              tls ? ", over https" : "");

  QTemporaryDir dir;
  QFile config(dir.filePath(QStringLiteral("config.ini")));
  if (!config.open(QIODevice::WriteOnly)) return 1;
  config.write(EndpointsSection(PortalEndpoints(portal)));
  config.close();
  MainWindow window(
      mevra::app::MainWindowFiles{config.fileName(), dir.filePath(QStringLiteral("temp.mp3"))});
  const MainWindowProbe probe(window);
  probe.Boxes().OnShow = [](const mevra::app::MessageRequest& request) {
    return request.buttons == mevra::app::MessageButtons::kYesNo ? mevra::app::MessageAnswer::kNo
                                                                 : mevra::app::MessageAnswer::kOk;
  };
  probe.Opener().OnOpen = [](const QString&) {};
  window.show();

  // The window opens on the sign-in page; the download pages are only shown to a signed-in user.
  mevra::browser::BrowserControl& web1 = *probe.Ui().web1;
  if (!WaitForSignInForm(web1, QString::fromStdString(portal.LoginBaseUrl()))) {
    std::fprintf(stderr, "the sign-in page did not load: %s\n",
                 web1.LocationURL().toUtf8().constData());
    return 1;
  }
  SubmitSignInForm(web1);
  if (!WaitUntil([&] { return !web1.IsLoading() && window.SongCount() > 0; }, 30000)) {
    std::fprintf(stderr, "signing in did not reach a chart\n");
    return 1;
  }

  bool all_saved = true;
  std::map<std::string, std::vector<double>> runs;  // "rate, what" -> ms of each run
  for (int round = 0; round < repeat; ++round) {
    for (int rate : rates) {
      std::printf("\n== %zu songs at %d kbps ==\n", songs.size(), rate);
      for (int parallel : parallels) {
        const QString save_dir =
            dir.filePath(QStringLiteral("songs-%1-%2").arg(rate).arg(parallel));
        const double ms =
            RunBatch(window, songs, rate, parallel, portal.data_dir(), save_dir, per_song);
        all_saved = ms >= 0 && all_saved;
        runs[std::to_string(rate) + " kbps, " + std::to_string(parallel) + " at once"].push_back(
            ms);
      }
      if (with_curl) {
        const double ms =
            RunCurl(portal, songs, rate, dir.filePath(QStringLiteral("curl-%1").arg(rate)));
        all_saved = ms >= 0 && all_saved;
        runs[std::to_string(rate) + " kbps, curl script"].push_back(ms);
      }
    }
  }
  std::printf("\n== %d run(s) of each ==\n%-28s %9s %9s\n", repeat, "", "best s", "median s");
  for (auto& [name, times] : runs) {
    std::sort(times.begin(), times.end());
    std::printf("%-28s %9.3f %9.3f\n", name.c_str(), times.front() / 1000,
                times[times.size() / 2] / 1000);
  }
  return all_saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir profile;
  mevra::browser::BrowserControl::SetProfileStoragePath(profile.path());
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  try {
    return Run(QCoreApplication::arguments());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mevra_batch_bench: %s\n", error.what());
    return 1;
  }
}
