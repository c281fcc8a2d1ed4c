#include "widgets/status_bar.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "widgets/caption_placement.h"
#include "widgets/custom_status_pane.h"
#include "widgets/frame_drawing.h"
#include "widgets/shift_lightness.h"

namespace mevra::widgets {
namespace {

bool themes_enabled = false;

// Top-left corners of the grip's raised dots, as offsets back from the right and bottom edges.
constexpr QPoint kGripDots[] = {{5, 12}, {5, 8}, {5, 4}, {9, 8}, {9, 4}, {13, 4}};
// The themed grip is drawn in a square of this width at the right edge.
constexpr int kThemedGripWidth = 20;

// Whether `layout` or one of its nested layouts places `widget`.
bool LayoutPlaces(const QLayout* layout, const QWidget* widget) {
  if (!layout) return false;
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (item->widget() == widget || LayoutPlaces(item->layout(), widget)) return true;
  }
  return false;
}

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFixedHeight(kDefaultHeight);
  if (parent) {
    parent->installEventFilter(this);
    Dock();
  }
}

StatusBar::~StatusBar() {
  // Panes are QObject children; they must not call back into a half-destroyed bar.
  for (CustomStatusPane* pane : panes_) pane->bar_ = nullptr;
  panes_.clear();
}

bool StatusBar::ThemesEnabled() { return themes_enabled; }
void StatusBar::SetThemesEnabled(bool enabled) { themes_enabled = enabled; }

void StatusBar::SetAlign(PaneAlign align) {
  if (align == align_) return;
  align_ = align;
  Dock();
}

void StatusBar::SetHeight(int height) {
  if (height == this->height() && minimumHeight() == height) return;
  setFixedHeight(std::max(height, 0));
  Dock();
}

void StatusBar::SetBorderOuter(FrameStyleEx style) {
  if (style == border_outer_) return;
  border_outer_ = style;
  auto_style_ = false;
  Realign();
}

void StatusBar::SetBorderInner(FrameStyleEx style) {
  if (style == border_inner_) return;
  border_inner_ = style;
  auto_style_ = false;
  Realign();
}

void StatusBar::SetBorderSides(Sides sides) {
  if (sides == border_sides_) return;
  border_sides_ = sides;
  auto_style_ = false;
  Realign();
}

void StatusBar::SetBorderWidth(int width) {
  width = std::max(width, 0);
  if (width == border_width_) return;
  border_width_ = width;
  Realign();
}

void StatusBar::SetColor(const ColorValue& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void StatusBar::SetVisualStyle(VisualStyle style) {
  if (style == visual_style_) return;
  visual_style_ = style;
  update();
}

void StatusBar::SetGradientColorStyle(GradientColorStyle style) {
  if (style == gradient_color_style_) return;
  gradient_color_style_ = style;
  update();
}

void StatusBar::SetGradientColorStart(const ColorValue& color) {
  if (color == gradient_color_start_) return;
  gradient_color_start_ = color;
  update();
}

void StatusBar::SetGradientColorStop(const ColorValue& color) {
  if (color == gradient_color_stop_) return;
  gradient_color_stop_ = color;
  update();
}

void StatusBar::SetGradientDirection(GradientDirection direction) {
  if (direction == gradient_direction_) return;
  gradient_direction_ = direction;
  update();
}

void StatusBar::SetFlatColor(const ColorValue& color) {
  if (color == flat_color_) return;
  flat_color_ = color;
  update();
}

void StatusBar::SetFlatColorAdjustment(int adjustment) {
  if (adjustment == flat_color_adjustment_) return;
  flat_color_adjustment_ = adjustment;
  update();
}

void StatusBar::ApplyBarLook() {
  if (!auto_style_) return;
  border_inner_ = FrameStyleEx::fsNone;
  border_outer_ = FrameStyleEx::fsNone;
  border_sides_ = kAllSides;
  border_width_ = 0;
  SetHeight(kDefaultHeight);
  Realign();
}

void StatusBar::SetShowSizeGrip(bool show) {
  if (show == show_size_grip_) return;
  show_size_grip_ = show;
  update();
}

bool StatusBar::SizeGripValid() const {
  const QWidget* holder = window();
  if (!holder || !holder->isWindow()) return false;
  if (holder->isMaximized() || holder->isFullScreen()) return false;
  if (holder->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint)) return false;
  return holder->minimumSize() != holder->maximumSize();
}

