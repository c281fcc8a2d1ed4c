#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace mevra::widgets {

// The top of the text cell of a one-line caption drawn in `area`. The cell is centred in the
// area; when the font's line is taller than the area (a CJK font in a 19-pixel bar), centring
// the cell would push descenders and the bottom of CJK glyphs past the area's lower edge, so the
// baseline is placed to centre the ink of ordinary text instead, and a caption whose own glyphs
// still reach past an edge is moved as far as the other edge allows.
int CaptionCellTop(const QFont& font, const QString& caption, const QRect& area);

}  // namespace mevra::widgets
