// The song list at 10,000 rows, in the real window: a chart page of that many songs harvested
// from its load to the rows on screen, the list commands, a start with a session of that many
// rows, the memory a row takes, and what the session costs per finished song. A plain program
// that prints each figure beside its budget, since most of them are single long measurements.
//
//   mevra_list_bench [--songs N] [--repeat N]

#include <malloc.h>

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/session_database.h"
#include "app/session_store.h"
#include "browser/browser_control.h"
#include "tests/app/main_window_probe.h"
#include "tests/app/window_driver.h"
#include "tests/portal/portal_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using mevra::app::MainWindow;
using mevra::app::testing::MainWindowProbe;
using mevra::app::testing::WaitUntil;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void Report(const char* what, double value, double budget, const char* unit) {
  std::printf("  %-52s %9.1f %-5s (budget %g %s)%s\n", what, value, unit, budget, unit,
              value <= budget ? "" : "  OVER");
}

struct Stats {
  double median = 0;
  double max = 0;
};

Stats Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.back()};
}

// Every round of the event loop until nothing is pending, so what a change asked the view to
// draw has been drawn.
void DrainEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// A window over `folder`'s config.ini, boxes answered with `answer`.
std::unique_ptr<MainWindow> OpenWindow(const QString& folder, mevra::app::MessageAnswer answer) {
  auto window = std::make_unique<MainWindow>(mevra::app::MainWindowFiles{
      folder + QStringLiteral("/config.ini"), folder + QStringLiteral("/temp.mp3")});
  MainWindowProbe probe(*window);
  probe.Boxes().OnShow = [answer](const mevra::app::MessageRequest&) { return answer; };
  probe.Opener().OnOpen = [](const QString&) {};
  return window;
}

void WriteConfig(const QString& folder, const QByteArray& endpoints) {
  QFile config(folder + QStringLiteral("/config.ini"));
  if (config.open(QIODevice::WriteOnly)) config.write(endpoints);
}

size_t HeapInUse() { return mallinfo2().uordblks; }

// From the page's load to the last of its rows drawn, through the window's own harvest.
void Harvest(const mevra::portal::testing::PortalProcess& portal, int songs, int repeat) {
  std::printf("harvest of a %d-song chart page\n", songs);
  const QByteArray endpoints =
      mevra::app::testing::EndpointsSection(mevra::app::testing::PortalEndpoints(portal));
  std::vector<double> load_to_rows;
  std::vector<double> load_to_last_row;
  for (int round = 0; round < repeat; ++round) {
    QTemporaryDir dir;
    WriteConfig(dir.path(), endpoints);
    auto window = OpenWindow(dir.path(), mevra::app::MessageAnswer::kOk);
    window->show();
    MainWindowProbe probe(*window);
    mevra::browser::BrowserControl& web1 = *probe.Ui().web1;
    WaitUntil([&] { return web1.LoadsFinished() > 0 && !web1.IsLoading(); });
    window->ClearSongs();
    Clock::time_point loaded;
    bool page_loaded = false;
    auto connection = QObject::connect(web1.Page(), &QWebEnginePage::loadFinished, [&] {
      loaded = Clock::now();
      page_loaded = true;
    });
    web1.Navigate(QString::fromStdString(portal.MusicBaseUrl()) + QStringLiteral("/top/big"));
    if (!WaitUntil([&] { return page_loaded && window->SongCount() >= songs; }, 60000)) {
      std::fprintf(stderr, "the chart was not harvested: %d rows\n", window->SongCount());
      return;
    }
    DrainEvents();
    load_to_rows.push_back(Ms(loaded, Clock::now()));
    probe.Ui().lv_songs->scrollToBottom();
    DrainEvents();
    load_to_last_row.push_back(Ms(loaded, Clock::now()));
    QObject::disconnect(connection);
  }
  Report("page loaded -> rows in and drawn (median)", Summarise(load_to_rows).median, 1000, "ms");
  Report("page loaded -> last row on screen (median)", Summarise(load_to_last_row).median, 1000,
         "ms");
}

