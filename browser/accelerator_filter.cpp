#include "browser/accelerator_filter.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWidget>

#include "browser/host_answers.h"

namespace mevra::browser {

AcceleratorFilter::AcceleratorFilter(const HostAnswers& answers, QObject* parent)
    : QObject(parent), answers_(answers) {}

void AcceleratorFilter::Watch(QWidget* view) { Follow(view); }

void AcceleratorFilter::Follow(QObject* object) {
  if (!object->isWidgetType()) return;
  // Installing twice would only move the filter to the front; remove first to keep one copy.
  object->removeEventFilter(this);
  object->installEventFilter(this);
  for (QObject* child : object->children()) Follow(child);
}

std::uint32_t AcceleratorFilter::VirtualKey(int qt_key) {
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) ||
      (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) {
    return static_cast<std::uint32_t>(qt_key);
  }
  return 0;
}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    Follow(static_cast<QChildEvent*>(event)->child());
  } else if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const KeyMessage message{kWmKeyDown, VirtualKey(key->key()),
                             key->modifiers().testFlag(Qt::ControlModifier)};
    if (answers_.TranslateAccelerator(message) == kS_OK) return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace mevra::browser
