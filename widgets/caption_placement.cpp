#include "widgets/caption_placement.h"

#include <QFontMetrics>
#include <algorithm>

namespace mevra::widgets {
namespace {

// Glyphs that reach furthest up and down in ordinary CJK and Latin text: a full-height
// ideograph, a capital, descenders, a comma and brackets.
const QString kOrdinaryInk = QStringLiteral(u"国Hgjpqy,()");

// Measuring takes longer than painting the caption; the ink of one font does not change, and
// the bars of one program use one font.
QRect OrdinaryInk(const QFont& font, const QFontMetrics& metrics) {
  static QString measured_key;
  static QRect measured;
  const QString key = font.key();
  if (key != measured_key) {
    measured = metrics.tightBoundingRect(kOrdinaryInk);
    measured_key = key;
  }
  return measured;
}

bool InkFits(const QRect& ink, int baseline, const QRect& area) {
  return baseline + ink.top() >= area.top() && baseline + ink.bottom() <= area.bottom();
}

}  // namespace

int CaptionCellTop(const QFont& font, const QString& caption, const QRect& area) {
  const QFontMetrics metrics(font);
  const int centred_top = area.y() + (area.height() - metrics.height()) / 2;
  int baseline = centred_top + metrics.ascent();
  // Ink rectangles are relative to the baseline.
  const QRect ordinary = OrdinaryInk(font, metrics);
  if (!InkFits(ordinary, baseline, area)) {
    baseline = area.y() + (area.height() - ordinary.height()) / 2 - ordinary.top();
  }
  const QRect ink = metrics.tightBoundingRect(caption);
  if (!ink.isEmpty() && !InkFits(ink, baseline, area)) {
    const int below = baseline + ink.bottom() - area.bottom();
    const int above = area.top() - (baseline + ink.top());
    if (below > 0 && above < 0) baseline -= std::min(below, -above);
    if (above > 0 && below < 0) baseline += std::min(above, -below);
  }
  return baseline - metrics.ascent();
}

}  // namespace mevra::widgets
