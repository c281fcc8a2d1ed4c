#pragma once

#include <QColor>

namespace mevra::widgets {

// Hue, saturation and lightness on the 0..240 scale that colour pickers of the classic desktop
// use; the flat frames derive their colour on this scale, so the results must match it exactly.
struct Hls {
  int hue = 0;
  int lightness = 0;
  int saturation = 0;
};

inline constexpr int kHlsMax = 240;
inline constexpr int kRgbMax = 255;

Hls RgbToHls(const QColor& color);
QColor HlsToRgb(const Hls& hls);

// Raises (positive) or lowers (negative) the lightness of a colour by `adjustment` steps of the
// 0..240 scale: lightness 120 grey RGB(128,128,128) shifted by 30 gives RGB(159,159,159).
QColor ShiftLightness(const QColor& color, int adjustment);

}  // namespace mevra::widgets
