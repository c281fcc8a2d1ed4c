#include "browser/host_answers.h"

namespace mevra::browser {

HostAnswers::HostAnswers()
    : download_options_(DownloadControlOption::DownloadImages |
                        DownloadControlOption::DownloadVideos |
                        DownloadControlOption::DownloadBGSounds) {}

void HostAnswers::SetDownloadOptions(DownloadOptions options) {
  download_options_ = options;
  if (OnOptionsChanged) OnOptionsChanged();
}

void HostAnswers::SetUserInterfaceOptions(UserInterfaceOptions options) {
  ui_options_ = options;
  if (OnOptionsChanged) OnOptionsChanged();
}

HResult HostAnswers::Invoke(int dispid, InvokeKind kind, const QVariant& argument,
                            QVariant* result) {
  if (kind == InvokeKind::PropertyPut && dispid == kDispidAmbientUserMode) {
    // The override records that user mode was switched off, so a later get returns what was put.
    user_mode_override_ = !argument.toBool();
    return kS_OK;
  }
  if (kind != InvokeKind::PropertyGet || result == nullptr) return kDISP_E_MEMBERNOTFOUND;
  switch (dispid) {
    case kDispidAmbientDlControl:
      *result = static_cast<qint32>(DownloadControlFlags());
      return kS_OK;
    case kDispidAmbientUserMode:
      *result = !user_mode_override_;
      return kS_OK;
    case kDispidAmbientBackColor:
      *result = static_cast<qint32>(ambient.back_color);
      return kS_OK;
    case kDispidAmbientDisplayName:
      *result = ambient.display_name;
      return kS_OK;
    case kDispidAmbientFont:
      *result = ambient.font;
      return kS_OK;
    case kDispidAmbientForeColor:
      *result = static_cast<qint32>(ambient.fore_color);
      return kS_OK;
    case kDispidAmbientLocaleId:
      *result = ambient.locale_id;
      return kS_OK;
    case kDispidAmbientMessageReflect:
    case kDispidAmbientSupportsMnemonics:
    case kDispidAmbientAutoClip:
      *result = true;
      return kS_OK;
    case kDispidAmbientUiDead:
    case kDispidAmbientShowGrabHandles:
    case kDispidAmbientShowHatching:
      *result = false;
      return kS_OK;
    default:
      // The user agent among others: the engine keeps its own.
      return kDISP_E_MEMBERNOTFOUND;
  }
}

HResult HostAnswers::GetTypeInfoCount(unsigned* count) const {
  if (count != nullptr) *count = 0;
  return kS_OK;
}

ContextMenuKind HostAnswers::ContextMenuFor(std::uint32_t menu_id) const {
  // The menu ids below 10 are the positions of the popup-menu kinds.
  constexpr std::uint32_t kMenuKinds = static_cast<std::uint32_t>(PopupMenu::rcmAll);
  if (disabled_popup_menus.contains(PopupMenu::rcmAll) ||
      (menu_id < kMenuKinds && disabled_popup_menus.contains(static_cast<PopupMenu>(menu_id)))) {
    return ContextMenuKind::kNone;
  }
  return RemovedMenuItems().empty() ? ContextMenuKind::kStandard : ContextMenuKind::kFiltered;
}

HResult HostAnswers::ShowContextMenu(std::uint32_t menu_id) const {
  // S_FALSE leaves the standard menu to the engine; S_OK says the host showed what it wanted.
  return ContextMenuFor(menu_id) == ContextMenuKind::kStandard ? kS_FALSE : kS_OK;
}

PopupMenuItems HostAnswers::RemovedMenuItems() const {
  PopupMenuItems removed = disabled_popup_menu_items;
  if (!OnEvaluateNewWindow) {
    removed.insert({PopupMenuItem::OpenLinkInNewTab, PopupMenuItem::OpenLinkInNewWindow});
  }
  if (!OnFileDownload) {
    removed.insert({PopupMenuItem::DownloadLinkToDisk, PopupMenuItem::DownloadImageToDisk,
                    PopupMenuItem::DownloadMediaToDisk, PopupMenuItem::SavePage});
  }
  return removed;
}

HResult HostAnswers::GetHostInfo(HostInfo* info) const {
  *info = HostInfo{};
  info->size = HostInfo::kRecordSize;
  info->flags = HostUIFlags();
  info->double_click = 0;
  info->host_css = host_css;
  info->host_ns = host_ns;
  return kS_OK;
}

HResult HostAnswers::TranslateAccelerator(const KeyMessage& key) const {
  const QString& mask = short_cuts_.CtrlCharMask();
  if (!mask.isEmpty() && key.message == kWmKeyDown && key.ctrl_down) {
    const QChar ch(static_cast<char16_t>(key.key_code & 0xFF));
    if (mask.contains(ch)) {
      if (OnMaskedCtrlChar) OnMaskedCtrlChar(ch);
      return kS_OK;  // Consumed: the engine never sees the key.
    }
  }
  return kS_FALSE;
}

ExecAnswer HostAnswers::Exec(const QUuid* group, std::uint32_t command) const {
  if (group != nullptr && *group == kCgidDocHostCommandHandler &&
      command == kOleCmdIdShowScriptError) {
    return ScriptErrorAnswer();
  }
  // Unload and refresh commands, and every other command, are left to the engine: the host has
  // no handler of its own for them.
  return {};
}

ExecAnswer HostAnswers::ScriptErrorAnswer() const {
  switch (script_error_action_) {
    case ScriptErrorAction::eaContinue:
      return {kS_OK, true};
    case ScriptErrorAction::eaCancel:
      return {kS_OK, false};
    case ScriptErrorAction::eaAskUser:
      break;
  }
  return {kS_FALSE, std::nullopt};
}

HResult HostAnswers::QueryService(const QUuid& service, const QUuid&, void** object) const {
  if (object != nullptr) *object = nullptr;
  const bool offered = (service == kSidNewWindowManager && OnEvaluateNewWindow) ||
                       (service == kSidDownloadManager && OnFileDownload);
  if (!offered) return kE_NOINTERFACE;
  // The host is its own implementation of both services.
  if (object != nullptr) *object = const_cast<HostAnswers*>(this);
  return kS_OK;
}

HResult HostAnswers::EvaluateNewWindow(const QString& url) const {
  return OnEvaluateNewWindow ? OnEvaluateNewWindow(url) : kE_FAIL;
}

HResult HostAnswers::Download(const FileDownload& download, QString* path) const {
  path->clear();
  if (!OnFileDownload) return kE_NOTIMPL;
  *path = OnFileDownload(download);
  return path->isEmpty() ? kS_FALSE : kS_OK;
}

}  // namespace mevra::browser
