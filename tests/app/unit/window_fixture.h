#pragma once

// A main window offscreen with its files in a temporary folder and its endpoints pointed at
// local files, so no test reaches any server.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

#include "app/main_window.h"
#include "tests/app/main_window_probe.h"
#include "tests/browser/wait_until.h"

namespace mevra::app::testing {

using browser::test::WaitUntil;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    config_path_ = dir_.filePath("config.ini");
  }
  void TearDown() override { window_.reset(); }

  QString FileUrl(const QString& name) const {
    return QUrl::fromLocalFile(dir_.filePath(name)).toString();
  }
  void WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile file(dir_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
  }
  QByteArray ReadFile(const QString& name) const {
    QFile file(dir_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // The endpoints every window test starts from: a blank home page and charts as local files.
  QByteArray EndpointsSection() const {
    return "[Endpoints]\nPortalHomeUrl=about:blank\nPortalHost=127.0.0.1:1\n"
           "LoginHost=127.0.0.1:2\nLoginBaseUrl=http://127.0.0.1:2\nMusicBaseUrl=" +
           FileUrl("music").toUtf8() + "\n";
  }
  MainWindow& Open(TickClock clock = SystemTickCount) {
    MainWindowFiles files{config_path_, dir_.filePath("temp.mp3")};
    window_ = std::make_unique<MainWindow>(files, nullptr, std::move(clock));
    // Tests answer every box; a modal box would hang the run.
    Boxes().OnShow = [this](const MessageRequest&) { return answer_; };
    Probe().Opener().OnOpen = [](const QString&) {};
    return *window_;
  }
  // The open window's insides.
  MainWindowProbe Probe() const { return MainWindowProbe(*window_); }
  MainWindowUi& Ui() const { return Probe().Ui(); }
  MessageBoxes& Boxes() const { return Probe().Boxes(); }
  void CloseWindow() {
    window_->close();
    window_.reset();
  }

  QTemporaryDir dir_;
  QString config_path_;
  std::unique_ptr<MainWindow> window_;
  MessageAnswer answer_ = MessageAnswer::kOk;
};

}  // namespace mevra::app::testing
