#pragma once

#include <cstdint>

#include "widgets/custom_status_pane.h"

namespace mevra::widgets {

// num / den rounded to the nearest integer, halves to the even neighbour; den must not be 0.
uint64_t RoundHalfEvenDiv(uint64_t num, uint64_t den);

// A percent indicator: a bar filled from the left and the percentage written over it in two
// colours, so the text stays readable on both the filled and the empty part.
class ProgressStatus : public CustomStatusPane {
  Q_OBJECT

 public:
  // The largest part count the indicator takes; it keeps the counts within a signed 32-bit range.
  static constexpr uint32_t kMaxParts = 2147483647u;
  static constexpr int kMinSegments = 1;
  static constexpr int kMaxSegments = 100;

  explicit ProgressStatus(StatusBar* bar);

  // Stored unchanged (no clamping); 100 and above draw a full bar showing the stored number. A
  // changed value repaints the bar before returning, together with anything already invalid.
  uint16_t Percent() const { return percent_; }
  virtual void SetPercent(uint16_t percent);

  uint32_t PartsComplete() const { return parts_complete_; }
  virtual void SetPartsComplete(uint32_t parts);
  uint32_t TotalParts() const { return total_parts_; }
  virtual void SetTotalParts(uint32_t parts);

  bool ShowPercent() const { return show_percent_; }
  virtual void SetShowPercent(bool show);
  BarStyle GetBarStyle() const { return bar_style_; }
  virtual void SetBarStyle(BarStyle style);  // also switches ShowPercent off
  ColorValue BarColor() const { return bar_color_; }
  virtual void SetBarColor(const ColorValue& color);
  ColorValue BarColorStop() const { return bar_color_stop_; }
  void SetBarColorStop(const ColorValue& color);
  ColorValue BackColor() const { return back_color_; }
  virtual void SetBackColor(const ColorValue& color);
  ColorValue BackColorStop() const { return back_color_stop_; }
  void SetBackColorStop(const ColorValue& color);
  int NumSegments() const { return num_segments_; }
  virtual void SetNumSegments(int segments);
  GradientDirection GetGradientDirection() const { return gradient_direction_; }
  void SetGradientDirection(GradientDirection direction);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool show) { show_hint_ = show; }

  // Pixels of a bar `width` wide that `percent` fills.
  static int FillWidth(uint16_t percent, int width);

  void Paint(QPainter& painter) override;

 private:
  void PaintPercentBar(QPainter& painter, const QRect& r);
  void PaintSegments(QPainter& painter, const QRect& r);

  uint16_t percent_ = 0;
  uint32_t parts_complete_ = 0;
  uint32_t total_parts_ = 0;
  bool show_percent_ = false;
  BarStyle bar_style_ = BarStyle::bsTraditional;
  ColorValue bar_color_ = SystemColor::clHighlight;
  ColorValue bar_color_stop_ = SystemColor::clHotLight;
  ColorValue back_color_ = SystemColor::clBtnFace;
  ColorValue back_color_stop_ = SystemColor::clBtnFace;
  int num_segments_ = 15;
  GradientDirection gradient_direction_ = GradientDirection::gdHorizontalCenter;
  bool show_hint_ = true;
};

}  // namespace mevra::widgets
