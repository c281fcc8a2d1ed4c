#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

#include "widgets/color_value.h"
#include "widgets/status_types.h"

namespace mevra::widgets {

class CustomStatusPane;

// The one-line bar at the bottom of a window. It paints its own surface, its panes (which have no
// windows of their own), and the size grip over them.
//
// Docking: while Align is alBottom (the default) or alTop and the parent does not manage the bar
// in a layout, the bar docks itself to that edge of its parent and follows the parent's size. A
// parent that adds the bar to its layout places it itself; the bar's size hint is 19 pixels high.
class StatusBar : public QWidget {
  Q_OBJECT

 public:
  // The bar's height as the look applied after loading sets it.
  static constexpr int kDefaultHeight = 19;
  // Width of the strip at the right edge that belongs to the size grip.
  static constexpr int kGripHitWidth = 13;
  // Points this close to the right edge are left to the grip by a pane that covers it.
  static constexpr int kGripCoverWidth = 12;

  explicit StatusBar(QWidget* parent = nullptr);
  ~StatusBar() override;

  // Whether the themed path (the running QStyle) may draw bars whose VisualStyle is vsWinXP.
  // Process-wide, like the desktop's visual-style switch; off by default, so the program
  // starts on the classic path.
  static bool ThemesEnabled();
  static void SetThemesEnabled(bool enabled);

  PaneAlign Align() const { return align_; }
  void SetAlign(PaneAlign align);
  int Height() const { return height(); }
  void SetHeight(int height);

  FrameStyleEx BorderOuter() const { return border_outer_; }
  void SetBorderOuter(FrameStyleEx style);
  FrameStyleEx BorderInner() const { return border_inner_; }
  void SetBorderInner(FrameStyleEx style);
  Sides BorderSides() const { return border_sides_; }
  void SetBorderSides(Sides sides);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int width);

  ColorValue Color() const { return color_; }
  void SetColor(const ColorValue& color);
  VisualStyle GetVisualStyle() const { return visual_style_; }
  void SetVisualStyle(VisualStyle style);
  GradientColorStyle GetGradientColorStyle() const { return gradient_color_style_; }
  void SetGradientColorStyle(GradientColorStyle style);
  ColorValue GradientColorStart() const { return gradient_color_start_; }
  void SetGradientColorStart(const ColorValue& color);
  ColorValue GradientColorStop() const { return gradient_color_stop_; }
  void SetGradientColorStop(const ColorValue& color);
  GradientDirection GetGradientDirection() const { return gradient_direction_; }
  void SetGradientDirection(GradientDirection direction);
  ColorValue FlatColor() const { return flat_color_; }
  void SetFlatColor(const ColorValue& color);
  int FlatColorAdjustment() const { return flat_color_adjustment_; }
  void SetFlatColorAdjustment(int adjustment);

  bool AutoStyle() const { return auto_style_; }
  void SetAutoStyle(bool auto_style) { auto_style_ = auto_style; }
  // The bar look: no borders, all sides, height 19, border width 0. The owner calls this once
  // its window is set up; it does nothing when AutoStyle has been cleared.
  virtual void ApplyBarLook();

  bool ShowSizeGrip() const { return show_size_grip_; }
  virtual void SetShowSizeGrip(bool show);
  // The holding window is resizable and neither maximized nor full screen.
  bool SizeGripValid() const;

  bool SimpleStatus() const { return simple_status_; }
  virtual void SetSimpleStatus(bool simple);
  QString SimpleCaption() const { return simple_caption_; }
  virtual void SetSimpleCaption(const QString& caption);
  FrameStyle SimpleFrameStyle() const { return simple_frame_style_; }
  virtual void SetSimpleFrameStyle(FrameStyle style);

  bool AutoScalePanes() const { return auto_scale_panes_; }
  void SetAutoScalePanes(bool auto_scale) { auto_scale_panes_ = auto_scale; }
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool full_repaint) { full_repaint_ = full_repaint; }

  // The panes in the order they were created.
  const std::vector<CustomStatusPane*>& Panes() const { return panes_; }
  // The rectangle the panes are laid out in: the bar less its borders.
  QRect ClientArea() const;
  // The pane that answers a mouse position, leaving the grip's points to the bar.
  CustomStatusPane* PaneAt(const QPoint& pos) const;
  // Start and end colours of the gradient style.
  std::pair<QColor, QColor> GradientColors() const;

  // Lays the panes out again; panes call this when their placement changes.
  void Realign();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  virtual void PaintSimpleFrame(QPainter& painter, const QRect& rect);

 private:
  friend class CustomStatusPane;
  void AddPane(CustomStatusPane* pane);
  void RemovePane(CustomStatusPane* pane);

  bool Themed() const;
  void Dock();
  void PaintSurface(QPainter& painter);
  void PaintSimple(QPainter& painter);
  void PaintPanes(QPainter& painter, const QRect& dirty);
  void PaintSizeGrip(QPainter& painter);
  bool InGripArea(const QPoint& pos) const;
  void SetHoverPane(CustomStatusPane* pane);

  PaneAlign align_ = PaneAlign::alBottom;
  FrameStyleEx border_outer_ = FrameStyleEx::fsNone;
  FrameStyleEx border_inner_ = FrameStyleEx::fsNone;
  Sides border_sides_ = kAllSides;
  int border_width_ = 0;
  ColorValue color_ = SystemColor::clBtnFace;
  VisualStyle visual_style_ = VisualStyle::vsWinXP;
  GradientColorStyle gradient_color_style_ = GradientColorStyle::gcsSystem;
  ColorValue gradient_color_start_ = QColor(255, 255, 255);
  ColorValue gradient_color_stop_ = SystemColor::clBtnFace;
  GradientDirection gradient_direction_ = GradientDirection::gdHorizontalEnd;
  ColorValue flat_color_ = SystemColor::clBtnShadow;
  int flat_color_adjustment_ = 30;
  bool auto_style_ = true;
  bool show_size_grip_ = true;
  bool simple_status_ = false;
  QString simple_caption_;
  FrameStyle simple_frame_style_ = FrameStyle::fsFlat;
  bool auto_scale_panes_ = false;
  bool full_repaint_ = true;

  std::vector<CustomStatusPane*> panes_;
  CustomStatusPane* hover_pane_ = nullptr;
  bool first_resize_ = true;
  int last_width_ = 0;
  int last_width_change_ = 0;

  // Fallback for platforms that cannot move a window edge themselves: the grip drags it.
  bool grip_dragging_ = false;
  QPoint drag_origin_;
  QSize drag_start_size_;
};

}  // namespace mevra::widgets
