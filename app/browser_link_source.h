#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "app/limits.h"
#include "app/tick_clock.h"
#include "download/link_source.h"

class QUrl;

namespace mevra::browser {
class BrowserControl;
}

namespace mevra::app {

// Song links read from the songs' download pages in hidden browsers, which share the visible
// browser's profile and so its sign-in. Each page serves one request at a time, in the order
// they came: it opens the song's page, reads it as soon as it has loaded, and answers with the
// link for the rate, or with "no link" once the page wait is over. Nothing else navigates these
// pages, so a preview asked for during a batch waits its turn instead of taking the batch's page.
class BrowserLinkSource : public QObject, public download::LinkSource {
  Q_OBJECT

 public:
  // Makes a further hidden page when more are asked for; the caller owns what it makes.
  using PageFactory = std::function<browser::BrowserControl*()>;

  BrowserLinkSource(browser::BrowserControl& first_page, PageFactory make_page,
                    QString music_base_url, TickClock clock, QObject* parent = nullptr);
  ~BrowserLinkSource() override;

  void SetMusicBaseUrl(const QString& url) { music_base_url_ = url; }
  // How many pages serve requests at once, from 1 (the first page alone) up; a further page is
  // made when a request finds the others busy, and kept.
  void SetPageCount(int count);
  int PageCount() const { return page_count_; }
  // How long a page may take to show its link; a page slower than that offers none.
  void SetPageWait(double milliseconds) { page_wait_ms_ = milliseconds; }

  Ticket Request(const QString& id, const QString& rate, Answer answer) override;
  void Cancel(Ticket ticket) override;

 private:
  struct Asked {
    Ticket ticket = 0;
    QString rate;
    QString page_url;
    Answer answer;
  };
  struct Page;

  Page& AddPage(browser::BrowserControl* web);
  // Hands waiting requests to free pages.
  void Dispatch();
  void AddressChanged(Page& page, const QUrl& url);
  void LoadFinished(Page& page, bool ok);
  // Reads the page's text without a nested event loop; the answer comes back later.
  void Read(Page& page);
  void TextRead(Page& page, quint64 generation, const QVariantList& result);
  // Looks at every working page: a page whose wait is over answers with what it has.
  void Tick();
  void Answer(Page& page, const download::LinkAnswer& answer);

  PageFactory make_page_;
  QString music_base_url_;
  TickClock clock_;
  double page_wait_ms_ = kSongPageWaitMs;
  int page_count_ = 1;
  std::vector<std::unique_ptr<Page>> pages_;
  std::deque<Asked> waiting_;
  Ticket last_ticket_ = 0;
  QTimer tick_;
};

}  // namespace mevra::app
