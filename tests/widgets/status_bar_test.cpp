#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <vector>

#include "widgets/progress_status.h"
#include "widgets/status_bar.h"
#include "widgets/status_pane.h"

namespace mevra::widgets {
namespace {

const QColor kFace(212, 208, 200);
const QColor kShadow(128, 128, 128);
const QColor kHighlight(255, 255, 255);
const QColor kDarkShadow(64, 64, 64);
const QColor kGrayText(109, 109, 109);
const QColor kText(0, 0, 0);
const QColor kGrey(128, 128, 128);  // the indicator's fill, as the main window sets it
constexpr int kInfoWidth = 510;

QPalette FixedPalette() {
  QPalette palette;
  palette.setColor(QPalette::Button, kFace);
  palette.setColor(QPalette::Window, kFace);
  palette.setColor(QPalette::Dark, kShadow);
  palette.setColor(QPalette::Light, kHighlight);
  palette.setColor(QPalette::Shadow, kDarkShadow);
  palette.setColor(QPalette::WindowText, kText);
  palette.setColor(QPalette::Highlight, QColor(10, 36, 106));
  palette.setColor(QPalette::Disabled, QPalette::Text, kGrayText);
  return palette;
}

// 11-pixel DejaVu Sans has a text height of 13 pixels; no antialiasing keeps colours exact.
QFont FixedFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// Which pixels a plain painter sets for `text` with its cell's top-left corner at `origin`.
QImage TextMask(const QSize& size, const QString& text, QPoint origin) {
  QImage mask(size, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter painter(&mask);
  painter.setFont(FixedFont());
  painter.setPen(Qt::black);
  painter.drawText(QPoint(origin.x(), origin.y() + QFontMetrics(FixedFont()).ascent()), text);
  return mask;
}

bool InMask(const QImage& mask, int x, int y) { return mask.pixelColor(x, y) == Qt::black; }

// The main window's bar: a 510-pixel text pane and the indicator filling the rest.
struct MainBar {
  explicit MainBar(int indicator_width, bool resizable = false) {
    window = std::make_unique<QWidget>();
    window->setPalette(FixedPalette());
    window->setFont(FixedFont());
    window->resize(kInfoWidth + indicator_width, 60);
    if (!resizable) window->setFixedSize(window->size());
    bar = new StatusBar(window.get());
    info = new StatusPane(bar);
    info->SetWidth(kInfoWidth);
    info->SetHeight(19);
    info->SetFrameStyle(FrameStyle::fsStatus);
    info->SetAlign(PaneAlign::alLeft);
    progress = new ProgressStatus(bar);
    progress->SetAlign(PaneAlign::alClient);
    progress->SetBarColor(kGrey);
    progress->SetNumSegments(1);
    progress->SetShowPercent(true);
  }

  QImage Render() const {
    QImage image(bar->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    bar->render(&image);
    return image;
  }

  // The indicator's part of a rendered bar.
  QImage RenderIndicator() const { return Render().copy(progress->Geometry()); }

  std::unique_ptr<QWidget> window;
  StatusBar* bar;
  StatusPane* info;
  ProgressStatus* progress;
};

TEST(StatusBarLayout, DocksAtBottomWithFixedLeftPaneAndClientPane) {
  MainBar main(562);
  EXPECT_EQ(main.bar->geometry(), QRect(0, 60 - 19, kInfoWidth + 562, 19));
  EXPECT_EQ(main.info->Geometry(), QRect(0, 0, kInfoWidth, 19));
  EXPECT_EQ(main.progress->Geometry(), QRect(kInfoWidth, 0, 562, 19));
  main.window->show();
  main.window->setFixedSize(kInfoWidth + 700, 80);
  EXPECT_EQ(main.bar->geometry(), QRect(0, 80 - 19, kInfoWidth + 700, 19));
  EXPECT_EQ(main.progress->Geometry(), QRect(kInfoWidth, 0, 700, 19));
}

TEST(StatusBarLayout, LeavesPlacementToALayoutThatHoldsIt) {
  QWidget window;
  auto* outer = new QVBoxLayout(&window);
  auto* inner = new QVBoxLayout();
  outer->addLayout(inner);
  auto* bar = new StatusBar(&window);
  inner->addWidget(new QWidget(&window));
  inner->addWidget(bar);
  window.resize(400, 200);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QRect placed = bar->geometry();
  EXPECT_EQ(placed.height(), 19);
  window.resize(500, 300);
  QApplication::processEvents();
  EXPECT_EQ(bar->geometry().height(), 19);
  EXPECT_EQ(bar->geometry().width(),
            500 - outer->contentsMargins().left() - outer->contentsMargins().right());
  EXPECT_EQ(bar->geometry().bottom(), 300 - 1 - outer->contentsMargins().bottom());
}

struct PercentCase {
  uint16_t percent;
  int indicator_width;
  int filled;  // pixels of the text area's width
};

void PrintTo(const PercentCase& c, std::ostream* out) {
  *out << c.percent << "% of " << c.indicator_width;
}

class PercentBarTest : public testing::TestWithParam<PercentCase> {};

// Every pixel of the text area: the fill reaches exactly `filled` pixels, and the percent text,
// centred at half the area's right coordinate, is face-coloured over the fill and grey beyond.
TEST_P(PercentBarTest, FillsAndWritesTheStoredValueInTwoColours) {
  const PercentCase c = GetParam();
  MainBar main(c.indicator_width);
  main.progress->SetPercent(c.percent);
  const QImage image = main.RenderIndicator();
  const int width = c.indicator_width;
  const QString text = QString::number(c.percent) + "%";
  const QFontMetrics metrics(FixedFont());
  ASSERT_EQ(metrics.height(), 13);
  const int centre = (width - 2) / 2;
  const QImage mask =
      TextMask(image.size(), text, QPoint(centre - metrics.horizontalAdvance(text) / 2, 3));
  int face_text_pixels = 0;
  int grey_text_pixels = 0;
  for (int y = 3; y <= 15; ++y) {
    for (int x = 2; x <= width - 3; ++x) {
      const bool in_fill = x < 2 + c.filled;
      const bool text_pixel = InMask(mask, x, y);
      const QColor expected = in_fill == text_pixel ? kFace : kGrey;
      ASSERT_EQ(image.pixelColor(x, y), expected) << "x " << x << " y " << y;
      if (text_pixel) ++(in_fill ? face_text_pixels : grey_text_pixels);
    }
  }
  EXPECT_GT(face_text_pixels + grey_text_pixels, 0);
  // Rows 2 and 16 lie inside the frame but outside the bar: the surface shows through.
  for (int x = 2; x <= width - 3; ++x) {
    EXPECT_EQ(image.pixelColor(x, 2), kFace);
    EXPECT_EQ(image.pixelColor(x, 16), kFace);
  }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindowIndicator, PercentBarTest,
    testing::Values(PercentCase{0, 562, 0},       // no fill, 0% in grey
                    PercentCase{57, 562, 318},    // x 2..319
                    PercentCase{100, 562, 558},   // full, 100% in face colour
                    PercentCase{150, 562, 558},   // full, the stored number
                    PercentCase{50, 561, 278},    // 278.5 rounds to even; text split at the edge
                    PercentCase{51, 561, 284},    // 284.07 rounds down
                    PercentCase{99, 561, 551},    // 551.43
                    PercentCase{65535, 300, 296}  // the widest value still draws a full bar
                    ),
    [](const testing::TestParamInfo<PercentCase>& info) {
      return "Percent" + std::to_string(info.param.percent) + "Width" +
             std::to_string(info.param.indicator_width);
    });

TEST(PercentBar, SplitTextUsesBothColours) {
  MainBar main(561);
  main.progress->SetPercent(50);
  const QImage image = main.RenderIndicator();
  bool face_left_of_edge = false;
  bool grey_right_of_edge = false;
  for (int y = 3; y <= 15; ++y) {
    for (int x = 260; x < 280; ++x) face_left_of_edge |= image.pixelColor(x, y) == kFace;
    for (int x = 280; x < 300; ++x) grey_right_of_edge |= image.pixelColor(x, y) == kGrey;
  }
  EXPECT_TRUE(face_left_of_edge);
  EXPECT_TRUE(grey_right_of_edge);
}

TEST(PaneFrames, FlatFrameIsTheLighterShadowWithoutCornersAndStatusFrameIsSunken) {
  MainBar main(562);
  const QImage bar = main.Render();
  const QImage indicator = bar.copy(main.progress->Geometry());
  const QColor flat(159, 159, 159);
  struct Pixel {
    const QImage* image;
    int x;
    int y;
    QColor expected;
  };
  const std::vector<Pixel> pixels = {
      // Indicator: four lines on (1, 1, 561, 18) without their corner pixels.
      {&indicator, 1, 2, flat},
      {&indicator, 1, 16, flat},
      {&indicator, 2, 1, flat},
      {&indicator, 559, 1, flat},
      {&indicator, 560, 9, flat},
      {&indicator, 300, 17, flat},
      {&indicator, 1, 1, kFace},
      {&indicator, 560, 1, kFace},
      {&indicator, 1, 17, kFace},
      {&indicator, 560, 17, kFace},
      {&indicator, 0, 9, kFace},
      // Text pane: shadow left and top, highlight right and bottom, which own two corners.
      {&bar, 1, 1, kShadow},
      {&bar, 1, 16, kShadow},
      {&bar, 507, 1, kShadow},
      {&bar, 508, 1, kHighlight},
      {&bar, 508, 17, kHighlight},
      {&bar, 1, 17, kHighlight},
      {&bar, 200, 17, kHighlight},
      {&bar, 0, 0, kFace},
      {&bar, 509, 9, kFace},
  };
  for (const Pixel& p : pixels) {
    SCOPED_TRACE(std::string(p.image == &bar ? "bar " : "indicator ") + std::to_string(p.x) + "," +
                 std::to_string(p.y));
    EXPECT_EQ(p.image->pixelColor(p.x, p.y), p.expected);
  }
}

struct CaptionCase {
  const char* name;
  QString caption;
  bool enabled;
  QColor colour;
};

void PrintTo(const CaptionCase& c, std::ostream* out) { *out << c.name; }

class CaptionTest : public testing::TestWithParam<CaptionCase> {};

// The caption's cell starts at (5, 3) and is cut at the text area's right edge (x 508), with no
// ellipsis: the pixels are exactly the text's own, clipped.
TEST_P(CaptionTest, DrawsAtTextAreaOffsetAndClips) {
  const CaptionCase c = GetParam();
  MainBar main(562);
  main.info->SetCaption(c.caption);
  main.info->SetEnabled(c.enabled);
  const QImage image = main.Render();
  const QImage mask = TextMask(QSize(2000, 19), c.caption, QPoint(5, 3));
  int text_pixels = 0;
  for (int y = 2; y <= 16; ++y) {
    for (int x = 2; x <= 507; ++x) {
      const bool text_pixel = InMask(mask, x, y);
      ASSERT_EQ(image.pixelColor(x, y), text_pixel ? c.colour : kFace) << x << "," << y;
      text_pixels += text_pixel;
    }
  }
  EXPECT_GT(text_pixels, 0);
  for (int y = 2; y <= 16; ++y) {
    EXPECT_EQ(image.pixelColor(508, y), kHighlight);
    EXPECT_EQ(image.pixelColor(509, y), kFace);
  }
}

INSTANTIATE_TEST_SUITE_P(
    TextPane, CaptionTest,
    testing::Values(CaptionCase{"Mixed", "Pp 正在下载 song.mp3", true, kText},
                    CaptionCase{"TooWide", QString(120, QChar('W')), true, kText},
                    CaptionCase{"Disabled", "disabled pane", false, kGrayText}),
    [](const testing::TestParamInfo<CaptionCase>& info) { return info.param.name; });

// The program's own font: its line (19 pixels) is taller than the 15-pixel text area.
QFont ProgramFont() {
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(13);
  return font;
}

// Where `caption`, drawn unclipped on the face colour, puts its ink: the pixels that differ from
// the face colour, with the baseline at row kBaseline of a tall canvas.
struct Ink {
  static constexpr int kBaseline = 40;
  QImage image;
  int top = -1;
  int bottom = -1;
};

Ink UnclippedInk(const QString& caption, const QFont& font, int x) {
  Ink ink;
  ink.image = QImage(2000, 80, QImage::Format_RGB32);
  ink.image.fill(kFace);
  QPainter painter(&ink.image);
  painter.setFont(font);
  painter.setPen(kText);
  painter.drawText(QPoint(x, Ink::kBaseline), caption);
  painter.end();
  for (int y = 0; y < ink.image.height(); ++y) {
    for (int x = 0; x < ink.image.width(); ++x) {
      if (ink.image.pixelColor(x, y) == kFace) continue;
      if (ink.top < 0) ink.top = y;
      ink.bottom = y;
    }
  }
  return ink;
}

// Checks that the text area (x 2..last_x, rows 2..16) of `image` holds the whole ink of the
// caption drawn from `x`, unchanged, and nothing else. Returns the caption's baseline row, or -1
// after a failure.
int ExpectWholeCaption(const QImage& image, const QString& caption, const QFont& font, int x,
                       int last_x) {
  const Ink ink = UnclippedInk(caption, font, x);
  if (ink.top < 0) {
    ADD_FAILURE() << "the caption has no ink";
    return -1;
  }
  int drawn_top = -1;
  for (int y = 2; y <= 16 && drawn_top < 0; ++y) {
    for (int column = 2; column <= last_x; ++column) {
      if (image.pixelColor(column, y) != kFace) {
        drawn_top = y;
        break;
      }
    }
  }
  const int shift = drawn_top - ink.top;
  EXPECT_GE(ink.bottom + shift, 0);
  EXPECT_LE(ink.bottom + shift, 16) << "the lowest rows of the glyphs are cut";
  for (int y = 2; y <= 16; ++y) {
    for (int column = 2; column <= last_x; ++column) {
      const int from = y - shift;
      const QColor expected =
          from >= 0 && from < ink.image.height() ? ink.image.pixelColor(column, from) : kFace;
      if (image.pixelColor(column, y) != expected) {
        ADD_FAILURE() << "pixel " << column << "," << y << " differs from the unclipped text";
        return -1;
      }
    }
  }
  return Ink::kBaseline + shift;
}

struct ProgramFontCase {
  const char* name;
  QString caption;
  bool ordinary;  // ordinary CJK and Latin text shares one baseline
};

void PrintTo(const ProgramFontCase& c, std::ostream* out) { *out << c.name; }

class ProgramFontCaptionTest : public testing::TestWithParam<ProgramFontCase> {};

// With the program's font, neither descenders and brackets nor CJK glyphs lose rows, and the
// baseline stays put from one ordinary caption to the next.
TEST_P(ProgramFontCaptionTest, KeepsEveryGlyphWholeInsideTheTextArea) {
  const ProgramFontCase c = GetParam();
  MainBar main(562);
  main.window->setFont(ProgramFont());
  ASSERT_EQ(QFontInfo(main.bar->font()).family(), "Noto Sans CJK SC");
  ASSERT_EQ(QFontMetrics(main.bar->font()).height(), 19);
  main.info->SetCaption(c.caption);
  const QImage image = main.Render();
  const int baseline = ExpectWholeCaption(image, c.caption, ProgramFont(), 5, 507);
  if (c.ordinary) {
    EXPECT_EQ(baseline, 14);
  }
  // The frame is untouched: shadow above, highlight below.
  for (int x = 2; x <= 507; ++x) {
    ASSERT_EQ(image.pixelColor(x, 1), kShadow) << x;
    ASSERT_EQ(image.pixelColor(x, 17), kHighlight) << x;
  }
}

INSTANTIATE_TEST_SUITE_P(
    TextPane, ProgramFontCaptionTest,
    testing::Values(ProgramFontCase{"Descenders", "gjpqy, (song) [Pp]", true},
                    ProgramFontCase{"Cjk", "正在下载《晨光》...", true},
                    ProgramFontCase{"Mixed", "《Spring Song (Live)》已下载:2441K  总大小:4882K",
                                    true},
                    ProgramFontCase{"NoDescenders", "XAMH 100%", true},
                    ProgramFontCase{"TallBar", "a|b", false}),
    [](const testing::TestParamInfo<ProgramFontCase>& info) { return info.param.name; });

// The folder dialog's one-caption line has the same 15 rows and the same font.
TEST(SimpleStatus, ProgramFontKeepsTheCaptionWhole) {
  MainBar main(300);
  main.window->setFont(ProgramFont());
  main.bar->SetSimpleFrameStyle(FrameStyle::fsNone);
  main.bar->SetSimpleStatus(true);
  for (const QString& caption :
       {QStringLiteral("/home/用户/Music/gjpqy (2)"), QStringLiteral("/media/音乐/新歌TOP100")}) {
    SCOPED_TRACE(caption.toStdString());
    main.bar->SetSimpleCaption(caption);
    EXPECT_EQ(ExpectWholeCaption(main.Render(), caption, ProgramFont(), 4, 600), 14);
  }
}

TEST(SizeGrip, SixRaisedDotsInTheCornerOnlyWhileTheWindowIsResizable) {
  MainBar main(300, /*resizable=*/true);
  const int right = main.bar->width();
  const int bottom = 18;
  const QImage image = main.Render();
  const QPoint dots[] = {{5, 12}, {5, 8}, {5, 4}, {9, 8}, {9, 4}, {13, 4}};
  for (const QPoint& dot : dots) {
    SCOPED_TRACE("dot " + std::to_string(dot.x()) + "," + std::to_string(dot.y()));
    const int x = right - dot.x();
    const int y = bottom - dot.y();
    // The shadow square one pixel up and left covers the highlight square's top-left pixel.
    EXPECT_EQ(image.pixelColor(x + 1, y), kHighlight);
    EXPECT_EQ(image.pixelColor(x, y + 1), kHighlight);
    EXPECT_EQ(image.pixelColor(x + 1, y + 1), kHighlight);
    EXPECT_EQ(image.pixelColor(x, y), kShadow);
    EXPECT_EQ(image.pixelColor(x - 1, y - 1), kShadow);
    EXPECT_EQ(image.pixelColor(x, y - 1), kShadow);
    EXPECT_EQ(image.pixelColor(x - 1, y), kShadow);
  }

  main.window->setWindowState(Qt::WindowMaximized);
  EXPECT_FALSE(main.bar->SizeGripValid());
  const QImage maximized = main.Render();
  for (int y = 0; y < 19; ++y) {
    for (int x = right - 14; x < right; ++x) {
      EXPECT_NE(maximized.pixelColor(x, y), kHighlight) << x << "," << y;
    }
  }
}

TEST(SizeGrip, FixedSizeWindowHasNoGrip) {
  MainBar main(300, /*resizable=*/false);
  EXPECT_FALSE(main.bar->SizeGripValid());
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
  const QPointF local(pos);
  const QPointF global(widget->mapToGlobal(pos));
  QMouseEvent event(type, local, local, global,
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

TEST(SizeGrip, CornerBelongsToTheBarAndDragsTheWindowEdge) {
  MainBar main(300, /*resizable=*/true);
  main.window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main.window.get()));
  StatusBar* bar = main.bar;
  const int width = bar->width();

  EXPECT_EQ(bar->PaneAt(QPoint(width - 5, 9)), nullptr);
  EXPECT_EQ(bar->PaneAt(QPoint(width - 13, 9)), main.progress);
  EXPECT_EQ(bar->PaneAt(QPoint(20, 9)), main.info);

  SendMouse(bar, QEvent::MouseMove, QPoint(width - 5, 9), Qt::NoButton);
  EXPECT_EQ(bar->cursor().shape(), Qt::SizeFDiagCursor);
  SendMouse(bar, QEvent::MouseMove, QPoint(width - 14, 9), Qt::NoButton);
  EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);

  const QSize before = main.window->size();
  SendMouse(bar, QEvent::MouseButtonPress, QPoint(width - 5, 9), Qt::LeftButton);
  SendMouse(bar, QEvent::MouseMove, QPoint(width + 35, 29), Qt::LeftButton);
  SendMouse(bar, QEvent::MouseButtonRelease, QPoint(width + 35, 29), Qt::NoButton);
  EXPECT_EQ(main.window->size(), before + QSize(40, 20));
}

TEST(SizeGrip, MaximizedWindowIgnoresPressInTheCorner) {
  MainBar main(300, /*resizable=*/true);
  main.window->showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main.window.get()));
  const QSize before = main.window->size();
  const int width = main.bar->width();
  SendMouse(main.bar, QEvent::MouseButtonPress, QPoint(width - 5, 9), Qt::LeftButton);
  SendMouse(main.bar, QEvent::MouseMove, QPoint(width - 60, 2), Qt::LeftButton);
  SendMouse(main.bar, QEvent::MouseButtonRelease, QPoint(width - 60, 2), Qt::NoButton);
  EXPECT_EQ(main.window->size(), before);
  EXPECT_NE(main.bar->cursor().shape(), Qt::SizeFDiagCursor);
}

// Records the bar's paint events and the regions they covered.
class PaintRecorder : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      regions.push_back(static_cast<QPaintEvent*>(event)->region());
    return false;
  }
  std::vector<QRegion> regions;
};

