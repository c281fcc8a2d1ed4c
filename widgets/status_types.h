#pragma once

#include <QFlags>

namespace mevra::widgets {

// Frame of a pane or of the bar's one-caption mode. The order is part of the stored form.
enum class FrameStyle {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
};

// Borders of the bar itself: the pane frames plus a flat frame without corner pixels.
enum class FrameStyleEx {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
  fsFlatRounded,
};

enum class Side { sdLeft = 0x1, sdTop = 0x2, sdRight = 0x4, sdBottom = 0x8 };
Q_DECLARE_FLAGS(Sides, Side)
Q_DECLARE_OPERATORS_FOR_FLAGS(Sides)
inline constexpr Sides kAllSides = Sides(0xF);

enum class VisualStyle { vsClassic, vsWinXP, vsGradient };
enum class GradientColorStyle { gcsSystem, gcsMSOffice, gcsCustom };
enum class GradientDirection {
  gdHorizontalEnd,
  gdHorizontalCenter,
  gdVerticalEnd,
  gdVerticalCenter
};
enum class BarStyle { bsTraditional, bsLED, bsGradient };
enum class Alignment { taLeftJustify, taRightJustify, taCenter };

// How a pane is placed on the bar. Panes of one kind are placed in the order they were created.
enum class PaneAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

}  // namespace mevra::widgets
