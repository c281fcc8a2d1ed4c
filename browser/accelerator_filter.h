#pragma once

#include <QObject>
#include <cstdint>

class QWidget;

namespace mevra::browser {

class HostAnswers;

// Puts the host's accelerator filter in front of the engine's view: a key press the filter
// consumes never reaches the page. The engine's render widget is created and replaced as pages
// come and go, so the filter follows every child the view gets.
class AcceleratorFilter : public QObject {
  Q_OBJECT

 public:
  AcceleratorFilter(const HostAnswers& answers, QObject* parent);

  void Watch(QWidget* view);

  // The virtual key code of a key: letters and digits are their upper-case characters; other
  // keys have none (0), so they never match a mask of characters.
  static std::uint32_t VirtualKey(int qt_key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Follow(QObject* object);

  const HostAnswers& answers_;
};

}  // namespace mevra::browser
