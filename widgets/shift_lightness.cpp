#include "widgets/shift_lightness.h"

#include <algorithm>

namespace mevra::widgets {
namespace {

// Hue used for greys, where hue is undefined; two thirds of the scale as the classic converter.
constexpr int kUndefinedHue = kHlsMax * 2 / 3;

int HueToRgb(int n1, int n2, int hue) {
  if (hue < 0) hue += kHlsMax;
  if (hue > kHlsMax) hue -= kHlsMax;
  if (hue < kHlsMax / 6) return n1 + (((n2 - n1) * hue + kHlsMax / 12) / (kHlsMax / 6));
  if (hue < kHlsMax / 2) return n2;
  if (hue < (kHlsMax * 2) / 3) {
    return n1 + (((n2 - n1) * ((kHlsMax * 2) / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6));
  }
  return n1;
}

int Channel(int value) { return std::clamp(value, 0, kRgbMax); }

}  // namespace

Hls RgbToHls(const QColor& color) {
  const int r = color.red();
  const int g = color.green();
  const int b = color.blue();
  const int c_max = std::max({r, g, b});
  const int c_min = std::min({r, g, b});
  Hls hls;
  hls.lightness = ((c_max + c_min) * kHlsMax + kRgbMax) / (2 * kRgbMax);
  if (c_max == c_min) {
    hls.hue = kUndefinedHue;
    return hls;
  }
  const int span = c_max - c_min;
  if (hls.lightness <= kHlsMax / 2) {
    hls.saturation = (span * kHlsMax + (c_max + c_min) / 2) / (c_max + c_min);
  } else {
    const int rest = 2 * kRgbMax - c_max - c_min;
    hls.saturation = (span * kHlsMax + rest / 2) / rest;
  }
  const int r_delta = ((c_max - r) * (kHlsMax / 6) + span / 2) / span;
  const int g_delta = ((c_max - g) * (kHlsMax / 6) + span / 2) / span;
  const int b_delta = ((c_max - b) * (kHlsMax / 6) + span / 2) / span;
  if (r == c_max) {
    hls.hue = b_delta - g_delta;
  } else if (g == c_max) {
    hls.hue = kHlsMax / 3 + r_delta - b_delta;
  } else {
    hls.hue = (2 * kHlsMax) / 3 + g_delta - r_delta;
  }
  if (hls.hue < 0) hls.hue += kHlsMax;
  if (hls.hue > kHlsMax) hls.hue -= kHlsMax;
  return hls;
}

QColor HlsToRgb(const Hls& hls) {
  if (hls.saturation == 0) {
    const int grey = Channel((hls.lightness * kRgbMax) / kHlsMax);
    return QColor(grey, grey, grey);
  }
  const int lum = hls.lightness;
  const int sat = hls.saturation;
  const int magic2 = lum <= kHlsMax / 2 ? (lum * (kHlsMax + sat) + kHlsMax / 2) / kHlsMax
                                        : lum + sat - ((lum * sat) + kHlsMax / 2) / kHlsMax;
  const int magic1 = 2 * lum - magic2;
  auto channel = [&](int hue) {
    return Channel((HueToRgb(magic1, magic2, hue) * kRgbMax + kHlsMax / 2) / kHlsMax);
  };
  return QColor(channel(hls.hue + kHlsMax / 3), channel(hls.hue), channel(hls.hue - kHlsMax / 3));
}

QColor ShiftLightness(const QColor& color, int adjustment) {
  if (adjustment == 0 || !color.isValid()) return color;
  Hls hls = RgbToHls(color);
  // The cap of 255 (not 240) is what the flat frames have always used; channels are capped on
  // the way back, so an overshoot only saturates towards white.
  if (adjustment > 0) {
    hls.lightness = std::min(hls.lightness + adjustment, kRgbMax);
  } else {
    hls.lightness = std::max(hls.lightness + adjustment, 0);
  }
  return HlsToRgb(hls);
}

}  // namespace mevra::widgets
