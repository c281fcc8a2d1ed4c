#include "browser_test_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "browser/browser_control.h"
#include "wait_until.h"

namespace {

int LoadOnce(const QString& url) {
  mevra::browser::BrowserControl web("web1");
  web.Navigate(url);
  const bool loaded =
      mevra::browser::test::WaitUntil([&] { return web.LoadsFinished() > 0; }, 30000);
  return loaded ? 0 : 1;
}

}  // namespace

// One application for every browser test, so the engine starts only once.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication app(argc, argv);
  const QString load_once = qEnvironmentVariable(mevra::browser::kLoadOnceEnvVar);
  if (!load_once.isEmpty()) return LoadOnce(load_once);

  QTemporaryDir profile_dir;
  mevra::browser::BrowserControl::SetProfileStoragePath(profile_dir.path());
  return RUN_ALL_TESTS();
}
