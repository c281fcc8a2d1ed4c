#include <QApplication>

#include "app/application_setup.h"
#include "app/main_window.h"
#include "app/termination_watch.h"
#include "browser/browser_control.h"

int main(int argc, char* argv[]) {
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  mevra::app::SetUpApplication(application);

  mevra::app::MainWindow window;
  mevra::app::TerminationWatch termination_watch(&window);
  window.show();
  return QApplication::exec();
}