void Commands(int songs, int repeat) {
  std::printf("list commands on %d rows\n", songs);
  QTemporaryDir dir;
  WriteConfig(dir.path(), "[Endpoints]\nPortalHomeUrl=about:blank\n");
  auto window = OpenWindow(dir.path(), mevra::app::MessageAnswer::kYes);
  window->show();
  MainWindowProbe probe(*window);
  DrainEvents();
  std::vector<mevra::app::SongRow> rows(static_cast<size_t>(songs));
  for (int i = 0; i < songs; ++i) {
    rows[static_cast<size_t>(i)].id = QString::number(30000000 + i);
    rows[static_cast<size_t>(i)].title = QStringLiteral("夜空的约定 %1").arg(i);
    rows[static_cast<size_t>(i)].singer = QStringLiteral("林若溪");
  }
  const size_t heap_before = HeapInUse();
  window->Songs().Append(rows);
  DrainEvents();
  const size_t heap_after = HeapInUse();
  rows.clear();
  Report("memory per row (list, view, session's share)",
         static_cast<double>(heap_after - heap_before) / songs, 1024, "B");

  probe.Ui().edt_search->setText(QStringLiteral("约定 1"));
  struct Command {
    const char* name;
    std::function<void()> run;
  };
  const Command commands[] = {
      {"全选 (tick all)", [&] { window->btn_selectAllClick(); }},
      {"不选 (untick all)", [&] { window->btn_NotSelectClick(); }},
      {"反选 (invert)", [&] { window->btn_ReSelectClick(); }},
      {"查找 (search, ticks 1,111)", [&] { window->btn_searchClick(); }},
  };
  for (const Command& command : commands) {
    std::vector<double> times;
    for (int round = 0; round < repeat; ++round) {
      const Clock::time_point start = Clock::now();
      command.run();
      DrainEvents();
      times.push_back(Ms(start, Clock::now()));
    }
    Report(command.name, Summarise(times).max, 100, "ms");
  }
  const Clock::time_point start = Clock::now();
  window->btn_clearClick();
  DrainEvents();
  Report("清空 (clear, confirmed)", Ms(start, Clock::now()), 100, "ms");
}

void Start(int songs, int repeat) {
  std::printf("start with a %d-row session\n", songs);
  QTemporaryDir dir;
  WriteConfig(dir.path(), "[Endpoints]\nPortalHomeUrl=about:blank\n");
  {
    mevra::app::SessionDatabase db;
    if (db.Open(dir.filePath(QStringLiteral("session.sqlite"))) !=
        mevra::app::SessionDatabase::Failure::kNone) {
      std::fprintf(stderr, "cannot write the session: %s\n", qPrintable(db.LastError()));
      return;
    }
    mevra::app::SessionChanges changes;
    for (int i = 0; i < songs; ++i) {
      mevra::app::SongRow row;
      row.key = i;
      row.id = QString::number(30000000 + i);
      row.title = QStringLiteral("夜空的约定 %1").arg(i);
      row.singer = QStringLiteral("林若溪");
      row.ticked = i % 3 == 0;
      changes.songs.push_back(std::move(row));
    }
    db.Apply(changes);
  }
  std::vector<double> times;
  for (int round = 0; round < repeat; ++round) {
    const Clock::time_point start = Clock::now();
    auto window = OpenWindow(dir.path(), mevra::app::MessageAnswer::kNo);
    window->show();
    // The window answers once a timer queued now has run.
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    WaitUntil([&] { return answered; });
    times.push_back(Ms(start, Clock::now()));
    if (window->SongCount() != songs) std::fprintf(stderr, "%d rows\n", window->SongCount());
  }
  Report("window built, list shown, answering (median)", Summarise(times).median, 1000, "ms");
}

