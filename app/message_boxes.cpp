#include "app/message_boxes.h"

#include <QMessageBox>

namespace mevra::app {

MessageAnswer MessageBoxes::Show(const QString& text, const QString& caption,
                                 MessageButtons buttons, MessageIcon icon) {
  MessageRequest request{text, caption, buttons, icon};
  shown_.push_back(request);
  if (OnShow) return OnShow(request);

  QMessageBox box(owner_);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case MessageIcon::kNone:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case MessageIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::kError:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  if (buttons == MessageButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return MessageAnswer::kOk;
}

}  // namespace mevra::app
