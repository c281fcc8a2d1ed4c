#pragma once

#include "net/anti_freeze_base.h"

namespace mevra::app {

// The main window's anti-freeze: lets Qt dispatch waiting events while a transport call blocks
// the GUI thread, so buttons and the progress display keep working during a transfer.
class AntiFreeze : public net::AntiFreezeBase {
 public:
  // With ApplicationHasPriority, every waiting event is dispatched, including those that the
  // handlers post meanwhile, until nothing is left (within a short budget, so a busy timer
  // cannot hold the transfer up). Without it, one pass of the event dispatcher handles what was
  // already waiting and nothing posted during that pass.
  void PumpMessages() override;
};

}  // namespace mevra::app
