#include "app/batch_run.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "app/browser_link_source.h"
#include "app/config_settings.h"
#include "app/cookie_mirror.h"
#include "app/demo_portal.h"
#include "app/direct_link_source.h"
#include "app/endpoints.h"
#include "app/instance_lock.h"
#include "app/limits.h"
#include "app/profile_file.h"
#include "app/program_paths.h"
#include "app/program_proxy.h"
#include "app/song_harvest.h"
#include "app/termination_watch.h"
#include "app/tick_clock.h"
#include "app/transfer_text.h"
#include "browser/browser_control.h"
#include "browser/certificate_trust.h"
#include "download/download_archive.h"
#include "download/download_queue.h"
#include "download/file_naming.h"
#include "download/limits.h"
#include "download/rate_limiter.h"
#include "download/task_list.h"
#include "http/cookie_manager.h"

namespace mevra::app {
namespace {

// Present in the portal's pages only for a signed-in user.
const QString kSignedInMarker = QStringLiteral("window.logInfo");

void Say(std::FILE* to, const QString& line) {
  std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), to);
  std::fflush(to);
}

// The harvested songs, one after the other.
class SongTasks : public download::TaskList {
 public:
  explicit SongTasks(std::vector<download::SongTask> tasks) : tasks_(std::move(tasks)) {}
  std::optional<download::SongTask> TakeNext() override {
    if (next_ >= tasks_.size()) return std::nullopt;
    return tasks_[next_++];
  }
  bool StillWanted(const download::SongTask&, bool) override { return true; }

 private:
  std::vector<download::SongTask> tasks_;
  size_t next_ = 0;
};

// The page's text once its top-level document has loaded, or nothing when it did not load
// within the wait.
std::optional<QString> LoadPage(browser::BrowserControl& web, const QString& url) {
  std::optional<QString> text;
  QEventLoop loop;
  web.OnDocumentComplete = [&](browser::BrowserControl& sender, const QString& address) {
    if (text || address != sender.LocationURL()) return;
    text = sender.PageText();
    loop.quit();
  };
  QObject::connect(web.Page(), &QWebEnginePage::loadFinished, &loop, [&](bool ok) {
    if (!ok) loop.quit();
  });
  QTimer::singleShot(kBatchPageLoadMs, &loop, &QEventLoop::quit);
  web.Navigate(url);
  loop.exec();
  web.OnDocumentComplete = nullptr;
  return text;
}

}  // namespace

std::optional<BatchOptions> ReadBatchOptions(int argc, char** argv, QString* error) {
  BatchOptions options;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!arg.starts_with("--")) {
      if (!options.page_url.isEmpty()) {
        *error = QStringLiteral("more than one page URL: %1").arg(QString::fromLocal8Bit(argv[i]));
        return std::nullopt;
      }
      options.page_url = QString::fromLocal8Bit(argv[i]);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    QString value;
    if (equals != std::string_view::npos) {
      value = QString::fromLocal8Bit(argv[i] + equals + 1);
    } else if (i + 1 < argc) {
      value = QString::fromLocal8Bit(argv[++i]);
    } else {
      *error = QStringLiteral("%1 needs a value").arg(QString::fromLocal8Bit(argv[i]));
      return std::nullopt;
    }
    bool number = false;
    const int count = value.toInt(&number, 10);
    if (name == "--rate" && number && (count == 128 || count == 192 || count == 320)) {
      options.rate = count;
    } else if (name == "--parallel" && number && count >= 1 &&
               count <= download::kMaxParallelDownloads) {
      options.parallel = count;
    } else if (name == "--to" && !value.isEmpty()) {
      options.save_folder = value;
    } else {
      *error = QStringLiteral("bad option %1").arg(QString::fromLocal8Bit(argv[i]));
      return std::nullopt;
    }
  }
  if (options.page_url.isEmpty()) {
    *error = QStringLiteral("--batch needs the URL of a page");
    return std::nullopt;
  }
  return options;
}

