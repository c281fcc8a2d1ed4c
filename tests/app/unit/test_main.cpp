// The app tests need one QApplication for the whole run; window tests create windows in it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "browser/browser_control.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A private browser profile, so no test ever touches the user's sign-in or cache. A test that
  // starts this program as a child to kill it names the child's, which outlives the child.
  QTemporaryDir profile;
  const QString named = qEnvironmentVariable("MEVRA_TEST_PROFILE");
  mevra::browser::BrowserControl::SetProfileStoragePath(named.isEmpty() ? profile.path() : named);
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
