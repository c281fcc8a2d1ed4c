#pragma once

#include <QFont>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <optional>

#include "browser/host_options.h"
#include "browser/host_result.h"
#include "browser/short_cuts.h"

namespace mevra::browser {

// Ambient properties the engine may ask its host for, by their dispatch ids.
constexpr int kDispidAmbientBackColor = -701;
constexpr int kDispidAmbientDisplayName = -702;
constexpr int kDispidAmbientFont = -703;
constexpr int kDispidAmbientForeColor = -704;
constexpr int kDispidAmbientLocaleId = -705;
constexpr int kDispidAmbientMessageReflect = -706;
constexpr int kDispidAmbientUserMode = -709;
constexpr int kDispidAmbientUiDead = -710;
constexpr int kDispidAmbientShowGrabHandles = -711;
constexpr int kDispidAmbientShowHatching = -712;
constexpr int kDispidAmbientSupportsMnemonics = -714;
constexpr int kDispidAmbientAutoClip = -715;
constexpr int kDispidAmbientDlControl = -5512;
constexpr int kDispidAmbientUserAgent = -5513;

// The key-down message of the accelerator filter.
constexpr std::uint32_t kWmKeyDown = 0x100;

// Command groups and commands the engine sends to its host.
inline const QUuid kCgidExplorer{"{000214D0-0000-0000-C000-000000000046}"};
inline const QUuid kCgidDocHostCommandHandler{"{F38BC242-B950-11D1-8918-00C04FC2C836}"};
constexpr std::uint32_t kOleCmdIdShowScriptError = 40;

// Services the engine may ask its host for.
inline const QUuid kSidNewWindowManager{"{D2BC4C84-3F72-4A52-A604-7BCBF3982CBB}"};
inline const QUuid kSidDownloadManager{"{988934A4-064B-11D3-BB80-00104B35E7F9}"};

// A file the engine is about to download.
struct FileDownload {
  QString url;
  // The name the server or the link proposes.
  QString suggested_file_name;
};

// How the host answers a context-menu request.
enum class ContextMenuKind {
  kNone,      // no menu at all
  kStandard,  // the engine's standard menu as it is
  kFiltered,  // the host shows the standard menu less the removed entries
};

// The record the engine gets when it asks how the host wants it to look.
struct HostInfo {
  // The record's size in the protocol: four 32-bit fields and two string pointers on 32 bits.
  static constexpr std::uint32_t kRecordSize = 20;

  std::uint32_t size = 0;
  std::uint32_t flags = 0;
  std::uint32_t double_click = 0;
  QString host_css;
  QString host_ns;
};

// What the host knows about itself for the ambient properties that describe the control.
struct AmbientValues {
  std::uint32_t back_color = 0xFFFFFF;
  QString display_name;
  QFont font;
  std::uint32_t fore_color = 0;
  QString locale_id;
};

// A key message as the accelerator filter sees it.
struct KeyMessage {
  std::uint32_t message = kWmKeyDown;
  // Virtual key code: letters and digits are their upper-case characters.
  std::uint32_t key_code = 0;
  bool ctrl_down = false;
};

struct ExecAnswer {
  HResult status = kOLECMDERR_E_NOTSUPPORTED;
  // The out value, when the answer carries one (continue running scripts or not).
  std::optional<bool> out;
};

// Every answer the host gives the engine about downloads, user interface, keys, commands and
// services, as one plain object. The browser control applies these answers to its engine; tests
// can question them without any engine running.
class HostAnswers {
 public:
  HostAnswers();

  // Configuration. Changes to the option sets are announced through OnOptionsChanged, so the
  // control can hand them to its engine at once; the rest is read when the engine next asks.
  DownloadOptions GetDownloadOptions() const { return download_options_; }
  void SetDownloadOptions(DownloadOptions options);
  std::uint32_t DownloadControlFlags() const { return download_options_.toInt(); }
  UserInterfaceOptions GetUserInterfaceOptions() const { return ui_options_; }
  void SetUserInterfaceOptions(UserInterfaceOptions options);
  std::uint32_t HostUIFlags() const { return ui_options_.toInt(); }
  ScriptErrorAction GetScriptErrorAction() const { return script_error_action_; }
  void SetScriptErrorAction(ScriptErrorAction action) { script_error_action_ = action; }
  ShortCuts& GetShortCuts() { return short_cuts_; }
  const ShortCuts& GetShortCuts() const { return short_cuts_; }
  PopupMenus disabled_popup_menus;
  // The engine's source view, page saving and developer tools have nothing in this host to
  // open in, so their entries are off the menu.
  PopupMenuItems disabled_popup_menu_items = {PopupMenuItem::ViewSource, PopupMenuItem::SavePage,
                                              PopupMenuItem::InspectElement};
  QString host_css;
  QString host_ns;
  AmbientValues ambient;