int RunBatch(const BatchOptions& options) {
  const QString config_path = ProgramPaths::ConfigFilePath();
  InstanceLock instance_lock(InstanceLock::DefaultPath());
  if (!instance_lock.TryLock()) {
    Say(stderr,
        QCoreApplication::translate("BatchRun", "窗口正在以同样的设置运行（进程 %1），请先关闭它")
            .arg(instance_lock.HolderPid()));
    return kBatchCouldNotStart;
  }
  const Endpoints endpoints = Endpoints::Load(config_path);
  const IniDocument ini =
      ProfileFile::ReadDocument(config_path.toStdString()).value_or(IniDocument());
  ConfigSettings settings = ConfigSettings::Read(ini, ProgramPaths::DefaultSaveFolder());
  if (options.rate) settings.song_bit = *options.rate;
  if (options.save_folder) settings.save_path = *options.save_folder;
  if (options.parallel) settings.download.parallel_downloads = *options.parallel;
  if (settings.song_bit != 128 && settings.song_bit != 192) settings.song_bit = 320;
  if (!QDir().mkpath(settings.save_path)) {
    Say(stderr,
        QCoreApplication::translate("BatchRun", "无法创建保存目录：%1").arg(settings.save_path));
    return kBatchCouldNotStart;
  }

  // The proxy of config.ini covers the browser's pages, the song pages and the files alike.
  ProgramProxy::Set(ProxyChoice::Read(settings.download.proxy));
  if (!ProgramProxy::Current().error.isEmpty()) {
    Say(stderr, QCoreApplication::translate("BatchRun", "代理设置无法使用，本次不经代理连接：%1")
                    .arg(ProgramProxy::Current().error));
  }
  browser::BrowserProxy::Use(ProgramProxy::Current().ForBrowser());

  // The portal the window would start is started for the batch too.
  const auto demo_portal = DemoPortal::StartIfAbsent(
      endpoints, Endpoints{}, ProgramPaths::ProgramDirectory() + QStringLiteral("/mevra-portal"),
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
          QStringLiteral("/mevra-portal"));
  browser::CertificateTrust::SetCaFile(endpoints.ca_file, endpoints.Hosts());

  browser::BrowserControl web(QStringLiteral("web1"));
  browser::BrowserControl hidden(QStringLiteral("web2"));
  web.SetExceptionReport({});
  hidden.SetExceptionReport({});
  auto* mirror = new CookieMirror(*web.Page()->profile()->cookieStore(),
                                  std::make_shared<http::CookieManager>(), &web);

  // The portal's home page says whether the profile is signed in, as the window's gate reads it.
  const std::optional<QString> home = LoadPage(web, endpoints.portal_home_url);
  if (!home) {
    Say(stderr,
        QCoreApplication::translate("BatchRun", "无法打开页面：%1").arg(endpoints.portal_home_url));
    return kBatchCouldNotStart;
  }
  if (!home->contains(kSignedInMarker)) {
    Say(stderr, QCoreApplication::translate("BatchRun", "没有登录：请先在窗口中登录一次"));
    return kBatchCouldNotStart;
  }
  const std::optional<QString> page = LoadPage(web, options.page_url);
  if (!page) {
    Say(stderr, QCoreApplication::translate("BatchRun", "无法打开页面：%1").arg(options.page_url));
    return kBatchCouldNotStart;
  }
  const download::NamingScheme naming =
      settings.rename_type == 1   ? download::NamingScheme::kTitle
      : settings.rename_type == 3 ? download::NamingScheme::kSingerTitle
      : settings.rename_type == 4 ? download::NamingScheme::kTemplate
                                  : download::NamingScheme::kTitleSinger;
  std::vector<download::SongTask> tasks;
  QStringList ids;
  for (const SongItem& item : HarvestSongItems(page->toStdString())) {
    download::SongTask task;
    task.key = static_cast<int>(tasks.size());
    task.id = QString::fromStdString(item.id).trimmed();
    if (ids.contains(task.id)) continue;
    ids << task.id;
    task.title = QString::fromStdString(item.title).trimmed();
    task.singer = QString::fromStdString(item.singer).trimmed();
    task.rate = QString::number(settings.song_bit);
    task.naming = naming;
    task.name_template = settings.download.name_template;
    task.save_folder = settings.save_path;
    task.filter = {settings.filter_small, settings.filter_size};
    task.ca_file = endpoints.ca_file;
    task.proxy = ProgramProxy::Current().rules;
    tasks.push_back(std::move(task));
  }
  if (tasks.empty()) {
    Say(stderr,
        QCoreApplication::translate("BatchRun", "页面中没有歌曲：%1").arg(options.page_url));
    return kBatchCouldNotStart;
  }

  const DownloadSettings& chosen = settings.download;
  BrowserLinkSource browser_links(
      hidden, [] { return new browser::BrowserControl(QStringLiteral("web2")); },
      endpoints.music_base_url, SystemTickCount);
  browser_links.SetPageCount(chosen.parallel_downloads);
  DirectLinkSource links(browser_links, mirror->Cookies(), endpoints.music_base_url);
  links.SetCaFile(endpoints.ca_file);
  links.SetDirect(chosen.direct_links);
  links.SetLaneCount(chosen.parallel_downloads);

  download::DownloadPolicies policies;
  policies.existing_file = chosen.existing_file;
  policies.retries = chosen.retries;
  policies.write_tags = chosen.write_tags;
  policies.extras = chosen.extras;
  policies.stall_timeout_ms = int64_t{chosen.stall_seconds} * 1000;
  policies.rate_limiter = std::make_shared<download::RateLimiter>();
  policies.rate_limiter->SetBytesPerSecond(int64_t{chosen.speed_limit_kb} * 1024);
  if (chosen.use_archive) {
    policies.archive = std::make_shared<download::DownloadArchive>(
        QFileInfo(config_path).dir().filePath(QStringLiteral("downloaded.txt")));
    policies.archive->Load();
  }

  const std::vector<download::SongTask> songs = tasks;
  download::DownloadQueue queue(links);
  queue.SetPolicies(std::move(policies));
  const bool progress_shown = ::isatty(STDERR_FILENO) == 1;
  bool interrupted = false;
  int saved = 0;
  int skipped = 0;
  int failed = 0;
  QEventLoop loop;
  QObject::connect(
      &queue, &download::DownloadQueue::TaskFinished, &loop,
      [&](int key, const download::JobResult& result) {
        const download::SongTask& song = songs[static_cast<size_t>(key)];
        const QString file =
            QDir(song.save_folder)
                .filePath(download::SongFileName(song.naming, song.title, song.singer));
        if (progress_shown) std::fputs("\r\033[K", stderr);
        using download::RowStatus;
        if (result.status == RowStatus::kSucceeded) {
          ++saved;
          Say(stdout, QStringLiteral("saved %1").arg(result.saved_path));
        } else if (result.status == RowStatus::kSkipped || result.status == RowStatus::kFiltered) {
          ++skipped;
          Say(stdout, QStringLiteral("skipped %1 (%2)").arg(file, result.RowText()));
        } else {
          ++failed;
          Say(stdout, QStringLiteral("failed %1: %2").arg(song.title, result.reason));
        }
      });
  QObject::connect(&queue, &download::DownloadQueue::BatchProgressed, &loop,
                   [&](const download::BatchProgress& progress) {
                     if (!progress_shown) return;
                     const QString line =
                         QCoreApplication::translate("BatchRun", "%1/%2首  %3KB  %4KB/s")
                             .arg(progress.finished)
                             .arg(progress.expected)
                             .arg(progress.bytes / 1024)
                             .arg(static_cast<qint64>(progress.bytes_per_second / 1024));
                     std::fputs(("\r\033[K" + line).toUtf8().constData(), stderr);
                     std::fflush(stderr);
                   });
  QObject::connect(
      &queue, &download::DownloadQueue::BatchEnded, &loop, [&](int, int, download::BatchEnd) {
        if (progress_shown) std::fputs("\r\033[K", stderr);
        Say(stdout,
            QStringLiteral("%1 saved, %2 skipped, %3 failed").arg(saved).arg(skipped).arg(failed));
        loop.quit();
      });
  // Ctrl-C stops as the stop button does: the running transfers end and keep their parts.
  TerminationWatch termination_watch([&] {
    interrupted = true;
    queue.StopAll();
  });
  queue.Start(std::make_unique<SongTasks>(std::move(tasks)), chosen.parallel_downloads,
              static_cast<int>(songs.size()));
  loop.exec();
  if (interrupted) return kBatchInterrupted;
  return failed > 0 ? kBatchSongFailed : kBatchAllSaved;
}

}  // namespace mevra::app
