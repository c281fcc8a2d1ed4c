#include "browser/host_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineContextMenuRequest>

#include "browser/host_answers.h"

namespace mevra::browser {
namespace {

// Drops separators that no longer separate anything once entries are gone.
void TidySeparators(QMenu& menu) {
  QAction* previous = nullptr;
  for (QAction* action : menu.actions()) {
    if (action->isSeparator() && (previous == nullptr || previous->isSeparator())) {
      menu.removeAction(action);
    } else {
      previous = action;
    }
  }
  if (previous != nullptr && previous->isSeparator()) menu.removeAction(previous);
}

}  // namespace

HostView::HostView(const HostAnswers& answers, QWidget* parent)
    : QWebEngineView(parent), answers_(answers) {}

QWebEnginePage::WebAction HostView::ActionOf(PopupMenuItem item) {
  switch (item) {
    case PopupMenuItem::OpenLinkInNewTab:
      return QWebEnginePage::OpenLinkInNewTab;
    case PopupMenuItem::OpenLinkInNewWindow:
      return QWebEnginePage::OpenLinkInNewWindow;
    case PopupMenuItem::DownloadLinkToDisk:
      return QWebEnginePage::DownloadLinkToDisk;
    case PopupMenuItem::DownloadImageToDisk:
      return QWebEnginePage::DownloadImageToDisk;
    case PopupMenuItem::DownloadMediaToDisk:
      return QWebEnginePage::DownloadMediaToDisk;
    case PopupMenuItem::SavePage:
      return QWebEnginePage::SavePage;
    case PopupMenuItem::ViewSource:
      return QWebEnginePage::ViewSource;
    case PopupMenuItem::InspectElement:
      return QWebEnginePage::InspectElement;
  }
  return QWebEnginePage::NoWebAction;
}

std::uint32_t HostView::MenuId(const QWebEngineContextMenuRequest& request) {
  auto id = [](PopupMenu kind) { return static_cast<std::uint32_t>(kind); };
  if (request.isContentEditable()) return id(PopupMenu::rcmControl);
  if (request.linkUrl().isValid()) return id(PopupMenu::rcmAnchor);
  if (request.mediaType() == QWebEngineContextMenuRequest::MediaTypeImage) {
    return id(PopupMenu::rcmImage);
  }
  if (!request.selectedText().isEmpty()) return id(PopupMenu::rcmSelText);
  return id(PopupMenu::rcmDefault);
}

void HostView::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
  const ContextMenuKind kind = answers_.ContextMenuFor(request ? MenuId(*request) : 0);
  if (kind == ContextMenuKind::kNone) return;
  QMenu* menu = createStandardContextMenu();
  if (kind == ContextMenuKind::kFiltered) {
    for (PopupMenuItem item : answers_.RemovedMenuItems()) {
      menu->removeAction(page()->action(ActionOf(item)));
    }
    TidySeparators(*menu);
  }
  if (menu->actions().isEmpty()) {
    delete menu;
    return;
  }
  menu->popup(event->globalPos());
}

}  // namespace mevra::browser
