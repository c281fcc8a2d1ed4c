#pragma once

#include <QFlags>
#include <cstdint>
#include <set>

namespace mevra::browser {

// What the engine may fetch and run. The values are the engine's download-control bits; the flag
// word handed to the engine is the sum of the members in the set.
enum class DownloadControlOption : std::uint32_t {
  DownloadImages = 0x10,
  DownloadVideos = 0x20,
  DownloadBGSounds = 0x40,
  DontExecuteScripts = 0x80,
  DontExecuteJava = 0x100,
  DontExecuteActiveX = 0x200,
  DontDownloadActiveX = 0x400,
  DownloadButDontDisplay = 0x800,
  DontDownloadFrame = 0x1000,
  CheckPageResynchronize = 0x2000,
  DownloadAndIgnoreCache = 0x4000,
  DontDownloadBehaviors = 0x8000,
  SuppressedMetaCharset = 0x10000,
  DisableUrlIfEncodingUTF8 = 0x20000,
  EnableUrlIfEncodingUTF8 = 0x40000,
  ForceOfflineMode = 0x10000000,
  DontPerformClientPull = 0x20000000,
  DonloadInSilentMode = 0x40000000,
  WorkOffline = 0x80000000,
};
Q_DECLARE_FLAGS(DownloadOptions, DownloadControlOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(DownloadOptions)

// How the engine draws and behaves inside the host. There is deliberately no member with 0x8000.
enum class UserInterfaceOption : std::uint32_t {
  DisableTextSelect = 0x1,
  DisableHelpMenu = 0x2,
  DontUse3DBorders = 0x4,
  DontUseScrollBars = 0x8,
  PostponeScriptUntilActive = 0x10,
  ForceOpenNewWindow = 0x20,
  Reserved_OFFSCREEN = 0x40,
  ForceFlatScrollBars = 0x80,
  InsertDivTagOnEditMode = 0x100,
  ActivateUIOnlyOnDocClick = 0x200,
  ConsultBeforeRetrievingBehavior = 0x400,
  CheckFontSupportsCodePage = 0x800,
  DisableSubmitUrlInUTF8 = 0x1000,
  EnableSubmitUrlInUTF8 = 0x2000,
  EnablesFormsAutoComplete = 0x4000,
  ForceSameWindowNavigation = 0x10000,
  EmableImeLocalLanguages = 0x20000,
  EnableThemes = 0x40000,
  DisableThemes = 0x80000,
  DisablePicsRatings = 0x100000,
  DisableFrameSetBorder = 0x200000,
  DisablesAutoNameSpaceCorrection = 0x400000,
  DisableLocalFileAccess = 0x800000,
  DisableUntrustedProtocol = 0x1000000,
  CheckNavigationDelegatedToHost = 0x2000000,
  EnableRedirectNotification = 0x4000000,
  EnableDomWindlessControls = 0x8000000,
  EnableWindowedControls = 0x10000000,
  ForceUserActivationOnActiveXJava = 0x20000000,
};
Q_DECLARE_FLAGS(UserInterfaceOptions, UserInterfaceOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(UserInterfaceOptions)

// What happens when a page's script fails.
enum class ScriptErrorAction { eaContinue, eaCancel, eaAskUser };

// The kinds of context menu the engine asks about; the position is the engine's menu id.
enum class PopupMenu : std::uint32_t {
  rcmDefault,
  rcmImage,
  rcmControl,
  rcmTable,
  rcmSelText,
  rcmAnchor,
  rcmUnKnown,
  rcmImageArt,
  rcmImgDynSrc,
  rcmDebug,
  rcmAll,
};
using PopupMenus = std::set<PopupMenu>;

// Entries of the engine's standard context menu that the host can take off it.
enum class PopupMenuItem {
  OpenLinkInNewTab,
  OpenLinkInNewWindow,
  DownloadLinkToDisk,
  DownloadImageToDisk,
  DownloadMediaToDisk,
  SavePage,
  ViewSource,
  InspectElement,
};
using PopupMenuItems = std::set<PopupMenuItem>;

}  // namespace mevra::browser
