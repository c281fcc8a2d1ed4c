#include "widgets/message_presenter.h"

namespace mevra::widgets {
namespace {

MessagePresenter::Presenter& Replacement() {
  static MessagePresenter::Presenter presenter;
  return presenter;
}

}  // namespace

void MessagePresenter::Set(Presenter presenter) { Replacement() = std::move(presenter); }

QMessageBox::StandardButton MessagePresenter::Show(QWidget* parent, QMessageBox::Icon icon,
                                                   const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons) {
  if (Replacement()) return Replacement()(parent, icon, title, text, buttons);
  QMessageBox box(icon, title, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessagePresenter::Warning(QWidget* parent, const QString& title, const QString& text) {
  Show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

bool MessagePresenter::Confirm(QWidget* parent, const QString& title, const QString& text) {
  return Show(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

}  // namespace mevra::widgets
