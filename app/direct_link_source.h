#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/link_source.h"
#include "http/proxy_rules.h"

namespace mevra::http {
class CookieManager;
class HttpClient;
}  // namespace mevra::http

namespace mevra::app {

// How every client of the source fetches a page: the program's HTTP set-up, the extra
// authorities of https, the shared cookies, and a time limit on a portal that does not answer.
struct PageClientSettings {
  std::string ca_file;
  int32_t timeout_ms = 0;  // connect and every read; 0: no limit
  http::ProxyRules proxy;  // the program's proxy when the page was asked for
};
void SetUpPageClient(http::HttpClient& client, const PageClientSettings& settings,
                     http::CookieManager* cookies);

// Song links read from the songs' download pages with the program's own HTTP client, on threads
// of their own, so neither a page load nor its scripts stand between two songs. The pages go out
// with the cookies of the browser profile (kept in step by a CookieMirror), so a sign-in made in
// the browser holds here too. A page that answers without the link (a sign-in page, one that
// builds its links in script) is asked of the browser source instead, which the source also
// hands everything to when it is switched to the browser.
//
// Requests are served in the order they came, at most as many at once as there are lanes.
class DirectLinkSource : public QObject, public download::LinkSource {
  Q_OBJECT

 public:
  DirectLinkSource(download::LinkSource& browser, std::shared_ptr<http::CookieManager> cookies,
                   QString music_base_url, QObject* parent = nullptr);
  // Ends every fetch under way at once and waits for its thread; no answer comes after.
  ~DirectLinkSource() override;

  void SetMusicBaseUrl(const QString& url);
  void SetCaFile(const QString& path);
  // False: every song goes to the browser source.
  void SetDirect(bool direct) { direct_ = direct; }
  bool Direct() const { return direct_; }
  // How many pages are fetched at once, from 1 up; a lane's thread starts when first needed.
  void SetLaneCount(int count);

  Ticket Request(const QString& id, const QString& rate, Answer answer) override;
  void Cancel(Ticket ticket) override;

  // How many songs went to the browser source so far.
  int BrowserRequests() const { return browser_requests_; }

 private:
  struct Job {
    Ticket ticket = 0;
    std::string url;
    PageClientSettings settings;
  };
  // What a lane brought back for one job.
  struct Fetched {
    bool answered = false;      // the server sent a response (perhaps an error status)
    QString text;               // the body of a successful response
    bool proxy_failed = false;  // the proxy, not the portal, failed the exchange
    QString error;              // the failure's own message, when not answered
  };
  struct Asked {
    Ticket ticket = 0;
    QString id;
    QString rate;
    Answer answer;
    Ticket browser_ticket = 0;  // when the browser source has it
  };

  void RunLane(http::HttpClient& client);
  Fetched Fetch(http::HttpClient& client, const Job& job);
  void Done(Ticket ticket, const Fetched& fetched);
  void AskBrowser(Asked& asked);
  Asked* Find(Ticket ticket);
  void Finish(Ticket ticket, const download::LinkAnswer& answer);

  download::LinkSource& browser_;
  std::shared_ptr<http::CookieManager> cookies_;
  QString music_base_url_;
  std::string ca_file_;
  bool direct_ = true;
  int lane_count_ = 1;
  int browser_requests_ = 0;
  Ticket last_ticket_ = 0;
  // The requests not answered yet, in order; touched on the object's thread only.
  std::vector<Asked> asked_;

  // Shared with the lanes.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  int idle_lanes_ = 0;
  struct Lane;
  std::vector<std::unique_ptr<Lane>> lanes_;
};

}  // namespace mevra::app