  std::function<void()> OnOptionsChanged;
  std::function<void(QChar)> OnMaskedCtrlChar;
  // A page asks for a new window (a link with a target of its own, window.open, a menu entry).
  // The answer kS_OK opens the address in this browser in place of a new window; any other
  // answer opens nothing. While unassigned, nothing opens and the menu offers no such entry.
  std::function<HResult(const QString& url)> OnEvaluateNewWindow;
  // The engine is about to download a file. The handler answers the full path to save it at,
  // or "" to decline. While unassigned, nothing is downloaded and the menu offers no saving.
  std::function<QString(const FileDownload& download)> OnFileDownload;

  // Ambient properties. `result` null is a get without a result variant.
  enum class InvokeKind { Method, PropertyGet, PropertyPut };
  HResult Invoke(int dispid, InvokeKind kind, const QVariant& argument, QVariant* result);
  HResult GetTypeInfoCount(unsigned* count) const;
  HResult GetTypeInfo() const { return kE_NOTIMPL; }
  HResult GetIDsOfNames() const { return kE_NOTIMPL; }

  // User-interface handler. `menu_id` is the position of the menu's kind in PopupMenu.
  ContextMenuKind ContextMenuFor(std::uint32_t menu_id) const;
  HResult ShowContextMenu(std::uint32_t menu_id) const;
  // The entries a filtered menu leaves out: those disabled, and those that would do nothing
  // here (new windows without OnEvaluateNewWindow, saving without OnFileDownload).
  PopupMenuItems RemovedMenuItems() const;
  HResult GetHostInfo(HostInfo* info) const;
  HResult ShowUI() const { return kS_FALSE; }
  HResult HideUI() const { return kS_FALSE; }
  HResult UpdateUI() const { return kS_FALSE; }
  HResult EnableModeless() const { return kS_OK; }
  HResult OnDocWindowActivate() const { return kS_FALSE; }
  HResult OnFrameWindowActivate() const { return kS_FALSE; }
  HResult ResizeBorder() const { return kS_FALSE; }
  HResult TranslateAccelerator(const KeyMessage& key) const;
  // Drag and drop stays the engine's own.
  HResult GetDropTarget() const { return kE_NOTIMPL; }
  HResult GetExternal() const { return kS_FALSE; }
  HResult TranslateUrl() const { return kS_FALSE; }
  HResult FilterDataObject() const { return kS_FALSE; }
  HResult ShowMessage() const { return kS_FALSE; }
  HResult ShowHelp() const { return kS_FALSE; }

  // Command target. `group` null is a command without a group.
  HResult QueryStatus() const { return kS_OK; }
  ExecAnswer Exec(const QUuid* group, std::uint32_t command) const;

  // Service provider: the new-window and download services are the host's own while their
  // events are assigned; every other request is refused with an empty object.
  HResult QueryService(const QUuid& service, const QUuid& iid, void** object) const;
  // The two services: through their events, else kE_FAIL and kE_NOTIMPL. Download answers
  // kS_OK with `path` set when the file is to be saved, kS_FALSE when the handler declined.
  HResult EvaluateNewWindow(const QString& url) const;
  HResult Download(const FileDownload& download, QString* path) const;

  bool UserModeOverride() const { return user_mode_override_; }

 private:
  ExecAnswer ScriptErrorAnswer() const;

  DownloadOptions download_options_;
  UserInterfaceOptions ui_options_;
  ScriptErrorAction script_error_action_ = ScriptErrorAction::eaContinue;
  ShortCuts short_cuts_;
  bool user_mode_override_ = false;
};

}  // namespace mevra::browser
