// The window-system tests run on the xcb platform against a private X server: the offscreen
// platform keeps window titles to itself, so only a real X server shows what a window manager
// is told.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/application_setup.h"
#include "browser/browser_control.h"
#include "tests/app/x11/x_server.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  mevra::app::testing::XServer server;
  const QString display = server.Start(MEVRA_XVFB_BINARY);
  if (display.isEmpty()) {
    std::fprintf(stderr, "%s did not start\n", MEVRA_XVFB_BINARY);
    return 1;
  }
  qputenv("DISPLAY", display.toLatin1());
  qputenv("QT_QPA_PLATFORM", "xcb");

  QTemporaryDir profile;
  mevra::browser::BrowserControl::SetProfileStoragePath(profile.path());
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  // As the program does at start-up.
  mevra::app::SetUpApplication(application);
  return RUN_ALL_TESTS();
}
