#pragma once

// Forward declarations of the widgets library, for headers that only pass pointers around.
namespace mevra::widgets {

class ColorValue;
class CustomStatusPane;
class MessagePresenter;
class ProgressStatus;
class SelectFolderDialog;
class SelectFolderForm;
class ShellLocator;
class ShellNamespace;
class ShellTree;
class StatusBar;
class StatusPane;

}  // namespace mevra::widgets
