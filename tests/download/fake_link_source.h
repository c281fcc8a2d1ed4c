#pragma once

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "download/link_source.h"

namespace mevra::download::testing {

// Answers from a table of links by song id, from the event loop, in the order asked. A song
// without an entry has no link at its rate. Answers for held ids wait until released.
class FakeLinkSource : public LinkSource {
 public:
  void SetLink(const QString& id, const QString& url) { links_[id] = url; }
  void Hold(const QString& id) { held_.insert(id); }
  void Release(const QString& id) {
    held_.remove(id);
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->id == id) AnswerLater(it.key());
    }
  }

  Ticket Request(const QString& id, const QString& rate, Answer answer) override {
    const Ticket ticket = ++last_ticket_;
    requested_.append(id);
    pending_.insert(ticket, {id, rate, std::move(answer)});
    if (!held_.contains(id)) AnswerLater(ticket);
    return ticket;
  }
  void Cancel(Ticket ticket) override {
    if (pending_.remove(ticket) > 0) ++cancelled_;
  }

  const QStringList& Requested() const { return requested_; }
  int Cancelled() const { return cancelled_; }
  int Pending() const { return static_cast<int>(pending_.size()); }

 private:
  struct Asked {
    QString id;
    QString rate;
    Answer answer;
  };

  void AnswerLater(Ticket ticket) {
    QTimer::singleShot(0, &context_, [this, ticket] {
      const auto it = pending_.find(ticket);
      if (it == pending_.end() || held_.contains(it->id)) return;
      const Asked request = it.value();
      pending_.erase(it);
      LinkAnswer answer;
      if (links_.contains(request.id)) {
        answer.found = true;
        answer.url = links_.value(request.id);
      } else {
        answer.reason =
            QStringLiteral("下载页面中没有") + request.rate + QStringLiteral("K的下载链接");
      }
      request.answer(answer);
    });
  }

  QObject context_;  // answers still queued go with the source
  QMap<QString, QString> links_;
  QSet<QString> held_;
  QMap<Ticket, Asked> pending_;
  QStringList requested_;
  Ticket last_ticket_ = 0;
  int cancelled_ = 0;
};

}  // namespace mevra::download::testing
