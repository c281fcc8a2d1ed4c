#include "browser/short_cuts.h"

namespace mevra::browser {

void ShortCuts::Switch(char letter, bool on) {
  const qsizetype at = ctrl_char_mask_.indexOf(QLatin1Char(letter));
  if (on && at < 0) {
    ctrl_char_mask_.append(QLatin1Char(letter));
  } else if (!on && at >= 0) {
    ctrl_char_mask_.remove(at, 1);
  }
}

}  // namespace mevra::browser
