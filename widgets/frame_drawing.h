#pragma once

#include <QColor>
#include <QRect>

#include "widgets/status_types.h"

class QPainter;
class QPalette;

namespace mevra::widgets {

// Frame drawing shared by the bar and its panes. All rectangles are pixel rectangles; the
// helpers draw with fillRect so that no pen geometry or antialiasing moves a pixel.

// Pixels a frame style takes from each side of the rectangle it is drawn on.
int FrameThickness(FrameStyle style);
int FrameThickness(FrameStyleEx style);

// Four one-pixel lines that leave the four corner pixels out.
void DrawFlatFrame(QPainter& painter, const QRect& rect, const QColor& color,
                   Sides sides = kAllSides);

// A one-pixel frame: left and top in `upper_left`, then right and bottom in `lower_right`, so the
// top-right and bottom-left corners end in `lower_right`.
void DrawOnePixelFrame(QPainter& painter, const QRect& rect, const QColor& upper_left,
                       const QColor& lower_right, Sides sides = kAllSides);

// Draws every style but fsNone and fsFlat (whose colour is the caller's) in the palette's
// three-dimensional edge colours.
void DrawBorderStyle(QPainter& painter, const QRect& rect, FrameStyle style,
                     const QPalette& palette, Sides sides = kAllSides);

}  // namespace mevra::widgets
