// The sign-in page as the program's browser lays it out: the real engine, offscreen, at the
// width of the program's browser, where the program shows its red sign-in tip at the top right.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRect>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "tests/portal/portal_process.h"

namespace mevra::portal {
namespace {

using testing::PortalProcess;

constexpr int kViewWidth = 513;
// The part of the view the program's sign-in tip covers (it is 41 pixels high; 45 leaves it
// some room).
const QRect kTipArea(208, 0, kViewWidth - 208, 45);
constexpr int kWaitMs = 30000;

class LoginLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_.resize(kViewWidth, 500);
    view_.show();
    QObject::connect(&view_, &QWebEngineView::loadFinished, [this](bool ok) {
      ++loads_;
      load_ok_ = ok;
    });
  }

  bool Load(const QUrl& url) {
    const int before = loads_;
    view_.load(url);
    return QTest::qWaitFor([&] { return loads_ > before; }, kWaitMs) && load_ok_;
  }

  QVariant Run(const QString& script) {
    QVariant result;
    bool done = false;
    view_.page()->runJavaScript(script, [&](const QVariant& value) {
      result = value;
      done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kWaitMs)) ADD_FAILURE() << "no script result";
    return result;
  }

  // Boxes of the heading, the error line and the form with everything inside them, as
  // "selector x y width height" lines in view pixels.
  QStringList Boxes() {
    const QVariant boxes = Run(QStringLiteral(R"JS(
      (function() {
        var out = [];
        document.querySelectorAll('h1, #login-error, form, form *').forEach(function(e) {
          var b = e.getBoundingClientRect();
          if (b.width > 0 && b.height > 0)
            out.push((e.id || e.tagName) + ' ' + b.left + ' ' + b.top + ' ' + b.width + ' ' +
                     b.height);
        });
        return out;
      })())JS"));
    return boxes.toStringList();
  }

  void ExpectClearOfTheTip(const QStringList& expected_kinds) {
    const QStringList boxes = Boxes();
    QStringList kinds;
    for (const QString& line : boxes) {
      const QStringList f = line.split(' ');
      ASSERT_EQ(f.size(), 5) << line.toStdString();
      kinds << f[0];
      const QRectF box(f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble());
      EXPECT_FALSE(box.intersects(QRectF(kTipArea))) << line.toStdString();
    }
    for (const QString& kind : expected_kinds) {
      EXPECT_TRUE(kinds.contains(kind)) << kind.toStdString() << " was not laid out";
    }
  }

  PortalProcess portal_;
  QWebEngineView view_;
  int loads_ = 0;
  bool load_ok_ = false;
};

TEST_F(LoginLayoutTest, HeadingFormAndErrorStayClearOfTheSignInTip) {
  const QString back = QString::fromStdString(portal_.MusicBaseUrl()) + "/top/new/";
  const QUrl login(QString::fromStdString(portal_.LoginBaseUrl()) +
                   "/v2/?login&tpl=mn&u=" + QString::fromLatin1(QUrl::toPercentEncoding(back)));
  {
    SCOPED_TRACE("the form as first shown");
    ASSERT_TRUE(Load(login));
    ExpectClearOfTheTip({"H1", "FORM", "INPUT", "BUTTON"});
  }
  {
    SCOPED_TRACE("the form again after a wrong password");
    const int before = loads_;
    Run(
        QStringLiteral("document.querySelector('input[name=username]').value = 'demo';"
                       "document.querySelector('input[name=password]').value = 'wrong';"
                       "document.querySelector('form').submit();"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loads_ > before; }, kWaitMs));
    ExpectClearOfTheTip({"H1", "login-error", "FORM", "INPUT", "BUTTON"});
  }
}

}  // namespace
}  // namespace mevra::portal

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The engine shares its rendering contexts with the widgets that show it.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
