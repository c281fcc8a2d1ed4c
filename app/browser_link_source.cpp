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

// The markup of an HTML document's root element, or null for anything else.
const char kPageTextScript[] =
    "(function () {"
    "  var type = document.contentType;"
    "  if (!document.documentElement ||"
    "      (type !== 'text/html' && type !== 'application/xhtml+xml')) return null;"
    "  return document.documentElement.innerHTML;"
    "})()";

bool SameAddress(const QString& a, const QString& b) {
  constexpr auto kForm = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
  return QUrl(a).adjusted(kForm) == QUrl(b).adjusted(kForm);
}

}  // namespace

struct BrowserLinkSource::Page {
  QPointer<browser::BrowserControl> web;
  QMetaObject::Connection load_connection;
  bool busy = false;
  Asked asked;
  uint32_t start = 0;
  bool loaded = false;   // the asked page has finished loading
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
  for (const std::unique_ptr<Page>& page : pages_) disconnect(page->load_connection);
}

BrowserLinkSource::Page& BrowserLinkSource::AddPage(browser::BrowserControl* web) {
  auto page = std::make_unique<Page>();
  page->web = web;
  Page* raw = page.get();
  page->load_connection = connect(web->Page(), &QWebEnginePage::loadFinished, this,
                                  [this, raw](bool ok) { LoadFinished(*raw, ok); });
  pages_.push_back(std::move(page));
  return *raw;
}

void BrowserLinkSource::SetPageCount(int count) {
  page_count_ = std::max(count, 1);
  while (static_cast<int>(pages_.size()) < page_count_ && make_page_) AddPage(make_page_());
  page_count_ = std::min(page_count_, static_cast<int>(pages_.size()));
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
    Page& page = *pages_[i];
    if (page.busy || !page.web) continue;
    page.busy = true;
    page.asked = std::move(waiting_.front());
    waiting_.pop_front();
    page.loaded = false;
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

void BrowserLinkSource::LoadFinished(Page& page, bool ok) {
  if (!page.busy || !page.web) return;
  // A load that failed, or the end of an earlier request's load, is not the asked page; the
  // asked one may still come within the wait.
  if (!ok || !SameAddress(page.web->LocationURL(), page.asked.page_url)) return;
  page.loaded = true;
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
                                    if (self) self->TextRead(*raw, generation, result.toString());
                                  });
}

void BrowserLinkSource::TextRead(Page& page, quint64 generation, const QString& text) {
  if (page.generation != generation || !page.busy) return;
  page.reading = false;
  const SongLink link = CutSongLink(text, page.asked.rate, music_base_url_);
  // A page without the link may still get it from its scripts; it is read again until the wait
  // is over.
  if (link.found) Answer(page, {true, link.url, {}});
}

void BrowserLinkSource::Tick() {
  const uint32_t now = clock_();
  for (const std::unique_ptr<Page>& page : pages_) {
    if (!page->busy) continue;
    if (TickWaitOver(page->start, now, page_wait_ms_)) {
      Answer(*page, {false, {}, download::NoLinkReason(page->asked.rate)});
    } else if (page->loaded) {
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