TEST(Setters, PercentRepaintsAtOnceWithPendingCaptionAndEqualValuesCostNothing) {
  MainBar main(562);
  main.window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main.window.get()));
  QApplication::processEvents();
  PaintRecorder recorder;
  main.bar->installEventFilter(&recorder);

  main.progress->SetPercent(0);
  main.info->SetCaption(QString());
  QApplication::processEvents();
  EXPECT_TRUE(recorder.regions.empty()) << "equal values must not repaint";

  main.info->SetCaption("Downloading 3 of 8");
  EXPECT_TRUE(recorder.regions.empty()) << "a caption only invalidates";
  main.progress->SetPercent(42);
  ASSERT_EQ(recorder.regions.size(), 1u) << "a new percent paints before the setter returns";
  EXPECT_TRUE(recorder.regions[0].contains(main.info->Geometry()));
  EXPECT_TRUE(recorder.regions[0].contains(main.progress->Geometry()));

  main.progress->SetPercent(42);
  main.info->SetCaption("Downloading 3 of 8");
  QApplication::processEvents();
  EXPECT_EQ(recorder.regions.size(), 1u);
  EXPECT_EQ(main.progress->Percent(), 42);
  EXPECT_EQ(main.info->Caption(), "Downloading 3 of 8");
}

TEST(Setters, PartsSetThePercentRoundedHalfToEven) {
  MainBar main(300);
  ProgressStatus* p = main.progress;
  p->SetTotalParts(8);
  const struct {
    uint32_t complete;
    uint32_t stored;
    uint16_t percent;
  } cases[] = {{1, 1, 12}, {3, 3, 38}, {4, 4, 50}, {5, 5, 62}, {20, 8, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE("complete " + std::to_string(c.complete));
    p->SetPartsComplete(c.complete);
    EXPECT_EQ(p->PartsComplete(), c.stored);
    EXPECT_EQ(p->Percent(), c.percent);
  }
  // A new total starts over.
  p->SetTotalParts(ProgressStatus::kMaxParts);
  EXPECT_EQ(p->PartsComplete(), 0u);
  EXPECT_EQ(p->Percent(), 0);
  p->SetPartsComplete(ProgressStatus::kMaxParts - 1);
  EXPECT_EQ(p->Percent(), 100);  // no overflow in the product

  p->SetTotalParts(0);
  p->SetPercent(40);
  p->SetPartsComplete(5);
  EXPECT_EQ(p->PartsComplete(), 0u);
  EXPECT_EQ(p->Percent(), 40);
}

TEST(SimpleStatus, OneCaptionReplacesThePanes) {
  MainBar main(300);
  main.info->SetCaption("hidden while simple");
  main.bar->SetSimpleFrameStyle(FrameStyle::fsNone);
  main.bar->SetSimpleCaption("/home/user/Music");
  main.bar->SetSimpleStatus(true);
  const QImage image = main.Render();
  // Client (1, 1, W - 1, 19), bottom less one and shrunk by one: the text cell starts at (4, 3).
  const QImage mask = TextMask(QSize(2000, 19), "/home/user/Music", QPoint(4, 3));
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 400; ++x) {
      ASSERT_EQ(image.pixelColor(x, y), InMask(mask, x, y) ? kText : kFace) << x << "," << y;
    }
  }
}

TEST(ThemedPath, UsesTheStyleInsteadOfTheClassicFrames) {
  MainBar main(300);
  StatusBar::SetThemesEnabled(true);
  const QImage themed = main.RenderIndicator();
  StatusBar::SetThemesEnabled(false);
  const QImage classic = main.RenderIndicator();
  EXPECT_EQ(classic.pixelColor(1, 5), QColor(159, 159, 159));
  EXPECT_NE(themed.pixelColor(1, 5), QColor(159, 159, 159));
  main.bar->SetVisualStyle(VisualStyle::vsClassic);
  StatusBar::SetThemesEnabled(true);
  EXPECT_EQ(main.RenderIndicator(), classic) << "vsClassic ignores the theme";
  StatusBar::SetThemesEnabled(false);
}

}  // namespace
}  // namespace mevra::widgets
