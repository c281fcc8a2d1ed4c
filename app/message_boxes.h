#pragma once

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace mevra::app {

enum class MessageButtons { kOk, kYesNo };
enum class MessageIcon { kNone, kInformation, kQuestion, kError };
enum class MessageAnswer { kOk, kYes, kNo };

struct MessageRequest {
  QString text;
  QString caption;
  MessageButtons buttons = MessageButtons::kOk;
  MessageIcon icon = MessageIcon::kNone;
};

// Every message box of the main window goes through here. By default it shows a modal
// QMessageBox; when OnShow is set, that answers instead, so tests can say Yes or No without a
// modal loop. Each request is recorded either way.
class MessageBoxes {
 public:
  explicit MessageBoxes(QWidget* owner) : owner_(owner) {}

  MessageAnswer Show(const QString& text, const QString& caption, MessageButtons buttons,
                     MessageIcon icon);

  std::function<MessageAnswer(const MessageRequest& request)> OnShow;

  const std::vector<MessageRequest>& Shown() const { return shown_; }
  void ClearShown() { shown_.clear(); }

 private:
  QWidget* owner_;
  std::vector<MessageRequest> shown_;
};

}  // namespace mevra::app
