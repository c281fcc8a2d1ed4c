#include "app/url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace mevra::app {

void UrlOpener::Open(const QString& url) {
  opened_.append(url);
  if (OnOpen) {
    OnOpen(url);
    return;
  }
  QDesktopServices::openUrl(QUrl(url));
}

}  // namespace mevra::app
