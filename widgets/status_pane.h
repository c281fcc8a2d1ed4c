#pragma once

#include "widgets/custom_status_pane.h"

namespace mevra::widgets {

// A text pane: frame and one line of caption, nothing more.
class StatusPane : public CustomStatusPane {
  Q_OBJECT

 public:
  explicit StatusPane(StatusBar* bar) : CustomStatusPane(bar) {}
};

}  // namespace mevra::widgets
