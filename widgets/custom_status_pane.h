#pragma once

#include <QFont>
#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "widgets/color_value.h"
#include "widgets/status_types.h"

class QPainter;

namespace mevra::widgets {

class StatusBar;

// A pane that lives on a StatusBar's surface: no window of its own, painted by the bar inside its
// rectangle, with a frame, a text area and a caption. The bar owns its panes (QObject parent).
class CustomStatusPane : public QObject {
  Q_OBJECT

 public:
  explicit CustomStatusPane(StatusBar* bar);
  ~CustomStatusPane() override;

  StatusBar* Bar() const { return bar_; }

  // Placement. Width and Height are the pane's own; an aligned pane takes the bar's height
  // (alLeft, alRight, alClient) or width (alTop, alBottom) from the bar's layout.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  PaneAlign Align() const { return align_; }
  void SetAlign(PaneAlign align);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // The rectangle the bar's layout gave the pane, in bar coordinates.
  QRect Geometry() const { return geometry_; }

  QString Caption() const { return caption_; }
  virtual void SetCaption(const QString& caption);
  Alignment TextAlignment() const { return alignment_; }
  virtual void SetAlignment(Alignment alignment);
  int CaptionOffset() const { return caption_offset_; }
  virtual void SetCaptionOffset(int offset);
  int BorderWidth() const { return border_width_; }
  virtual void SetBorderWidth(int width);
  FrameStyle GetFrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(FrameStyle style);
  ColorValue FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(const ColorValue& color);
  int FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int adjustment);

  // Colour follows the bar while ParentColor is set; FillColor follows Color while
  // ParentFillColor is set.
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool parent_color);
  ColorValue Color() const;
  void SetColor(const ColorValue& color);  // clears ParentColor
  ColorValue FillColor() const;
  virtual void SetFillColor(const ColorValue& color);  // clears ParentFillColor
  bool ParentFillColor() const { return parent_fill_color_; }
  virtual void SetParentFillColor(bool parent_fill_color);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);

  // The font follows the bar while ParentFont is set. Qt fonts carry no colour, so the text
  // colour is a setting of its own.
  QFont Font() const;
  void SetFont(const QFont& font);  // clears ParentFont
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool parent_font);
  ColorValue FontColor() const { return font_color_; }
  void SetFontColor(const ColorValue& color);

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool auto_size);
  int DefaultWidth() const { return default_width_; }
  virtual void SetDefaultWidth(int width);

  bool Blinking() const { return blinking_; }
  virtual void SetBlinking(bool blinking);
  ColorValue BlinkColor() const { return blink_color_; }
  virtual void SetBlinkColor(const ColorValue& color);
  // Shared by all panes, as the one timer that drives blinking is.
  static uint16_t BlinkIntervalOn();
  static uint16_t BlinkIntervalOff();
  static void SetBlinkIntervalOn(uint16_t ms);
  static void SetBlinkIntervalOff(uint16_t ms);

  // Fired by the bar when the mouse enters or leaves the pane's rectangle.
  std::function<void(CustomStatusPane&)> OnMouseEnter;
  std::function<void(CustomStatusPane&)> OnMouseLeave;

  // The width AutoSize gives the pane for its caption.
  virtual int MeasureAutoWidth() const;
  // The pane's rectangle less border width and frame, in pane coordinates.
  virtual QRect GetTextArea() const;
  // True for a pane that reaches the bar's right edge while the bar shows its size grip; such a
  // pane leaves the points near that edge to the grip.
  virtual bool CoversSizeGrip() const;

  // Paints the pane with the painter's origin at the pane's top-left corner.
  virtual void Paint(QPainter& painter);

  // Marks the pane's rectangle on the bar for the next paint.
  void Invalidate();

  // Called by the bar's layout.
  void SetGeometryFromBar(const QRect& rect) { geometry_ = rect; }

 protected:
  virtual void PaintPaneFrame(QPainter& painter);
  virtual void PaintCaption(QPainter& painter);

  // Draws `text` with its cell's top at `y`; `x` is the left edge, right edge or centre as
  // `alignment` says. Only the part inside `clip` is drawn.
  static void DrawTextAt(QPainter& painter, const QString& text, int x, int y, Alignment alignment,
                         const QRect& clip, const QColor& color);

  bool Themed() const;
  QColor CurrentTextColor() const;
  QColor Resolve(const ColorValue& color) const;
  void UpdateAutoWidth();

 private:
  friend class BlinkClock;
  friend class StatusBar;
  void ToggleBlinkPhase(bool on);

  StatusBar* bar_;
  QRect geometry_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 100;
  int height_ = 20;
  PaneAlign align_ = PaneAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;

  QString caption_;
  Alignment alignment_ = Alignment::taLeftJustify;
  int caption_offset_ = 2;
  int border_width_ = 1;
  FrameStyle frame_style_ = FrameStyle::fsFlat;
  ColorValue flat_color_ = SystemColor::clBtnShadow;
  int flat_color_adjustment_ = 30;
  bool parent_color_ = true;
  ColorValue color_ = SystemColor::clBtnFace;
  ColorValue fill_color_ = SystemColor::clBtnFace;
  bool parent_fill_color_ = true;
  bool transparent_ = true;
  std::optional<QFont> font_;
  bool parent_font_ = true;
  ColorValue font_color_ = SystemColor::clWindowText;
  bool auto_size_ = false;
  int default_width_ = 40;
  bool blinking_ = false;
  bool blink_on_ = false;
  ColorValue blink_color_ = SystemColor::clHighlight;
};

}  // namespace mevra::widgets
