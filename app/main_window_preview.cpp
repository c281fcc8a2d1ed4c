// The preview: one song fetched to the temporary file and played in a loop.
#include "app/main_window.h"

namespace mevra::app {

void MainWindow::btn_listenClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::btn_listenstopClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::MciNotify() {
  // FIXME: filled in by the download work.
}

}  // namespace mevra::app
