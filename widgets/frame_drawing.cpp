#include "widgets/frame_drawing.h"

#include <QPainter>
#include <QPalette>

namespace mevra::widgets {
namespace {

struct EdgeColors {
  QPalette::ColorRole outer_upper_left;
  QPalette::ColorRole outer_lower_right;
  QPalette::ColorRole inner_upper_left;
  QPalette::ColorRole inner_lower_right;
};

// The two-pixel styles are two nested one-pixel frames in the 3D edge colours.
EdgeColors TwoPixelColors(FrameStyle style) {
  switch (style) {
    case FrameStyle::fsGroove:
      return {QPalette::Dark, QPalette::Light, QPalette::Light, QPalette::Dark};
    case FrameStyle::fsBump:
      return {QPalette::Light, QPalette::Dark, QPalette::Dark, QPalette::Light};
    case FrameStyle::fsLowered:
      return {QPalette::Dark, QPalette::Light, QPalette::Shadow, QPalette::Button};
    case FrameStyle::fsButtonDown:
      return {QPalette::Shadow, QPalette::Light, QPalette::Dark, QPalette::Button};
    case FrameStyle::fsRaised:
      return {QPalette::Button, QPalette::Shadow, QPalette::Light, QPalette::Dark};
    case FrameStyle::fsButtonUp:
      return {QPalette::Light, QPalette::Shadow, QPalette::Button, QPalette::Dark};
    default:
      return {QPalette::Dark, QPalette::Dark, QPalette::Dark, QPalette::Dark};
  }
}

}  // namespace

int FrameThickness(FrameStyle style) {
  switch (style) {
    case FrameStyle::fsNone:
      return 0;
    case FrameStyle::fsFlat:
    case FrameStyle::fsStatus:
    case FrameStyle::fsPopup:
      return 1;
    default:
      return 2;
  }
}

int FrameThickness(FrameStyleEx style) {
  if (style == FrameStyleEx::fsFlatRounded) return 1;
  return FrameThickness(static_cast<FrameStyle>(style));
}

void DrawFlatFrame(QPainter& painter, const QRect& rect, const QColor& color, Sides sides) {
  const int l = rect.x();
  const int t = rect.y();
  const int w = rect.width();
  const int h = rect.height();
  if (w <= 0 || h <= 0 || !color.isValid()) return;
  if (sides & Side::sdLeft) painter.fillRect(QRect(l, t + 1, 1, h - 2), color);
  if (sides & Side::sdTop) painter.fillRect(QRect(l + 1, t, w - 2, 1), color);
  if (sides & Side::sdRight) painter.fillRect(QRect(l + w - 1, t + 1, 1, h - 2), color);
  if (sides & Side::sdBottom) painter.fillRect(QRect(l + 1, t + h - 1, w - 2, 1), color);
}

void DrawOnePixelFrame(QPainter& painter, const QRect& rect, const QColor& upper_left,
                       const QColor& lower_right, Sides sides) {
  const int l = rect.x();
  const int t = rect.y();
  const int w = rect.width();
  const int h = rect.height();
  if (w <= 0 || h <= 0) return;
  if (sides & Side::sdLeft) painter.fillRect(QRect(l, t, 1, h), upper_left);
  if (sides & Side::sdTop) painter.fillRect(QRect(l, t, w, 1), upper_left);
  if (sides & Side::sdRight) painter.fillRect(QRect(l + w - 1, t, 1, h), lower_right);
  if (sides & Side::sdBottom) painter.fillRect(QRect(l, t + h - 1, w, 1), lower_right);
}

void DrawBorderStyle(QPainter& painter, const QRect& rect, FrameStyle style,
                     const QPalette& palette, Sides sides) {
  const auto color = [&](QPalette::ColorRole role) {
    return palette.color(QPalette::Active, role);
  };
  switch (style) {
    case FrameStyle::fsNone:
    case FrameStyle::fsFlat:
      return;
    case FrameStyle::fsStatus:
      DrawOnePixelFrame(painter, rect, color(QPalette::Dark), color(QPalette::Light), sides);
      return;
    case FrameStyle::fsPopup:
      DrawOnePixelFrame(painter, rect, color(QPalette::Light), color(QPalette::Dark), sides);
      return;
    default:
      break;
  }
  const EdgeColors edges = TwoPixelColors(style);
  DrawOnePixelFrame(painter, rect, color(edges.outer_upper_left), color(edges.outer_lower_right),
                    sides);
  DrawOnePixelFrame(painter, rect.adjusted(1, 1, -1, -1), color(edges.inner_upper_left),
                    color(edges.inner_lower_right), sides);
}

}  // namespace mevra::widgets
