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
#include "tests/app/main_window_probe.h"
#include "tests/app/window_driver.h"
#include "tests/portal/portal_process.h"

namespace mevra::app::testing {

class PortalWindowTest : public ::testing::Test {
 protected:
  // One portal serves every test of a suite; sessions are keyed by the browser's cookie, and
  // every test starts without cookies, so tests do not see each other's sign-in.
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Starts the suite's portal with `arguments` (for example --tls) instead of the plain one.
  static void StartPortal(std::vector<std::string> arguments);
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

  // The open window's insides.
  MainWindowProbe Probe() const { return MainWindowProbe(*window_); }
  MainWindowUi& Ui() const { return Probe().Ui(); }
  MessageBoxes& Boxes() const { return Probe().Boxes(); }

  static portal::testing::PortalProcess& Portal() { return *portal_; }
  Endpoints endpoints_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<MainWindow> window_;
  MessageAnswer answer_ = MessageAnswer::kOk;
  // Written to config.ini after the endpoints, for example a [Config] section.
  QByteArray extra_config_;

 private:
  static std::unique_ptr<portal::testing::PortalProcess> portal_;
};

}  // namespace mevra::app::testing
