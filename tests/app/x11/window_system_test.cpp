// Window titles as a window manager reads them (_NET_WM_NAME on the X server), and Qt's own
// texts in the program's language: the main window, its message boxes and the folder dialog.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "tests/app/main_window_probe.h"
#include "tests/browser/wait_until.h"
#include "tests/widgets/qt_printers.h"
#include "widgets/select_folder_form.h"

namespace mevra::app {
namespace {

using browser::test::WaitUntil;

// A client of the X server of its own, as a window manager is.
class WindowManagerView {
 public:
  WindowManagerView() : connection_(xcb_connect(nullptr, nullptr)) {
    net_wm_name_ = Atom("_NET_WM_NAME");
    utf8_string_ = Atom("UTF8_STRING");
  }
  ~WindowManagerView() { xcb_disconnect(connection_); }

  bool Connected() const { return xcb_connection_has_error(connection_) == 0; }

  // The title the window carries on the server.
  QString Title(const QWidget& window) const {
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection_, 0, id, net_wm_name_, utf8_string_, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
    if (reply == nullptr) return {};
    const QString title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                            xcb_get_property_value_length(reply));
    std::free(reply);
    return title;
  }

 private:
  xcb_atom_t Atom(const char* name) const {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  }

  xcb_connection_t* connection_;
  xcb_atom_t net_wm_name_ = XCB_ATOM_NONE;
  xcb_atom_t utf8_string_ = XCB_ATOM_NONE;
};

// A button's text without its mnemonic: "是(&Y)" and "&Yes" read "是" and "Yes".
QString Plain(QString text) {
  text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
  return text.remove(QLatin1Char('&'));
}

// What a modal window showed: its title on the server and its buttons' texts.
struct Seen {
  QString title;
  QStringList buttons;
};

class WindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(view_.Connected());
    QFile config(dir_.filePath("config.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        "[Endpoints]\nPortalHomeUrl=about:blank\nPortalHost=127.0.0.1:1\n"
        "LoginHost=127.0.0.1:2\nLoginBaseUrl=http://127.0.0.1:2\n"
        "MusicBaseUrl=http://127.0.0.1:3\n");
    config.close();
    window_ = std::make_unique<MainWindow>(
        MainWindowFiles{dir_.filePath("config.ini"), dir_.filePath("temp.mp3")});
    // The real boxes are shown: nothing answers in their place.
    testing::MainWindowProbe(*window_).Opener().OnOpen = [](const QString&) {};
    window_->show();
  }
  void TearDown() override { window_.reset(); }

  // Runs `open`, which shows a modal window and returns once it is gone; `close` ends it after
  // its title has reached the server (or a generous time has passed).
  Seen SeeModal(const std::function<void()>& open, const QString& expected_title,
                const std::function<void(QWidget&)>& close) {
    Seen seen;
    QTimer::singleShot(0, [&] {
      if (!WaitUntil([] { return QApplication::activeModalWidget() != nullptr; })) return;
      QWidget& modal = *QApplication::activeModalWidget();
      WaitUntil([&] { return view_.Title(modal) == expected_title; }, 10000);
      seen.title = view_.Title(modal);
      for (const QAbstractButton* button : modal.findChildren<QAbstractButton*>()) {
        if (button->isVisible()) seen.buttons << Plain(button->text());
      }
      seen.buttons.sort();
      close(modal);
    });
    open();
    return seen;
  }

  QTemporaryDir dir_;
  WindowManagerView view_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowSystemTest, TheMainWindowCarriesItsCaptionAsItStands) {
  const QString caption = QStringLiteral("《Mevra音乐管家》       Ver:2.0");
  EXPECT_TRUE(WaitUntil([&] { return view_.Title(*window_) == caption; }, 10000))
      << view_.Title(*window_).toStdString();
}

TEST_F(WindowSystemTest, MessageBoxesKeepTheirCaptionsAndSpeakTheProgramsLanguage) {
  struct Case {
    const char* name;
    std::function<void(MainWindow&)> open;
    const char* title;
    QStringList buttons;
  };
  const Case cases[] = {
      {"a question", [](MainWindow& w) { w.btn_clearClick(); }, "提示", {"否", "是"}},
      {"a notice",
       [](MainWindow& w) {
         w.btn_searchClick();  // nothing to search for
       },
       "Mevra音乐管家",
       {"确定"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Seen seen = SeeModal([&] { c.open(*window_); }, QString::fromUtf8(c.title),
                               [](QWidget& modal) {
                                 auto& box = static_cast<QMessageBox&>(modal);
                                 QAbstractButton* no = box.button(QMessageBox::No);
                                 (no ? no : box.button(QMessageBox::Ok))->click();
                               });
    EXPECT_EQ(seen.title, QString::fromUtf8(c.title));
    EXPECT_EQ(seen.buttons, c.buttons);
  }
}

TEST_F(WindowSystemTest, TheFolderDialogKeepsItsOwnEnglishCaptions) {
  const Seen seen =
      SeeModal([&] { window_->btn_openpathClick(); }, QStringLiteral("Browse for Folder"),
               [](QWidget& modal) { static_cast<QDialog&>(modal).reject(); });
  EXPECT_EQ(seen.title, "Browse for Folder");
  EXPECT_TRUE(seen.buttons.contains("OK")) << seen.buttons.join(',').toStdString();
  EXPECT_TRUE(seen.buttons.contains("Cancel")) << seen.buttons.join(',').toStdString();
}

}  // namespace
}  // namespace mevra::app
