#pragma once

// How the app and browser tests click into a page as the user does.
#include <QPoint>
#include <QTest>
#include <QWebEngineView>
#include <functional>

#include "browser/browser_control.h"
#include "tests/browser/wait_until.h"

namespace mevra::browser::test {

// Clicks the page at `at` (in the view's coordinates) until `done` holds; says whether it came
// to hold. The engine drops input until the page is ready for it, so one click may not do. A
// click of the user's also counts where a script's does not: a page may start only one
// download by script.
inline bool UserClick(BrowserControl& web, Qt::MouseButton button, const QPoint& at,
                      const std::function<bool()>& done) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    QTest::mouseClick(web.View()->focusProxy(), button, {}, at);
    if (WaitUntil(done, 3000)) return true;
  }
  return false;
}

}  // namespace mevra::browser::test
