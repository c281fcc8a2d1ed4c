#include "app/direct_link_source.h"

#include <QFile>
#include <algorithm>
#include <exception>

#include "app/limits.h"
#include "app/program_proxy.h"
#include "app/song_link.h"
#include "download/row_status.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/abort_latch.h"
#include "net/proxy_error.h"

namespace mevra::app {

void SetUpPageClient(http::HttpClient& client, const PageClientSettings& settings,
                     http::CookieManager* cookies) {
  http::ApplyProgramConfiguration(client);
  client.SetCaFile(settings.ca_file);
  client.SetReadTimeout(settings.timeout_ms);
  client.SetProxy(settings.proxy);
  if (cookies != nullptr) client.SetCookieStore(cookies);
}

struct DirectLinkSource::Lane {
  std::shared_ptr<net::AbortLatch> latch = std::make_shared<net::AbortLatch>();
  std::thread thread;
};

DirectLinkSource::DirectLinkSource(download::LinkSource& browser,
                                   std::shared_ptr<http::CookieManager> cookies,
                                   QString music_base_url, QObject* parent)
    : QObject(parent),
      browser_(browser),
      cookies_(std::move(cookies)),
      music_base_url_(std::move(music_base_url)) {}

DirectLinkSource::~DirectLinkSource() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (const std::unique_ptr<Lane>& lane : lanes_) lane->latch->Trip();
  for (const std::unique_ptr<Lane>& lane : lanes_) lane->thread.join();
  for (const Asked& asked : asked_) {
    if (asked.browser_ticket != 0) browser_.Cancel(asked.browser_ticket);
  }
}

void DirectLinkSource::SetMusicBaseUrl(const QString& url) { music_base_url_ = url; }

void DirectLinkSource::SetCaFile(const QString& path) {
  ca_file_ = QFile::encodeName(path).toStdString();
}

void DirectLinkSource::SetLaneCount(int count) { lane_count_ = std::max(count, 1); }

download::LinkSource::Ticket DirectLinkSource::Request(const QString& id, const QString& rate,
                                                       LinkSource::Answer answer) {
  const Ticket ticket = ++last_ticket_;
  asked_.push_back({ticket, id, rate, std::move(answer), 0});
  if (!direct_) {
    AskBrowser(asked_.back());
    return ticket;
  }
  Job job{ticket,
          SongPageUrl(music_base_url_, id).toStdString(),
          {ca_file_, static_cast<int32_t>(kSongPageWaitMs), ProgramProxy::Current().rules}};
  bool start_lane = false;
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    start_lane = idle_lanes_ < static_cast<int>(jobs_.size()) &&
                 static_cast<int>(lanes_.size()) < lane_count_;
  }
  if (start_lane) {
    auto lane = std::make_unique<Lane>();
    const std::shared_ptr<net::AbortLatch> latch = lane->latch;
    lane->thread = std::thread([this, latch] {
      http::HttpClient client;
      client.SetAbortLatch(latch);
      RunLane(client);
    });
    lanes_.push_back(std::move(lane));
  }
  wake_.notify_one();
  return ticket;
}

void DirectLinkSource::RunLane(http::HttpClient& client) {
  std::unique_lock lock(mutex_);
  while (true) {
    ++idle_lanes_;
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    --idle_lanes_;
    if (stopping_) return;
    const Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    const Fetched fetched = Fetch(client, job);
    const Ticket ticket = job.ticket;
    // Posted to the source's thread; dropped with the source if it is gone by then.
    QMetaObject::invokeMethod(
        this, [this, ticket, fetched] { Done(ticket, fetched); }, Qt::QueuedConnection);
    lock.lock();
  }
}

DirectLinkSource::Fetched DirectLinkSource::Fetch(http::HttpClient& client, const Job& job) {
  SetUpPageClient(client, job.settings, cookies_.get());
  Fetched fetched;
  // A kept connection the server has closed meanwhile fails before any answer; that is no sign
  // of a portal gone, so the page is asked once more on a new connection.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool reused = client.IsConnected();
    client.Response().SetResponseText({});
    try {
      const std::string body = client.Get(job.url);
      fetched.answered = true;
      fetched.text = QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size()));
      return fetched;
    } catch (const net::ProxyError& error) {
      fetched.proxy_failed = true;
      fetched.error = QString::fromUtf8(error.what());
    } catch (const std::exception& error) {
      fetched.answered = !client.Response().ResponseText().empty();
      fetched.error = QString::fromUtf8(error.what());
    }
    if (fetched.answered || !reused) break;
  }
  return fetched;
}

DirectLinkSource::Asked* DirectLinkSource::Find(Ticket ticket) {
  const auto it = std::find_if(asked_.begin(), asked_.end(),
                               [ticket](const Asked& asked) { return asked.ticket == ticket; });
  return it == asked_.end() ? nullptr : &*it;
}

void DirectLinkSource::Done(Ticket ticket, const Fetched& fetched) {
  Asked* asked = Find(ticket);
  if (asked == nullptr) return;
  if (!fetched.answered) {
    download::LinkAnswer answer;
    answer.unreachable = true;
    answer.reason = fetched.proxy_failed ? download::ProxyFailedReason(fetched.error)
                                         : tr("无法打开下载页面：%1").arg(fetched.error);
    Finish(ticket, answer);
    return;
  }
  const download::LinkAnswer answer = AnswerFromPage(fetched.text, asked->rate, music_base_url_);
  if (answer.found) {
    Finish(ticket, answer);
  } else {
    AskBrowser(*asked);
  }
}

void DirectLinkSource::AskBrowser(Asked& asked) {
  ++browser_requests_;
  const Ticket ticket = asked.ticket;
  asked.browser_ticket = browser_.Request(
      asked.id, asked.rate,
      [this, ticket](const download::LinkAnswer& answer) { Finish(ticket, answer); });
}

void DirectLinkSource::Finish(Ticket ticket, const download::LinkAnswer& answer) {
  const auto it = std::find_if(asked_.begin(), asked_.end(),
                               [ticket](const Asked& asked) { return asked.ticket == ticket; });
  if (it == asked_.end()) return;
  const LinkSource::Answer reply = std::move(it->answer);
  asked_.erase(it);
  if (reply) reply(answer);
}

void DirectLinkSource::Cancel(Ticket ticket) {
  Asked* asked = Find(ticket);
  if (asked == nullptr) return;
  if (asked->browser_ticket != 0) browser_.Cancel(asked->browser_ticket);
  std::erase_if(asked_, [ticket](const Asked& entry) { return entry.ticket == ticket; });
  std::lock_guard lock(mutex_);
  std::erase_if(jobs_, [ticket](const Job& job) { return job.ticket == ticket; });
}

}  // namespace mevra::app
