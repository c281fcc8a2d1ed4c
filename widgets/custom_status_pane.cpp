#include "widgets/custom_status_pane.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "widgets/caption_placement.h"
#include "widgets/frame_drawing.h"
#include "widgets/shift_lightness.h"
#include "widgets/status_bar.h"

namespace mevra::widgets {

// One timer drives every blinking pane, so that all of them change colour together.
class BlinkClock {
 public:
  static BlinkClock& Instance() {
    static BlinkClock clock;
    return clock;
  }

  void Add(CustomStatusPane* pane) {
    if (std::find(panes_.begin(), panes_.end(), pane) == panes_.end()) panes_.push_back(pane);
    if (!timer_) {
      timer_ = new QTimer();
      timer_->setSingleShot(true);
      QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
    }
    if (!timer_->isActive()) timer_->start(on_ ? interval_on_ : interval_off_);
  }

  void Remove(CustomStatusPane* pane) {
    std::erase(panes_, pane);
    if (panes_.empty() && timer_) {
      delete timer_;
      timer_ = nullptr;
    }
  }

  uint16_t interval_on_ = 500;
  uint16_t interval_off_ = 500;

 private:
  void Tick() {
    on_ = !on_;
    for (CustomStatusPane* pane : panes_) pane->ToggleBlinkPhase(on_);
    if (timer_) timer_->start(on_ ? interval_on_ : interval_off_);
  }

