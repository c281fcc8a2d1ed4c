#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace mevra::widgets {

// Shows the folder dialog's message boxes. The presenter is replaceable so that tests can answer
// them without a person in front of the screen; by default it runs a real QMessageBox.
class MessagePresenter {
 public:
  using Presenter = std::function<QMessageBox::StandardButton(
      QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
      QMessageBox::StandardButtons buttons)>;

  // Replaces the presenter; an empty function restores the real message box.
  static void Set(Presenter presenter);

  static void Warning(QWidget* parent, const QString& title, const QString& text);
  // True when the user answers Yes.
  static bool Confirm(QWidget* parent, const QString& title, const QString& text);

 private:
  static QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon,
                                          const QString& title, const QString& text,
                                          QMessageBox::StandardButtons buttons);
};

}  // namespace mevra::widgets
