#pragma once

#include <QObject>
#include <functional>

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
  // Calls `stop` instead, for a program without a window.
  explicit TerminationWatch(std::function<void()> stop);
  ~TerminationWatch() override;

 private:
  void SignalArrived();

  std::function<void()> stop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace mevra::app