void StatusBar::SetSimpleStatus(bool simple) {
  if (simple == simple_status_) return;
  simple_status_ = simple;
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setVisible(!simple);
  }
  Realign();
}

void StatusBar::SetSimpleCaption(const QString& caption) {
  if (caption == simple_caption_) return;
  simple_caption_ = caption;
  if (simple_status_) update();
}

void StatusBar::SetSimpleFrameStyle(FrameStyle style) {
  if (style == simple_frame_style_) return;
  simple_frame_style_ = style;
  if (simple_status_) update();
}

QRect StatusBar::ClientArea() const {
  QRect r = rect();
  const int inset = FrameThickness(border_outer_) + border_width_ + FrameThickness(border_inner_);
  return r.adjusted(
      border_sides_ & Side::sdLeft ? inset : 0, border_sides_ & Side::sdTop ? inset : 0,
      border_sides_ & Side::sdRight ? -inset : 0, border_sides_ & Side::sdBottom ? -inset : 0);
}

CustomStatusPane* StatusBar::PaneAt(const QPoint& pos) const {
  if (simple_status_) return nullptr;
  const QRect client = ClientArea();
  for (auto it = panes_.rbegin(); it != panes_.rend(); ++it) {
    CustomStatusPane* pane = *it;
    if (!pane->Visible() || !pane->Geometry().contains(pos)) continue;
    if (pane->CoversSizeGrip() && pos.x() >= client.x() + client.width() - kGripCoverWidth) {
      return nullptr;
    }
    return pane;
  }
  return nullptr;
}

std::pair<QColor, QColor> StatusBar::GradientColors() const {
  switch (gradient_color_style_) {
    case GradientColorStyle::gcsSystem:
      return {palette().color(QPalette::Light), palette().color(QPalette::Button)};
    case GradientColorStyle::gcsMSOffice:
      return {QColor(221, 236, 254), QColor(129, 169, 226)};
    case GradientColorStyle::gcsCustom:
      break;
  }
  return {gradient_color_start_.Resolve(palette()), gradient_color_stop_.Resolve(palette())};
}

void StatusBar::AddPane(CustomStatusPane* pane) {
  panes_.push_back(pane);
  Realign();
}

void StatusBar::RemovePane(CustomStatusPane* pane) {
  std::erase(panes_, pane);
  if (hover_pane_ == pane) hover_pane_ = nullptr;
  Realign();
}

void StatusBar::Realign() {
  QRect area = ClientArea();
  // Edge-aligned panes are placed before the client pane takes what is left.
  for (PaneAlign pass : {PaneAlign::alTop, PaneAlign::alBottom, PaneAlign::alLeft,
                         PaneAlign::alRight, PaneAlign::alClient, PaneAlign::alNone}) {
    for (CustomStatusPane* pane : panes_) {
      if (pane->Align() != pass) continue;
      if (!pane->Visible() || simple_status_) {
        pane->SetGeometryFromBar(QRect());
        continue;
      }
      QRect r;
      switch (pass) {
        case PaneAlign::alTop:
          r = QRect(area.x(), area.y(), area.width(), pane->Height());
          area.setTop(area.top() + pane->Height());
          break;
        case PaneAlign::alBottom:
          r = QRect(area.x(), area.y() + area.height() - pane->Height(), area.width(),
                    pane->Height());
          area.setBottom(area.bottom() - pane->Height());
          break;
        case PaneAlign::alLeft:
          r = QRect(area.x(), area.y(), pane->Width(), area.height());
          area.setLeft(area.left() + pane->Width());
          break;
        case PaneAlign::alRight:
          r = QRect(area.x() + area.width() - pane->Width(), area.y(), pane->Width(),
                    area.height());
          area.setRight(area.right() - pane->Width());
          break;
        case PaneAlign::alClient:
          r = QRect(area.x(), area.y(), std::max(area.width(), 0), std::max(area.height(), 0));
          break;
        case PaneAlign::alNone:
          r = QRect(pane->Left(), pane->Top(), pane->Width(), pane->Height());
          break;
      }
      pane->SetGeometryFromBar(r);
    }
  }
  update();
}

