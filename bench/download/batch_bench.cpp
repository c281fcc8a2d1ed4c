// Times a batch download of the real main window against a local portal: the whole batch, and
// for every song the link resolution in the hidden browser apart from the HTTP transfer.
//
// The window is left as it is. The phases are read from what it does anyway: the row's status
// turns "下载中" right before the song's download page is opened, the download client reports
// its first status or work span when the request goes out (the link is resolved by then), its
// read span ends when the body is in, and the row's status changes again once the file is saved.
//
//   mevra_batch_bench [--rate 128|320|both] [--songs N] [--data-dir DIR] [--per-song]
//
// --data-dir keeps the portal's encoded files between runs; without it a fresh folder is used.
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
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "browser/browser_control.h"
#include "http/http_client.h"
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
  Clock::time_point resolve_begin;
  Clock::time_point request_begin;  // the link is resolved by now
  Clock::time_point body_end;
  Clock::time_point done;
  bool requested = false;
  bool body_ended = false;
  bool finished = false;
  QString status;

  // A song whose page held no link ends without a request; its resolution ran until then.
  double ResolveMs() const {
    return requested ? Ms(resolve_begin, request_begin) : finished ? Ms(resolve_begin, done) : 0;
  }
  double TransferMs() const { return requested && finished ? Ms(request_begin, done) : 0; }
  double SaveMs() const { return body_ended && finished ? Ms(body_end, done) : 0; }
};

// Records the phases of each song while a batch runs, and restores the window's handlers after.
class BatchRecorder {
 public:
  explicit BatchRecorder(MainWindow& window) : window_(window) {
    mevra::http::HttpClient& http = MainWindowProbe(window).DownloadClient();
    saved_status_ = http.OnStatus;
    saved_begin_ = http.OnWorkBegin;
    saved_end_ = http.OnWorkEnd;
    http.OnStatus = [this](mevra::net::NetComponent& sender, mevra::net::NetStatus status,
                           const std::string& text) {
      MarkRequest();
      if (saved_status_) saved_status_(sender, status, text);
    };
    http.OnWorkBegin = [this](mevra::net::NetComponent& sender, mevra::net::WorkMode mode,
                              int32_t max) {
      MarkRequest();
      if (saved_begin_) saved_begin_(sender, mode, max);
    };
    http.OnWorkEnd = [this](mevra::net::NetComponent& sender, mevra::net::WorkMode mode) {
      if (mode == mevra::net::WorkMode::wmRead && Current()) {
        Current()->body_end = Clock::now();
        Current()->body_ended = true;
      }
      if (saved_end_) saved_end_(sender, mode);
    };
    QAbstractItemModel* model = MainWindowProbe(window).Ui().lv_songs->model();
    connection_ = QObject::connect(model, &QAbstractItemModel::dataChanged,
                                   [this](const QModelIndex& top, const QModelIndex& bottom) {
                                     if (top.column() > MainWindow::kColumnStatus ||
                                         bottom.column() < MainWindow::kColumnStatus) {
                                       return;
                                     }
                                     for (int row = top.row(); row <= bottom.row(); ++row) {
                                       StatusChanged(row);
                                     }
                                   });
  }

  ~BatchRecorder() {
    QObject::disconnect(connection_);
    mevra::http::HttpClient& http = MainWindowProbe(window_).DownloadClient();
    http.OnStatus = saved_status_;
    http.OnWorkBegin = saved_begin_;
    http.OnWorkEnd = saved_end_;
  }

  BatchRecorder(const BatchRecorder&) = delete;
  BatchRecorder& operator=(const BatchRecorder&) = delete;

  const std::vector<SongTimes>& Songs() const { return songs_; }

 private:
  SongTimes* Current() {
    return songs_.empty() || songs_.back().finished ? nullptr : &songs_.back();
  }

  void MarkRequest() {
    SongTimes* song = Current();
    if (song && !song->requested) {
      song->request_begin = Clock::now();
      song->requested = true;
    }
  }

  void StatusChanged(int row) {
    const Clock::time_point now = Clock::now();
    const QString status = window_.SongText(row, MainWindow::kColumnStatus);
    if (status == QStringLiteral("下载中")) {
      songs_.push_back({});
      songs_.back().id = window_.SongText(row, MainWindow::kColumnId);
      songs_.back().resolve_begin = now;
      return;
    }
    SongTimes* song = Current();
    if (!song || status == QStringLiteral("等待中")) return;
    song->done = now;
    song->finished = true;
    song->status = status;
  }