void SessionWrites(int repeat) {
  std::printf("session writes per finished song\n");
  QTemporaryDir dir;
  mevra::app::SessionDatabase db;
  if (db.Open(dir.filePath(QStringLiteral("session.sqlite"))) !=
      mevra::app::SessionDatabase::Failure::kNone) {
    return;
  }
  std::vector<double> times;
  const int songs = std::max(repeat * 20, 200);
  for (int i = 0; i < songs; ++i) {
    // What a song that ends writes: its row (status, tick) and its history entry.
    mevra::app::SessionChanges changes;
    mevra::app::SongRow row;
    row.key = i;
    row.id = QString::number(30000000 + i);
    row.title = QStringLiteral("夜空的约定");
    row.status = mevra::download::RowStatus::kSucceeded;
    changes.songs = {row};
    mevra::app::HistoryEntry entry;
    entry.id = row.id;
    entry.title = row.title;
    entry.file = QStringLiteral("/music/夜空的约定 - 林若溪.mp3");
    entry.outcome = row.status;
    changes.history = {entry};
    const Clock::time_point start = Clock::now();
    db.Apply(changes);
    times.push_back(Ms(start, Clock::now()));
  }
  const Stats stats = Summarise(times);
  Report("one transaction, synced (median, writing thread)", stats.median, 1, "ms");
  std::printf("  %-52s %9.1f ms\n", "the same, slowest of all", stats.max);

  // The window's share: the change reported, collected and handed over.
  mevra::app::SessionStore store;
  store.Open(dir.filePath(QStringLiteral("window.sqlite")));
  mevra::app::SongListModel model;
  store.Watch(&model);
  std::vector<mevra::app::SongRow> rows(10000);
  for (size_t i = 0; i < rows.size(); ++i) rows[i].id = QString::number(i);
  model.Append(rows);
  store.Flush();
  std::vector<double> window_thread;
  for (int i = 0; i < songs; ++i) {
    const Clock::time_point start = Clock::now();
    model.SetStatus(i, mevra::download::RowStatus::kSucceeded);
    model.SetTicked(i, false);
    store.AddHistory({});
    DrainEvents();
    window_thread.push_back(Ms(start, Clock::now()));
  }
  Report("window thread per finished song (slowest)", Summarise(window_thread).max, 5, "ms");
  Clock::time_point start = Clock::now();
  model.TickAll();
  DrainEvents();
  Report("window thread for 10,000 ticks at once", Ms(start, Clock::now()), 5, "ms");
  start = Clock::now();
  store.Flush();
  std::printf("  %-52s %9.1f ms\n", "writing them (writing thread, waited for)",
              Ms(start, Clock::now()));
}

int Run(const QStringList& arguments) {
  int songs = 10000;
  int repeat = 5;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == QLatin1String("--songs") && i + 1 < arguments.size()) {
      songs = arguments[++i].toInt();
    } else if (arg == QLatin1String("--repeat") && i + 1 < arguments.size()) {
      repeat = std::max(1, arguments[++i].toInt());
    } else {
      std::fprintf(stderr, "usage: mevra_list_bench [--songs N] [--repeat N]\n");
      return 2;
    }
  }
  // The first window of a process starts the browser engine; the figures below are of a
  // program that is up, except the start, which the engine's start is not part of either.
  {
    QTemporaryDir dir;
    WriteConfig(dir.path(), "[Endpoints]\nPortalHomeUrl=about:blank\n");
    OpenWindow(dir.path(), mevra::app::MessageAnswer::kOk)->show();
    DrainEvents();
  }
  mevra::portal::testing::PortalProcess portal(
      std::vector<std::string>{"--big-chart", std::to_string(songs)});
  Harvest(portal, songs, repeat);
  Commands(songs, repeat);
  Start(songs, repeat);
  SessionWrites(repeat);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir profile;
  mevra::browser::BrowserControl::SetProfileStoragePath(profile.path());
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  return Run(QCoreApplication::arguments());
}