QSize StatusBar::sizeHint() const { return QSize(200, height()); }
QSize StatusBar::minimumSizeHint() const { return QSize(0, height()); }

bool StatusBar::Themed() const { return visual_style_ == VisualStyle::vsWinXP && themes_enabled; }

void StatusBar::Dock() {
  QWidget* holder = parentWidget();
  if (!holder) return;
  if (LayoutPlaces(holder->layout(), this)) return;
  if (align_ == PaneAlign::alBottom) {
    setGeometry(0, holder->height() - height(), holder->width(), height());
  } else if (align_ == PaneAlign::alTop) {
    setGeometry(0, 0, holder->width(), height());
  }
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) Dock();
  return QWidget::eventFilter(watched, event);
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (first_resize_) {
    first_resize_ = false;
  } else {
    last_width_change_ = width() - last_width_;
    if (auto_scale_panes_ && last_width_ > 0 && last_width_change_ != 0) {
      const int previous = last_width_;
      for (CustomStatusPane* pane : panes_) {
        const double share = static_cast<double>(pane->Width()) / previous;
        pane->width_ += static_cast<int>(std::lround(last_width_change_ * share));
        pane->width_ = std::max(pane->width_, 0);
      }
    }
  }
  last_width_ = width();
  Realign();
  if (full_repaint_) update();
}

void StatusBar::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintSurface(painter);
  if (simple_status_) {
    PaintSimple(painter);
  } else {
    PaintPanes(painter, event->rect());
  }
  if (show_size_grip_ && SizeGripValid()) PaintSizeGrip(painter);
}

void StatusBar::PaintSurface(QPainter& painter) {
  if (Themed()) {
    QStyleOption option;
    option.initFrom(this);
    option.rect = rect();
    painter.fillRect(rect(), palette().color(QPalette::Window));
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    return;
  }
  QRect r = rect();
  const auto shrink = [&](int by) {
    r.adjust(border_sides_ & Side::sdLeft ? by : 0, border_sides_ & Side::sdTop ? by : 0,
             border_sides_ & Side::sdRight ? -by : 0, border_sides_ & Side::sdBottom ? -by : 0);
  };
  const auto draw_border = [&](FrameStyleEx style) {
    const QColor flat = ShiftLightness(flat_color_.Resolve(palette()), flat_color_adjustment_);
    switch (style) {
      case FrameStyleEx::fsNone:
        break;
      case FrameStyleEx::fsFlat:
        DrawOnePixelFrame(painter, r, flat, flat, border_sides_);
        break;
      case FrameStyleEx::fsFlatRounded:
        DrawFlatFrame(painter, r, flat, border_sides_);
        break;
      case FrameStyleEx::fsFlatBold:
        DrawOnePixelFrame(painter, r, flat, flat, border_sides_);
        DrawOnePixelFrame(painter, r.adjusted(1, 1, -1, -1), flat, flat, border_sides_);
        break;
      default:
        DrawBorderStyle(painter, r, static_cast<FrameStyle>(style), palette(), border_sides_);
        break;
    }
    shrink(FrameThickness(style));
  };
  draw_border(border_outer_);
  shrink(border_width_);
  draw_border(border_inner_);
  if (visual_style_ == VisualStyle::vsGradient) {
    const auto [start, stop] = GradientColors();
    const bool vertical = gradient_direction_ == GradientDirection::gdVerticalEnd ||
                          gradient_direction_ == GradientDirection::gdVerticalCenter;
    QLinearGradient gradient(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, stop);
    painter.fillRect(r, gradient);
  } else {
    painter.fillRect(r, color_.Resolve(palette()));
  }
}

void StatusBar::PaintSimple(QPainter& painter) {
  const QRect client(1, 1, width() - 2, height() - 1);
  if (Themed()) {
    style()->drawItemText(&painter, client, Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), simple_caption_, QPalette::WindowText);
    return;
  }
  QRect r = client.adjusted(0, 0, 0, -1);
  if (visual_style_ == VisualStyle::vsClassic) PaintSimpleFrame(painter, r);
  r.adjust(1, 1, -1, -1);
  if (simple_caption_.isEmpty() || r.isEmpty()) return;
  painter.save();
  painter.setFont(font());
  const QFontMetrics metrics(font());
  const int x = r.x() + 2;
  const int y = CaptionCellTop(font(), simple_caption_, r);
  painter.setClipRect(r);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(QPoint(x, y + metrics.ascent()), simple_caption_);
  painter.restore();
}