  MainWindow& window_;
  std::vector<SongTimes> songs_;
  QMetaObject::Connection connection_;
  std::function<void(mevra::net::NetComponent&, mevra::net::NetStatus, const std::string&)>
      saved_status_;
  std::function<void(mevra::net::NetComponent&, mevra::net::WorkMode, int32_t)> saved_begin_;
  std::function<void(mevra::net::NetComponent&, mevra::net::WorkMode)> saved_end_;
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
  std::printf("%-22s %9.3f s %9.1f %9.1f %9.1f %9.1f\n", name, s.total / 1000, s.mean, s.median,
              s.p90, s.max);
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

// Runs one batch of `songs` at `rate` into `save_dir` and prints its table. False when a song
// was not saved.
bool RunBatch(MainWindow& window, const std::vector<const mevra::portal::Song*>& songs, int rate,
              const std::string& data_dir, const QString& save_dir, bool per_song) {
  window.ClearSongs();
  for (const auto* song : songs) {
    window.AddSong(QString::fromStdString(song->id), QString::fromStdString(song->title),
                   QString::fromStdString(song->singer));
  }
  window.btn_selectAllClick();
  ChooseRate(window, rate);
  const MainWindowProbe probe(window);
  probe.Ui().chk_isFileterSize->setChecked(false);
  QDir().mkpath(save_dir);
  probe.Ui().edt_saveto->setText(save_dir);
  probe.Boxes().ClearShown();

  std::vector<SongTimes> times;
  Clock::time_point start;
  Clock::time_point end;
  {
    BatchRecorder recorder(window);
    start = Clock::now();
    window.btn_downClick();
    end = Clock::now();
    times = recorder.Songs();
  }
  const double total_ms = Ms(start, end);

  std::vector<double> resolve;
  std::vector<double> transfer;
  std::vector<double> save;
  int saved = 0;
  for (const SongTimes& t : times) {
    if (t.status == QStringLiteral("下载成功")) ++saved;
    if (t.requested || t.finished) resolve.push_back(t.ResolveMs());
    if (t.requested && t.finished) transfer.push_back(t.TransferMs());
    if (t.body_ended && t.finished) save.push_back(t.SaveMs());
  }
  qint64 bytes = 0;
  for (const QFileInfo& file : QDir(save_dir).entryInfoList(QDir::Files)) bytes += file.size();
  // What the portal serves at this rate; a different sum means the window fetched another rate.
  qint64 expected = 0;
  for (const auto* song : songs) {
    expected += static_cast<qint64>(mevra::portal::EncodedSongBytes(*song, rate, data_dir).size());
  }
  const Stats r = Summarise(resolve);
  const Stats x = Summarise(transfer);
  const Stats w = Summarise(save);
  const double between_ms = total_ms - r.total - x.total;

  std::printf("\n== %zu songs at %d kbps (portal files encoded before the batch) ==\n",
              songs.size(), rate);
  std::printf("songs saved            %d of %zu\n", saved, songs.size());
  std::printf("total batch            %9.3f s  (btn_downClick, final message box included)\n",
              total_ms / 1000);
  std::printf("%-22s %11s %9s %9s %9s %9s\n", "phase", "total", "mean ms", "median", "p90",
              "max ms");
  PrintStats("resolution", r);
  PrintStats("transfer (+ save)", x);
  PrintStats("  of which save", w);
  std::printf("%-22s %9.3f s\n", "outside the two", between_ms / 1000);
  std::printf("bytes                  %lld (%.1f MB, %.2f MB per song)%s\n",
              static_cast<long long>(bytes), static_cast<double>(bytes) / 1e6,
              static_cast<double>(bytes) / 1e6 / std::max<size_t>(1, songs.size()),
              bytes == expected ? "" : "  NOT the portal's bytes at this rate");
  std::printf("throughput             %.1f MB/s during transfers, %.1f MB/s over the batch\n",
              x.total > 0 ? static_cast<double>(bytes) / 1e3 / x.total : 0.0,
              static_cast<double>(bytes) / 1e3 / total_ms);
  std::printf("resolution share       %.1f %% of the batch (transfer %.1f %%)\n",
              100 * r.total / total_ms, 100 * x.total / total_ms);
  if (!resolve.empty()) {
    std::printf("first song resolution  %.1f ms (later songs: mean %.1f ms)\n", resolve.front(),
                resolve.size() > 1
                    ? (r.total - resolve.front()) / static_cast<double>(resolve.size() - 1)
                    : 0.0);
  }
  std::printf(
      "target                 resolution well under 2000 ms per song: mean %.0f ms, "
      "max %.0f ms\n",
      r.mean, r.max);
  if (per_song) {
    std::printf("%-10s %10s %10s %10s  %s\n", "id", "resolve", "transfer", "save", "status");
    for (const SongTimes& t : times) {
      std::printf("%-10s %10.1f %10.1f %10.1f  %s\n", t.id.toUtf8().constData(), t.ResolveMs(),
                  t.TransferMs(), t.SaveMs(), t.status.toUtf8().constData());
    }
  }
  for (const SongTimes& t : times) {
    if (t.status != QStringLiteral("下载成功")) {
      std::printf("song %s: %s\n", t.id.toUtf8().constData(), t.status.toUtf8().constData());
    }
  }
  for (const auto& shown : probe.Boxes().Shown()) {
    std::printf("message box: %s\n", shown.text.simplified().toUtf8().constData());
  }
  std::fflush(stdout);
  return saved == static_cast<int>(songs.size()) && bytes == expected;
}

int Run(const QStringList& args) {
  std::vector<int> rates = {128, 320};
  size_t song_count = 50;
  std::string data_dir;
  bool per_song = false;
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
    } else if (arg == QStringLiteral("--data-dir") && has_value) {
      data_dir = args[++i].toStdString();
    } else if (arg == QStringLiteral("--per-song")) {
      per_song = true;
    } else {
      std::fprintf(stderr,
                   "usage: mevra_batch_bench [--rate 128|320|both] [--songs N] [--data-dir DIR] "
                   "[--per-song]\n");
      return 2;
    }
  }

  const auto songs = PickSongs(song_count);
  mevra::portal::testing::PortalProcess portal(
      mevra::portal::testing::PortalProcess::Options{{}, data_dir, std::chrono::seconds(20)});
  const Clock::time_point encode_start = Clock::now();
  Prewarm(songs, rates, portal.data_dir());
  std::printf("portal files for %zu songs ready in %.1f s (%s)\n", songs.size(),
              Ms(encode_start, Clock::now()) / 1000, portal.data_dir().c_str());

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
  for (int rate : rates) {
    const QString save_dir = dir.filePath(QStringLiteral("songs-") + QString::number(rate));
    all_saved = RunBatch(window, songs, rate, portal.data_dir(), save_dir, per_song) && all_saved;
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
