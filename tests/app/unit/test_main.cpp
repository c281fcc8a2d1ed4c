// The app tests need one QApplication for the whole run; widgets tests create windows in it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  // A private browser profile, so no test ever touches the user's sign-in or cache.
  QTemporaryDir profile;
  qputenv("MEVRA_PROFILE_DIR", profile.path().toLocal8Bit());
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