void StatusBar::PaintSimpleFrame(QPainter& painter, const QRect& rect) {
  if (simple_frame_style_ == FrameStyle::fsFlat) {
    DrawFlatFrame(painter, rect,
                  ShiftLightness(flat_color_.Resolve(palette()), flat_color_adjustment_));
    return;
  }
  DrawBorderStyle(painter, rect, simple_frame_style_, palette());
}

void StatusBar::PaintPanes(QPainter& painter, const QRect& dirty) {
  for (CustomStatusPane* pane : panes_) {
    const QRect r = pane->Geometry();
    if (!pane->Visible() || r.isEmpty() || !r.intersects(dirty)) continue;
    painter.save();
    painter.setClipRect(r);
    painter.translate(r.topLeft());
    pane->Paint(painter);
    painter.restore();
  }
}

void StatusBar::PaintSizeGrip(QPainter& painter) {
  const QRect client = simple_status_ ? QRect(1, 1, width() - 2, height() - 1) : ClientArea();
  const int right = client.x() + client.width();
  const int bottom = client.y() + client.height() - 1;
  if (Themed()) {
    QStyleOptionSizeGrip option;
    option.initFrom(this);
    option.corner = Qt::BottomRightCorner;
    option.rect =
        QRect(right - kThemedGripWidth, client.y(), kThemedGripWidth, bottom - client.y());
    style()->drawControl(QStyle::CE_SizeGrip, &option, &painter, this);
    return;
  }
  const QColor light = palette().color(QPalette::Active, QPalette::Light);
  const QColor dark = palette().color(QPalette::Active, QPalette::Dark);
  for (const QPoint& dot : kGripDots) {
    painter.fillRect(QRect(right - dot.x(), bottom - dot.y(), 2, 2), light);
  }
  for (const QPoint& dot : kGripDots) {
    painter.fillRect(QRect(right - dot.x() - 1, bottom - dot.y() - 1, 2, 2), dark);
  }
}

bool StatusBar::InGripArea(const QPoint& pos) const {
  return pos.x() >= width() - kGripHitWidth && pos.x() < width() && pos.y() >= 0 &&
         pos.y() < height();
}

void StatusBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && show_size_grip_ && SizeGripValid() &&
      InGripArea(event->position().toPoint())) {
    event->accept();
    QWidget* holder = window();
    QWindow* handle = holder->windowHandle();
    if (handle && handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge)) return;
    grip_dragging_ = true;
    drag_origin_ = event->globalPosition().toPoint();
    drag_start_size_ = holder->size();
    return;
  }
  QWidget::mousePressEvent(event);
}

void StatusBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (grip_dragging_) {
    const QPoint delta = event->globalPosition().toPoint() - drag_origin_;
    window()->resize(drag_start_size_ + QSize(delta.x(), delta.y()));
    return;
  }
  if (show_size_grip_ && SizeGripValid() && InGripArea(pos)) {
    setCursor(Qt::SizeFDiagCursor);
  } else {
    unsetCursor();
  }
  SetHoverPane(PaneAt(pos));
  QWidget::mouseMoveEvent(event);
}

void StatusBar::mouseReleaseEvent(QMouseEvent* event) {
  if (grip_dragging_ && event->button() == Qt::LeftButton) {
    grip_dragging_ = false;
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void StatusBar::leaveEvent(QEvent* event) {
  SetHoverPane(nullptr);
  QWidget::leaveEvent(event);
}

void StatusBar::SetHoverPane(CustomStatusPane* pane) {
  if (pane == hover_pane_) return;
  CustomStatusPane* previous = hover_pane_;
  hover_pane_ = pane;
  if (previous && previous->OnMouseLeave) previous->OnMouseLeave(*previous);
  if (pane && pane->OnMouseEnter) pane->OnMouseEnter(*pane);
}

}  // namespace mevra::widgets
