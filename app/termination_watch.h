#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace mevra::app {

// Turns SIGTERM and SIGINT into a close of the main window, so a program ended from outside
// writes its settings as if the user had closed it. The signal handler only writes a byte to a
// pipe; the close happens on the GUI thread when the event loop reads it.
class TerminationWatch : public QObject {
  Q_OBJECT

 public:
  explicit TerminationWatch(QWidget* window);
  ~TerminationWatch() override;

 private:
  void SignalArrived();

  QWidget* window_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace mevra::app
