#pragma once

#include <QWebEngineView>
#include <cstdint>

#include "browser/host_options.h"

class QMenu;
class QWebEngineContextMenuRequest;

namespace mevra::browser {

class HostAnswers;

// The engine's view inside a browser control. Its context menu follows the host's answers: the
// engine's standard menu, none, or the standard menu less the entries the host takes off.
class HostView : public QWebEngineView {
  Q_OBJECT

 public:
  HostView(const HostAnswers& answers, QWidget* parent);

  // The engine's action behind a menu entry the host can take off.
  static QWebEnginePage::WebAction ActionOf(PopupMenuItem item);
  // The kind of menu a request is for, as the position of that kind in PopupMenu.
  static std::uint32_t MenuId(const QWebEngineContextMenuRequest& request);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  const HostAnswers& answers_;
};

}  // namespace mevra::browser
