#include "widgets/progress_status.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "widgets/status_bar.h"

namespace mevra::widgets {
namespace {

// Gap between the boxes of the LED style.
constexpr int kSegmentGap = 2;

}  // namespace

uint64_t RoundHalfEvenDiv(uint64_t num, uint64_t den) {
  const uint64_t quotient = num / den;
  const uint64_t twice_rest = 2 * (num % den);
  if (twice_rest > den || (twice_rest == den && quotient % 2 == 1)) return quotient + 1;
  return quotient;
}

ProgressStatus::ProgressStatus(StatusBar* bar) : CustomStatusPane(bar) {}

void ProgressStatus::SetPercent(uint16_t percent) {
  if (percent == percent_) return;
  percent_ = percent;
  // Transfers rarely return to the event loop, so the indicator paints now. A repaint flushes
  // the window's whole invalid region, which also brings a caption set just before on screen.
  StatusBar* bar = Bar();
  if (!bar || !Visible()) return;
  if (bar->isVisible()) {
    bar->repaint(Geometry());
  } else {
    Invalidate();
  }
}

void ProgressStatus::SetPartsComplete(uint32_t parts) {
  if (parts == parts_complete_) return;
  parts_complete_ = std::min(parts, total_parts_);
  if (total_parts_ != 0) {
    SetPercent(static_cast<uint16_t>(
        RoundHalfEvenDiv(uint64_t{parts_complete_} * 100, uint64_t{total_parts_})));
  }
}

void ProgressStatus::SetTotalParts(uint32_t parts) {
  parts = std::min(parts, kMaxParts);
  if (parts == total_parts_) return;
  total_parts_ = parts;
  parts_complete_ = 0;
  SetPercent(0);
}

void ProgressStatus::SetShowPercent(bool show) {
  if (show == show_percent_) return;
  show_percent_ = show;
  Invalidate();
}

void ProgressStatus::SetBarStyle(BarStyle style) {
  if (style == bar_style_) return;
  bar_style_ = style;
  show_percent_ = false;
  Invalidate();
}

void ProgressStatus::SetBarColor(const ColorValue& color) {
  if (color == bar_color_) return;
  bar_color_ = color;
  Invalidate();
}

void ProgressStatus::SetBarColorStop(const ColorValue& color) {
  if (color == bar_color_stop_) return;
  bar_color_stop_ = color;
  Invalidate();
}

void ProgressStatus::SetBackColor(const ColorValue& color) {
  if (color == back_color_) return;
  back_color_ = color;
  Invalidate();
}

void ProgressStatus::SetBackColorStop(const ColorValue& color) {
  if (color == back_color_stop_) return;
  back_color_stop_ = color;
  Invalidate();
}

void ProgressStatus::SetNumSegments(int segments) {
  segments = std::clamp(segments, kMinSegments, kMaxSegments);
  if (segments == num_segments_) return;
  num_segments_ = segments;
  Invalidate();
}

void ProgressStatus::SetGradientDirection(GradientDirection direction) {
  if (direction == gradient_direction_) return;
  gradient_direction_ = direction;
  Invalidate();
}

int ProgressStatus::FillWidth(uint16_t percent, int width) {
  if (width <= 0) return 0;
  if (percent >= 100) return width;
  return static_cast<int>(RoundHalfEvenDiv(uint64_t{percent} * static_cast<uint64_t>(width), 100));
}

void ProgressStatus::Paint(QPainter& painter) {
  PaintPaneFrame(painter);
  painter.setFont(Font());
  const QRect r = GetTextArea().adjusted(0, 1, 0, -1);
  if (r.isEmpty()) return;
  if (bar_style_ == BarStyle::bsLED) {
    PaintSegments(painter, r);
  } else {
    PaintPercentBar(painter, r);
  }
}

void ProgressStatus::PaintPercentBar(QPainter& painter, const QRect& r) {
  const QString text = show_percent_ ? QString::number(percent_) + QLatin1Char('%') : QString();
  const QColor fill = Resolve(bar_color_);
  const QColor back = Resolve(back_color_);
  const int right = r.x() + r.width();
  const QRect filled(r.x(), r.y(), FillWidth(percent_, r.width()), r.height());
  // The text is centred on half the area's right coordinate, not on the area's midpoint.
  const int x = right / 2;
  const int y = r.y() + (r.height() - QFontMetrics(painter.font()).height()) / 2;

  if (!filled.isEmpty()) {
    if (bar_style_ == BarStyle::bsGradient) {
      const QColor stop = Resolve(bar_color_stop_);
      const bool centred = gradient_direction_ == GradientDirection::gdHorizontalCenter ||
                           gradient_direction_ == GradientDirection::gdVerticalCenter;
      const bool vertical = gradient_direction_ == GradientDirection::gdVerticalEnd ||
                            gradient_direction_ == GradientDirection::gdVerticalCenter;
      QLinearGradient gradient(filled.topLeft(),
                               vertical ? filled.bottomLeft() : filled.topRight());
      gradient.setColorAt(0, stop);
      gradient.setColorAt(centred ? 0.5 : 1, fill);
      if (centred) gradient.setColorAt(1, stop);
      painter.fillRect(filled, gradient);
    } else {
      painter.fillRect(filled, fill);
    }
    DrawTextAt(painter, text, x, y, Alignment::taCenter, filled, back);
  }
  const int filled_right = filled.x() + filled.width();
  const QRect rest(filled_right, r.y(), right - filled_right, r.height());
  DrawTextAt(painter, text, x, y, Alignment::taCenter, rest, fill);
}

void ProgressStatus::PaintSegments(QPainter& painter, const QRect& r) {
  const int count = num_segments_;
  const int lit =
      percent_ >= 100 ? count : static_cast<int>(RoundHalfEvenDiv(uint64_t{percent_} * count, 100));
  const int usable = r.width() - (count - 1) * kSegmentGap;
  if (usable < count) return;
  int left = r.x();
  for (int i = 0; i < count; ++i) {
    // Spread the remainder so the last box ends at the area's right edge.
    const int box_right = r.x() + (usable * (i + 1)) / count + i * kSegmentGap;
    const QRect box(left, r.y(), box_right - left, r.height());
    painter.fillRect(box, Resolve(i < lit ? bar_color_ : back_color_));
    left = box_right + kSegmentGap;
  }
}

}  // namespace mevra::widgets
