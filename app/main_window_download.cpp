// The batch download and its progress display.
#include "app/main_window.h"

namespace mevra::app {

void MainWindow::btn_downClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::btn_stopClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::rb_128kClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::rb_192kClick() {
  // FIXME: filled in by the download work.
}

void MainWindow::http_downloadWorkBegin(net::NetComponent&, net::WorkMode, int32_t) {
  // FIXME: filled in by the download work.
}

void MainWindow::http_downloadWork(net::NetComponent&, net::WorkMode, int32_t) {
  // FIXME: filled in by the download work.
}

void MainWindow::http_downloadWorkEnd(net::NetComponent&, net::WorkMode) {
  // FIXME: filled in by the download work.
}

void MainWindow::http_tempWorkBegin(net::NetComponent&, net::WorkMode, int32_t) {
  // FIXME: filled in by the download work.
}

void MainWindow::http_tempWork(net::NetComponent&, net::WorkMode, int32_t) {
  // FIXME: filled in by the download work.
}

void MainWindow::http_tempWorkEnd(net::NetComponent&, net::WorkMode) {
  // FIXME: filled in by the download work.
}

}  // namespace mevra::app
