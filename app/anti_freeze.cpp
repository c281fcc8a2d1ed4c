#include "app/anti_freeze.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

#include "app/limits.h"

namespace mevra::app {

void AntiFreeze::PumpMessages() {
  if (ApplicationHasPriority()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, kDrainBudgetMs);
    return;
  }
  // Qt offers no way to take exactly one event from its queue; one pass of the dispatcher
  // without waiting is the smallest step it has.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    dispatcher->processEvents(QEventLoop::AllEvents);
  }
}

}  // namespace mevra::app
