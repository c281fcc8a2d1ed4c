#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace mevra::app {

// Opens web pages in the user's browser. OnOpen, when set, takes the place of the desktop's
// handler so tests never launch a browser; every address is recorded either way.
class UrlOpener {
 public:
  // Failures of the desktop's handler are ignored; there is nothing useful to tell the user.
  void Open(const QString& url);

  std::function<void(const QString& url)> OnOpen;

  const QStringList& Opened() const { return opened_; }

 private:
  QStringList opened_;
};

}  // namespace mevra::app
