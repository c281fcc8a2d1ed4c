#pragma once

// End-to-end tests of the main window against mevra-portal on ephemeral loopback ports. The
// executable's main() is unit/test_main.cpp, which creates the QApplication, so test files
// define only tests. Each test starts with no cookies in the shared profile, so signed out.
#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/portal/portal_process.h"

namespace mevra::app::testing {

// Dispatches events until `done` holds; false when it still does not hold after `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms = 30000);
// Dispatches events for `ms`, to let late events of a page arrive.
void Settle(int ms);

// Runs a script in the browser's page and waits for its result (as text).
QString RunScript(browser::BrowserControl& web, const QString& script);

// Endpoints of a running portal, as the "Endpoints" section of config.ini would give them.
Endpoints PortalEndpoints(const portal::testing::PortalProcess& portal);
QByteArray EndpointsSection(const Endpoints& endpoints);

class PortalWindowTest : public ::testing::Test {
 protected:
  // One portal serves every test of a suite; sessions are keyed by the browser's cookie, and
  // every test starts without cookies, so tests do not see each other's sign-in.
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Writes config.ini with the portal's endpoints (`home_url` replaces the home page when
  // given) and opens the window, shown offscreen. Message boxes are answered with `answer_`
  // and web pages are never opened outside.
  MainWindow& Open(const QString& home_url = QString());
  // From the login page: fills in the form with demo / demo and submits it.
  void SubmitSignIn(MainWindow& w);
  // Opens the window and signs in; returns once the new-songs chart has been harvested.
  MainWindow& OpenSignedIn();

  static portal::testing::PortalProcess& Portal() { return *portal_; }
  Endpoints endpoints_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<MainWindow> window_;
  MessageAnswer answer_ = MessageAnswer::kOk;

 private:
  static std::unique_ptr<portal::testing::PortalProcess> portal_;
};

}  // namespace mevra::app::testing
