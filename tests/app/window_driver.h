#pragma once

// Driving the main window against a running mevra-portal without a test framework: waiting in
// the event loop, running page scripts, pointing the window at the portal. Shared by the
// end-to-end tests and the batch benchmark.
#include <QByteArray>
#include <QString>

#include "app/endpoints.h"
#include "tests/browser/wait_until.h"
#include "tests/portal/portal_process.h"

namespace mevra::browser {
class BrowserControl;
}

namespace mevra::app::testing {

using browser::test::WaitUntil;
// Dispatches events for `ms`, to let late events of a page arrive.
void Settle(int ms);

// Runs a script in the browser's page and waits for its result (as text).
QString RunScript(browser::BrowserControl& web, const QString& script);

// Endpoints of a running portal, as the "Endpoints" section of config.ini would give them.
Endpoints PortalEndpoints(const portal::testing::PortalProcess& portal);
QByteArray EndpointsSection(const Endpoints& endpoints);

// Waits until `web` shows the portal's sign-in page with its form; false after `ms`.
bool WaitForSignInForm(browser::BrowserControl& web, const QString& login_base_url, int ms = 30000);
// Fills in the portal's sign-in form shown in `web` with `user` / `password` and submits it.
void SubmitSignInForm(browser::BrowserControl& web, const QString& user = QStringLiteral("demo"),
                      const QString& password = QStringLiteral("demo"));

}  // namespace mevra::app::testing