  std::vector<CustomStatusPane*> panes_;
  QTimer* timer_ = nullptr;
  bool on_ = false;
};

CustomStatusPane::CustomStatusPane(StatusBar* bar) : QObject(bar), bar_(bar) {
  if (bar_) bar_->AddPane(this);
}

CustomStatusPane::~CustomStatusPane() {
  if (blinking_) BlinkClock::Instance().Remove(this);
  if (bar_) bar_->RemovePane(this);
}

void CustomStatusPane::SetLeft(int left) {
  if (left == left_) return;
  left_ = left;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetTop(int top) {
  if (top == top_) return;
  top_ = top;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetWidth(int width) {
  width = std::max(width, 0);
  if (width == width_) return;
  width_ = width;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetHeight(int height) {
  height = std::max(height, 0);
  if (height == height_) return;
  height_ = height;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetAlign(PaneAlign align) {
  if (align == align_) return;
  align_ = align;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (bar_) bar_->Realign();
}

void CustomStatusPane::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Invalidate();
}

void CustomStatusPane::SetCaption(const QString& caption) {
  // Only invalidates: the bar shows the text at its next paint, which a percent change forces.
  if (caption == caption_) return;
  caption_ = caption;
  Invalidate();
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetAlignment(Alignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

void CustomStatusPane::SetCaptionOffset(int offset) {
  if (offset == caption_offset_) return;
  caption_offset_ = offset;
  Invalidate();
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetBorderWidth(int width) {
  width = std::max(width, 0);
  if (width == border_width_) return;
  border_width_ = width;
  Invalidate();
}

void CustomStatusPane::SetFrameStyle(FrameStyle style) {
  if (style == frame_style_) return;
  frame_style_ = style;
  Invalidate();
}

void CustomStatusPane::SetFlatColor(const ColorValue& color) {
  if (color == flat_color_) return;
  flat_color_ = color;
  Invalidate();
}

void CustomStatusPane::SetFlatColorAdjustment(int adjustment) {
  if (adjustment == flat_color_adjustment_) return;
  flat_color_adjustment_ = adjustment;
  Invalidate();
}

void CustomStatusPane::SetParentColor(bool parent_color) {
  if (parent_color == parent_color_) return;
  parent_color_ = parent_color;
  Invalidate();
}

ColorValue CustomStatusPane::Color() const {
  if (parent_color_ && bar_) return bar_->Color();
  return color_;
}

void CustomStatusPane::SetColor(const ColorValue& color) {
  parent_color_ = false;
  color_ = color;
  Invalidate();
}

ColorValue CustomStatusPane::FillColor() const {
  return parent_fill_color_ ? Color() : fill_color_;
}

void CustomStatusPane::SetFillColor(const ColorValue& color) {
  if (color == fill_color_ && !parent_fill_color_) return;
  fill_color_ = color;
  parent_fill_color_ = false;
  Invalidate();
}

void CustomStatusPane::SetParentFillColor(bool parent_fill_color) {
  if (parent_fill_color == parent_fill_color_) return;
  parent_fill_color_ = parent_fill_color;
  Invalidate();
}

void CustomStatusPane::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Invalidate();
}

QFont CustomStatusPane::Font() const {
  if (parent_font_ || !font_) return bar_ ? bar_->font() : QFont();
  return *font_;
}

void CustomStatusPane::SetFont(const QFont& font) {
  font_ = font;
  parent_font_ = false;
  Invalidate();
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetParentFont(bool parent_font) {
  if (parent_font == parent_font_) return;
  parent_font_ = parent_font;
  Invalidate();
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetFontColor(const ColorValue& color) {
  if (color == font_color_) return;
  font_color_ = color;
  Invalidate();
}

void CustomStatusPane::SetAutoSize(bool auto_size) {
  if (auto_size == auto_size_) return;
  auto_size_ = auto_size;
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetDefaultWidth(int width) {
  if (width == default_width_) return;
  default_width_ = width;
  Invalidate();
  if (auto_size_) UpdateAutoWidth();
}

void CustomStatusPane::SetBlinking(bool blinking) {
  if (blinking == blinking_) return;
  blinking_ = blinking;
  if (blinking_) {
    BlinkClock::Instance().Add(this);
  } else {
    BlinkClock::Instance().Remove(this);
    blink_on_ = false;
  }
  Invalidate();
}

void CustomStatusPane::SetBlinkColor(const ColorValue& color) {
  if (color == blink_color_) return;
  blink_color_ = color;
  Invalidate();
}

uint16_t CustomStatusPane::BlinkIntervalOn() { return BlinkClock::Instance().interval_on_; }
uint16_t CustomStatusPane::BlinkIntervalOff() { return BlinkClock::Instance().interval_off_; }
void CustomStatusPane::SetBlinkIntervalOn(uint16_t ms) { BlinkClock::Instance().interval_on_ = ms; }
void CustomStatusPane::SetBlinkIntervalOff(uint16_t ms) {
  BlinkClock::Instance().interval_off_ = ms;
}

void CustomStatusPane::ToggleBlinkPhase(bool on) {
  blink_on_ = on;
  Invalidate();
}

int CustomStatusPane::MeasureAutoWidth() const {
  if (caption_.isEmpty()) return default_width_;
  const QFontMetrics metrics(Font());
  return 2 * border_width_ + metrics.horizontalAdvance(caption_) + caption_offset_ + 6;
}

void CustomStatusPane::UpdateAutoWidth() { SetWidth(MeasureAutoWidth()); }

QRect CustomStatusPane::GetTextArea() const {
  const int inset = border_width_ + FrameThickness(frame_style_);
  const QRect client(0, 0, geometry_.width(), geometry_.height());
  return client.adjusted(inset, inset, -inset, -inset);
}

bool CustomStatusPane::CoversSizeGrip() const {
  if (!bar_ || !bar_->ShowSizeGrip()) return false;
  const QRect client = bar_->ClientArea();
  return geometry_.x() + geometry_.width() >= client.x() + client.width();
}

void CustomStatusPane::Invalidate() {
  if (bar_ && visible_) bar_->update(geometry_);
}

bool CustomStatusPane::Themed() const {
  return bar_ && bar_->GetVisualStyle() == VisualStyle::vsWinXP && StatusBar::ThemesEnabled();
}

QColor CustomStatusPane::Resolve(const ColorValue& color) const {
  return color.Resolve(bar_ ? bar_->palette() : QPalette());
}

QColor CustomStatusPane::CurrentTextColor() const {
  if (!enabled_) return Resolve(SystemColor::clGrayText);
  return Resolve(blinking_ && blink_on_ ? blink_color_ : font_color_);
}

void CustomStatusPane::Paint(QPainter& painter) {
  PaintPaneFrame(painter);
  PaintCaption(painter);
}

void CustomStatusPane::PaintPaneFrame(QPainter& painter) {
  QRect r(0, 0, geometry_.width(), geometry_.height());
  if (Themed()) {
    QStyleOption option;
    option.initFrom(bar_);
    option.rect = r;
    bar_->style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &option, &painter, bar_);
    return;
  }
  if (!transparent_) painter.fillRect(r, Resolve(Color()));
  r.adjust(border_width_, border_width_, -border_width_, -border_width_);
  if (bar_ && bar_->GetVisualStyle() == VisualStyle::vsGradient) {
    // Gradient bars separate their panes with a single line instead of frames.
    if (geometry_.x() > bar_->BorderWidth() && r.height() > 2) {
      painter.fillRect(QRect(r.x(), r.y() + 1, 1, r.height() - 2), bar_->GradientColors().second);
    }
    return;
  }
  if (frame_style_ == FrameStyle::fsFlat) {
    DrawFlatFrame(painter, r, ShiftLightness(Resolve(flat_color_), flat_color_adjustment_));
    return;
  }
  DrawBorderStyle(painter, r, frame_style_, bar_ ? bar_->palette() : QPalette());
}

void CustomStatusPane::PaintCaption(QPainter& painter) {
  if (caption_.isEmpty()) return;
  painter.setFont(Font());
  const QRect area = GetTextArea();
  if (area.isEmpty()) return;
  Alignment alignment = alignment_;
  if (bar_ && bar_->layoutDirection() == Qt::RightToLeft) {
    if (alignment == Alignment::taLeftJustify) {
      alignment = Alignment::taRightJustify;
    } else if (alignment == Alignment::taRightJustify) {
      alignment = Alignment::taLeftJustify;
    }
  }
  int x = 0;
  switch (alignment) {
    case Alignment::taLeftJustify:
      x = area.x() + caption_offset_ + 1;
      break;
    case Alignment::taRightJustify:
      x = area.x() + area.width() - caption_offset_ - 1;
      break;
    case Alignment::taCenter:
      x = area.x() + area.width() / 2;
      break;
  }
  const int y = CaptionCellTop(painter.font(), caption_, area);
  if (!transparent_ && !Themed()) painter.fillRect(area, Resolve(FillColor()));
  DrawTextAt(painter, caption_, x, y, alignment, area, CurrentTextColor());
}

void CustomStatusPane::DrawTextAt(QPainter& painter, const QString& text, int x, int y,
                                  Alignment alignment, const QRect& clip, const QColor& color) {
  if (text.isEmpty() || clip.isEmpty()) return;
  const QFontMetrics metrics(painter.font());
  const int width = metrics.horizontalAdvance(text);
  int left = x;
  if (alignment == Alignment::taRightJustify) left = x - width;
  if (alignment == Alignment::taCenter) left = x - width / 2;
  painter.save();
  painter.setClipRect(clip, Qt::IntersectClip);
  painter.setPen(color);
  painter.drawText(QPoint(left, y + metrics.ascent()), text);
  painter.restore();
}

}  // namespace mevra::widgets
