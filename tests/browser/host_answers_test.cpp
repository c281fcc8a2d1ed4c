#include "browser/host_answers.h"

#include <gtest/gtest.h>

#include "browser/accelerator_filter.h"
#include "browser/user_agent.h"

namespace mevra::browser {
namespace {

TEST(HostAnswersTest, AmbientPropertiesInForce) {
  HostAnswers answers;
  answers.ambient.display_name = "web2";
  struct Case {
    int dispid;
    QVariant expected;
  };
  for (const Case& c :
       {Case{kDispidAmbientDlControl, qint32{0x70}}, Case{kDispidAmbientUserMode, true},
        Case{kDispidAmbientDisplayName, QString("web2")}, Case{kDispidAmbientMessageReflect, true},
        Case{kDispidAmbientUiDead, false}, Case{kDispidAmbientShowGrabHandles, false},
        Case{kDispidAmbientShowHatching, false}, Case{kDispidAmbientSupportsMnemonics, true},
        Case{kDispidAmbientAutoClip, true}}) {
    SCOPED_TRACE(::testing::Message() << "dispid " << c.dispid);
    QVariant result;
    EXPECT_EQ(answers.Invoke(c.dispid, HostAnswers::InvokeKind::PropertyGet, {}, &result), kS_OK);
    EXPECT_EQ(result, c.expected);
  }
}

TEST(HostAnswersTest, UnansweredAmbientCallsAreNotFound) {
  HostAnswers answers;
  QVariant result = 7;
  using Kind = HostAnswers::InvokeKind;
  struct Case {
    int dispid;
    Kind kind;
    QVariant* result;
  };
  for (const Case& c : {Case{kDispidAmbientUserAgent, Kind::PropertyGet, &result},
                        Case{-1, Kind::PropertyGet, &result}, Case{0, Kind::PropertyGet, &result},
                        Case{kDispidAmbientDlControl, Kind::PropertyGet, nullptr},
                        Case{kDispidAmbientDlControl, Kind::Method, &result},
                        Case{kDispidAmbientDlControl, Kind::PropertyPut, &result}}) {
    SCOPED_TRACE(::testing::Message()
                 << "dispid " << c.dispid << ", kind " << static_cast<int>(c.kind)
                 << (c.result ? "" : ", no result"));
    EXPECT_EQ(answers.Invoke(c.dispid, c.kind, true, c.result), kDISP_E_MEMBERNOTFOUND);
  }
  EXPECT_EQ(result, 7) << "a refused call leaves the result alone";
}

TEST(HostAnswersTest, UserModeFollowsWhatWasPut) {
  HostAnswers answers;
  QVariant result;
  for (bool mode : {false, true, false}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(
        answers.Invoke(kDispidAmbientUserMode, HostAnswers::InvokeKind::PropertyPut, mode, nullptr),
        kS_OK);
    answers.Invoke(kDispidAmbientUserMode, HostAnswers::InvokeKind::PropertyGet, {}, &result);
    EXPECT_EQ(result, mode);
  }
}

TEST(HostAnswersTest, OptionFlagsAreTheSumOfTheirMembers) {
  HostAnswers answers;
  int announced = 0;
  answers.OnOptionsChanged = [&] { ++announced; };
  EXPECT_EQ(answers.DownloadControlFlags(), 0x70u);
  EXPECT_EQ(answers.HostUIFlags(), 0u);

  answers.SetDownloadOptions({});
  EXPECT_EQ(answers.DownloadControlFlags(), 0u);
  answers.SetDownloadOptions(DownloadControlOption::WorkOffline |
                             DownloadControlOption::DonloadInSilentMode |
                             DownloadControlOption::DontExecuteScripts);
  EXPECT_EQ(answers.DownloadControlFlags(), 0xC0000080u);
  QVariant result;
  answers.Invoke(kDispidAmbientDlControl, HostAnswers::InvokeKind::PropertyGet, {}, &result);
  EXPECT_EQ(static_cast<std::uint32_t>(result.toInt()), 0xC0000080u);

  answers.SetUserInterfaceOptions(UserInterfaceOption::ForceSameWindowNavigation |
                                  UserInterfaceOption::EnablesFormsAutoComplete |
                                  UserInterfaceOption::DisableTextSelect);
  EXPECT_EQ(answers.HostUIFlags(), 0x14001u);
  EXPECT_EQ(announced, 3);
}

TEST(HostAnswersTest, HostInfoIsFilledAfresh) {
  HostAnswers answers;
  answers.SetUserInterfaceOptions(UserInterfaceOption::DontUseScrollBars);
  HostInfo info{99, 99, 99, "stale", "stale"};
  EXPECT_EQ(answers.GetHostInfo(&info), kS_OK);
  EXPECT_EQ(info.size, 20u);
  EXPECT_EQ(info.flags, 0x8u);
  EXPECT_EQ(info.double_click, 0u);
  EXPECT_TRUE(info.host_css.isEmpty());
  EXPECT_TRUE(info.host_ns.isEmpty());
}

TEST(HostAnswersTest, ContextMenuTest) {
  using Kind = ContextMenuKind;
  struct Case {
    const char* name;
    PopupMenus disabled;
    bool host_opens_and_saves;
    PopupMenuItems items;
    std::uint32_t menu_id;
    Kind expected;
  };
  const PopupMenuItems in_force = HostAnswers().disabled_popup_menu_items;
  const Case cases[] = {
      {"in force: the standard menu less what does nothing",
       {},
       false,
       in_force,
       0,
       Kind::kFiltered},
      {"all disabled", {PopupMenu::rcmAll}, true, {}, 42, Kind::kNone},
      {"own kind disabled", {PopupMenu::rcmAnchor}, true, {}, 5, Kind::kNone},
      {"other kind disabled", {PopupMenu::rcmAnchor}, true, {}, 4, Kind::kStandard},
      {"ids from 10 on have no kind", {PopupMenu::rcmDebug}, true, {}, 10, Kind::kStandard},
      {"nothing to take off", {}, true, {}, 0, Kind::kStandard},
      {"an entry disabled", {}, true, {PopupMenuItem::ViewSource}, 0, Kind::kFiltered},
      {"no new windows or saving", {}, false, {}, 5, Kind::kFiltered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostAnswers answers;
    answers.disabled_popup_menus = c.disabled;
    answers.disabled_popup_menu_items = c.items;
    if (c.host_opens_and_saves) {
      answers.OnEvaluateNewWindow = [](const QString&) { return kS_OK; };
      answers.OnFileDownload = [](const FileDownload&) { return QString(); };
    }
    EXPECT_EQ(answers.ContextMenuFor(c.menu_id), c.expected);
    // Only the standard menu is left to the engine.
    EXPECT_EQ(answers.ShowContextMenu(c.menu_id), c.expected == Kind::kStandard ? kS_FALSE : kS_OK);
  }
}

TEST(HostAnswersTest, EntriesThatWouldDoNothingAreTakenOff) {
  using I = PopupMenuItem;
  const PopupMenuItems never = {I::ViewSource, I::SavePage, I::InspectElement};
  const PopupMenuItems opening = {I::OpenLinkInNewTab, I::OpenLinkInNewWindow};
  const PopupMenuItems saving = {I::DownloadLinkToDisk, I::DownloadImageToDisk,
                                 I::DownloadMediaToDisk};
  const auto join = [](std::initializer_list<PopupMenuItems> sets) {
    PopupMenuItems all;
    for (const PopupMenuItems& set : sets) all.insert(set.begin(), set.end());
    return all;
  };
  struct Case {
    const char* name;
    bool opens;
    bool saves;
    PopupMenuItems removed;
  };
  const Case cases[] = {
      {"in force", false, false, join({never, opening, saving})},
      {"the host opens windows", true, false, join({never, saving})},
      {"the host saves files", false, true, join({never, opening})},
      {"the host does both", true, true, never},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostAnswers answers;
    if (c.opens) answers.OnEvaluateNewWindow = [](const QString&) { return kS_OK; };
    if (c.saves) answers.OnFileDownload = [](const FileDownload&) { return QString("/x"); };
    EXPECT_EQ(answers.RemovedMenuItems(), c.removed);
  }
}

TEST(HostAnswersTest, AcceleratorFilterConsumesMaskedCtrlKeysOnly) {
  struct Case {
    const char* mask;
    KeyMessage key;
    HResult expected;
  };
  const Case cases[] = {
      {"N", {kWmKeyDown, 'N', true}, kS_OK},
      {"N", {kWmKeyDown, 'N', false}, kS_FALSE},
      {"N", {0x101, 'N', true}, kS_FALSE},  // Key-up goes to the engine.
      {"N", {kWmKeyDown, 'C', true}, kS_FALSE},
      {"N", {kWmKeyDown, 'n', true}, kS_FALSE},  // Case-sensitive.
      {"N", {kWmKeyDown, 0x14E, true}, kS_OK},   // Only the low byte counts.
      {"", {kWmKeyDown, 'N', true}, kS_FALSE},
      {"ACF", {kWmKeyDown, 'F', true}, kS_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "mask \"" << c.mask << "\", message " << c.key.message << ", key "
                 << c.key.key_code << ", ctrl " << c.key.ctrl_down);
    HostAnswers answers;
    answers.GetShortCuts().SetCtrlCharMask(c.mask);
    QChar masked;
    answers.OnMaskedCtrlChar = [&](QChar ch) { masked = ch; };
    EXPECT_EQ(answers.TranslateAccelerator(c.key), c.expected);
    EXPECT_EQ(masked == QChar(c.key.key_code & 0xFF), c.expected == kS_OK);
  }
  // Keys of the view reach the filter as virtual keys: letters and digits only.
  EXPECT_EQ(AcceleratorFilter::VirtualKey(Qt::Key_N), std::uint32_t{'N'});
  EXPECT_EQ(AcceleratorFilter::VirtualKey(Qt::Key_7), std::uint32_t{'7'});
  EXPECT_EQ(AcceleratorFilter::VirtualKey(Qt::Key_F18), 0u);  // Low byte would read 'A'.
}

TEST(HostAnswersTest, ShortCutSwitchesEditTheMask) {
  ShortCuts keys;
  EXPECT_EQ(keys.CtrlCharMask(), "N");
  EXPECT_TRUE(keys.DisableCTRL_N());
  EXPECT_FALSE(keys.IsStored());
  keys.SetDisableCTRL_A(true);
  keys.SetDisableCTRL_P(true);
  keys.SetDisableCTRL_A(true);  // Already there: not appended twice.
  EXPECT_EQ(keys.CtrlCharMask(), "NAP");
  keys.SetDisableCTRL_N(false);
  keys.SetDisableCTRL_C(false);  // Absent: nothing to remove.
  EXPECT_EQ(keys.CtrlCharMask(), "AP");
  EXPECT_TRUE(keys.IsStored());
  keys.SetCtrlCharMask("FxF");
  keys.SetDisableCTRL_F(false);  // Removes the first occurrence only.
  EXPECT_EQ(keys.CtrlCharMask(), "xF");
  EXPECT_TRUE(keys.DisableCTRL_F());
  EXPECT_FALSE(keys.DisableCTRL_A());
}

TEST(HostAnswersTest, ExecAnswersScriptErrorsByTheAction) {
  struct Case {
    ScriptErrorAction action;
    HResult status;
    std::optional<bool> out;
  };
  for (const Case& c : {Case{ScriptErrorAction::eaContinue, kS_OK, true},
                        Case{ScriptErrorAction::eaCancel, kS_OK, false},
                        Case{ScriptErrorAction::eaAskUser, kS_FALSE, std::nullopt}}) {
    SCOPED_TRACE(::testing::Message() << "action " << static_cast<int>(c.action));
    HostAnswers answers;
    answers.SetScriptErrorAction(c.action);
    const ExecAnswer answer = answers.Exec(&kCgidDocHostCommandHandler, kOleCmdIdShowScriptError);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.out, c.out);
  }
  HostAnswers answers;
  EXPECT_EQ(answers.GetScriptErrorAction(), ScriptErrorAction::eaContinue);
  // Refresh, unload and unknown commands, and commands without a group, are the engine's.
  const QUuid other{"{11111111-2222-3333-4444-555555555555}"};
  struct Other {
    const QUuid* group;
    std::uint32_t command;
  };
  for (const Other& c :
       {Other{&kCgidDocHostCommandHandler, 2300}, Other{&kCgidDocHostCommandHandler, 6041},
        Other{&kCgidExplorer, 37}, Other{&kCgidExplorer, kOleCmdIdShowScriptError},
        Other{&other, 40}, Other{nullptr, 40}}) {
    SCOPED_TRACE(::testing::Message() << (c.group ? c.group->toString().toStdString() : "no group")
                                      << ", command " << c.command);
    const ExecAnswer answer = answers.Exec(c.group, c.command);
    EXPECT_EQ(answer.status, kOLECMDERR_E_NOTSUPPORTED);
    EXPECT_FALSE(answer.out.has_value());
  }
}

TEST(HostAnswersTest, ServicesAreOfferedOnlyWhileTheirEventsAreAssigned) {
  const QUuid window_services("{3050F5FC-98B5-11CF-BB82-00AA00BDCE0B}");
  struct Case {
    const char* name;
    bool opens;
    bool saves;
    QUuid service;
    HResult expected;
  };
  const Case cases[] = {
      {"new windows, unassigned", false, true, kSidNewWindowManager, kE_NOINTERFACE},
      {"new windows, assigned", true, false, kSidNewWindowManager, kS_OK},
      {"downloads, unassigned", true, false, kSidDownloadManager, kE_NOINTERFACE},
      {"downloads, assigned", false, true, kSidDownloadManager, kS_OK},
      {"window moves, never", true, true, window_services, kE_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostAnswers answers;
    if (c.opens) answers.OnEvaluateNewWindow = [](const QString&) { return kS_OK; };
    if (c.saves) answers.OnFileDownload = [](const FileDownload&) { return QString("/x"); };
    int dummy = 0;
    void* object = &dummy;
    EXPECT_EQ(answers.QueryService(c.service, c.service, &object), c.expected);
    EXPECT_EQ(object, c.expected == kS_OK ? static_cast<void*>(&answers) : nullptr);
  }
}

TEST(UserAgentTest, AboutIsAppendedUnlessTheTokenIsTheAboutText) {
  const QString about = QString::fromLatin1(kAboutText);
  struct Case {
    QString token;
    QString expected;
  };
  for (const Case& c : {Case{about, about}, Case{"", about}, Case{"X/1", "X/1" + about},
                        Case{about.toUpper(), about.toUpper() + about},
                        Case{about + about, about + about + about}}) {
    SCOPED_TRACE(c.token.toStdString());
    EXPECT_EQ(AppendAbout(c.token, about), c.expected);
  }
  EXPECT_TRUE(about.startsWith(" Browser Host from: "));
  EXPECT_EQ(EngineUserAgent("Engine/1", "Token"), "Engine/1 Token");
}

}  // namespace
}  // namespace mevra::browser
