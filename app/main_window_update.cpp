// The update check against the maker's published build stamp, and the two author links.
#include <QLabel>
#include <exception>

#include "app/main_window.h"
#include "app/text_trim.h"
#include "http/http_client.h"

namespace mevra::app {
namespace {

// A published stamp is year, month, day, hour and minute: twelve digits.
constexpr qsizetype kStampLength = 12;

void SetLinkColor(QLabel* label, const QColor& color) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
}

}  // namespace

void MainWindow::btn_CheckUpdateClick() {
  // A click while the check's own exchange waits must not start a second one on its client.
  if (http_update_->InsideGet()) return;
  try {
    const QString text = TrimText(
        QString::fromStdString(http_update_->Get(endpoints_.update_stamp_url.toStdString())));
    if (text.size() != kStampLength) return;
    if (text == BuildStamp_) {
      message_boxes_.Show(tr("已经是最新版本！谢谢您对本软件的支持！"), tr("提示"),
                          MessageButtons::kOk, MessageIcon::kInformation);
      return;
    }
    const MessageAnswer answer =
        message_boxes_.Show(tr("发现新版本%1\r\n\r\n是否立即查看？").arg(text), tr("提示"),
                            MessageButtons::kYesNo, MessageIcon::kQuestion);
    if (answer == MessageAnswer::kYes) url_opener_.Open(endpoints_.release_page_url);
  } catch (const std::exception&) {
    // No network, an error status or a broken answer: the check stays silent.
  }
}

void MainWindow::lbl_webClick() { url_opener_.Open(endpoints_.author_site_url); }
void MainWindow::lbl_weiboClick() { url_opener_.Open(endpoints_.microblog_url); }
void MainWindow::lbl_webMouseEnter() { SetLinkColor(ui_.lbl_web, Qt::red); }
void MainWindow::lbl_webMouseLeave() { SetLinkColor(ui_.lbl_web, Qt::blue); }
void MainWindow::lbl_weiboMouseEnter() { SetLinkColor(ui_.lbl_weibo, Qt::red); }
void MainWindow::lbl_weiboMouseLeave() { SetLinkColor(ui_.lbl_weibo, Qt::blue); }

}  // namespace mevra::app
