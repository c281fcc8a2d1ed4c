#include "app/browser_link_source.h"

#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <algorithm>

#include "app/song_link.h"
#include "browser/browser_control.h"
#include "download/row_status.h"

namespace mevra::app {
namespace {

// The document's address and the markup of its root element, or only the address for anything
// but an HTML document.
const char kPageTextScript[] =
    "(function () {"
    "  var type = document.contentType;"
    "  var html = document.documentElement &&"
    "      (type === 'text/html' || type === 'application/xhtml+xml');"
    "  return [location.href, html ? document.documentElement.innerHTML : ''];"
    "})()";

bool SameAddress(const QString& a, const QString& b) {
  constexpr auto kForm = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
  return QUrl(a).adjusted(kForm) == QUrl(b).adjusted(kForm);
}

}  // namespace

struct BrowserLinkSource::Page {
  QPointer<browser::BrowserControl> web;
  std::vector<QMetaObject::Connection> connections;
  bool busy = false;
  Asked asked;
  uint32_t start = 0;
  // The asked page's document is there: committed to (its address came up) or loaded. It may
  // still be arriving; it is read until the link shows.
  bool committed = false;
  bool reading = false;  // a read of its text is under way
  // Tells a read's late answer from one for the current request.
  quint64 generation = 0;
};

BrowserLinkSource::BrowserLinkSource(browser::BrowserControl& first_page, PageFactory make_page,
                                     QString music_base_url, TickClock clock, QObject* parent)
    : QObject(parent),
      make_page_(std::move(make_page)),
      music_base_url_(std::move(music_base_url)),
      clock_(std::move(clock)) {
  AddPage(&first_page);
  tick_.setInterval(kResolveSliceMs);
  connect(&tick_, &QTimer::timeout, this, &BrowserLinkSource::Tick);
}

BrowserLinkSource::~BrowserLinkSource() {
  for (const std::unique_ptr<Page>& page : pages_) {
    for (const QMetaObject::Connection& connection : page->connections) disconnect(connection);
  }
}

BrowserLinkSource::Page& BrowserLinkSource::AddPage(browser::BrowserControl* web) {
  auto page = std::make_unique<Page>();
  page->web = web;
  Page* raw = page.get();
  page->connections = {
      connect(web->Page(), &QWebEnginePage::loadFinished, this,
              [this, raw](bool ok) { LoadFinished(*raw, ok); }),
      // The new document can be read long before its load event: as soon as the engine has
      // committed to it, which is when the address changes.
      connect(web->Page(), &QWebEnginePage::urlChanged, this,
              [this, raw](const QUrl& url) { AddressChanged(*raw, url); }),
  };
  pages_.push_back(std::move(page));
  return *raw;
}

void BrowserLinkSource::SetPageCount(int count) {
  page_count_ = make_page_ ? std::max(count, 1) : 1;
  Dispatch();
}

download::LinkSource::Ticket BrowserLinkSource::Request(const QString& id, const QString& rate,
                                                        LinkSource::Answer answer) {
  const Ticket ticket = ++last_ticket_;
  waiting_.push_back({ticket, rate, SongPageUrl(music_base_url_, id), std::move(answer)});
  Dispatch();
  return ticket;
}

void BrowserLinkSource::Cancel(Ticket ticket) {
  std::erase_if(waiting_, [ticket](const Asked& asked) { return asked.ticket == ticket; });
  for (const std::unique_ptr<Page>& page : pages_) {
    if (page->busy && page->asked.ticket == ticket) {
      page->busy = false;
      ++page->generation;
    }
  }
  Dispatch();
}

void BrowserLinkSource::Dispatch() {
  for (int i = 0; i < page_count_ && !waiting_.empty(); ++i) {
    // A further page is made only when a request finds every page busy.
    if (i == static_cast<int>(pages_.size())) AddPage(make_page_());
    Page& page = *pages_[i];
    if (page.busy || !page.web) continue;
    page.busy = true;
    page.asked = std::move(waiting_.front());
    waiting_.pop_front();
    page.committed = false;
    page.reading = false;
    ++page.generation;
    page.start = clock_();
    page.web->Navigate(page.asked.page_url);
  }
  if (!tick_.isActive() &&
      std::any_of(pages_.begin(), pages_.end(), [](const auto& page) { return page->busy; })) {
    tick_.start();
  }
}

void BrowserLinkSource::AddressChanged(Page& page, const QUrl& url) {
  if (!page.busy || !page.web) return;
  if (!SameAddress(url.toString(QUrl::FullyEncoded), page.asked.page_url)) return;
  page.committed = true;
  Read(page);
}

void BrowserLinkSource::LoadFinished(Page& page, bool ok) {
  if (!page.busy || !page.web) return;
  // A load that failed, or the end of an earlier request's load, is not the asked page; the
  // asked one may still come within the wait. The same address asked twice in a row changes
  // no address, so its load is what tells that the new document is there.
  if (!ok || !SameAddress(page.web->LocationURL(), page.asked.page_url)) return;
  page.committed = true;
  Read(page);
}

void BrowserLinkSource::Read(Page& page) {
  if (page.reading || !page.web) return;
  page.reading = true;
  const quint64 generation = page.generation;
  const QPointer<BrowserLinkSource> self(this);
  Page* raw = &page;
  page.web->Page()->runJavaScript(QString::fromLatin1(kPageTextScript),
                                  QWebEngineScript::ApplicationWorld,
                                  [self, raw, generation](const QVariant& result) {
                                    if (self) self->TextRead(*raw, generation, result.toList());
                                  });
}

void BrowserLinkSource::TextRead(Page& page, quint64 generation, const QVariantList& result) {
  if (page.generation != generation || !page.busy) return;
  page.reading = false;
  // A read that reached the document before it (the one navigated from) is not cut.
  if (result.size() != 2 || !SameAddress(result[0].toString(), page.asked.page_url)) return;
  const download::LinkAnswer answer =
      AnswerFromPage(result[1].toString(), page.asked.rate, music_base_url_);
  // A page without the link may still get it from its scripts; it is read again until the wait
  // is over.
  if (answer.found) Answer(page, answer);
}

void BrowserLinkSource::Tick() {
  const uint32_t now = clock_();
  for (const std::unique_ptr<Page>& page : pages_) {
    if (!page->busy) continue;
    if (TickWaitOver(page->start, now, page_wait_ms_)) {
      download::LinkAnswer none;
      none.reason = download::NoLinkReason(page->asked.rate);
      Answer(*page, none);
    } else if (page->committed) {
      Read(*page);
    }
  }
  if (std::none_of(pages_.begin(), pages_.end(), [](const auto& page) { return page->busy; })) {
    tick_.stop();
  }
}

void BrowserLinkSource::Answer(Page& page, const download::LinkAnswer& answer) {
  const LinkSource::Answer reply = std::move(page.asked.answer);
  page.busy = false;
  page.reading = false;
  ++page.generation;
  Dispatch();
  if (reply) reply(answer);
}

}  // namespace mevra::app
