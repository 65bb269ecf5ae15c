// The dialogs of an interactive run: task dialogs, with command links and a verification box, and
// the shell's folder picker. comctl32's task dialog is loaded from the system folder at its first
// use; the manifest makes that version 6, which has it.
#include <windows.h>
// These headers need windows.h before them.
#include <commctrl.h>
#include <shobjidl.h>

#include <memory>

#include "platform/error_win32.h"
#include "platform/system_dll_win32.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

constexpr int InstallButton = 100;
constexpr int OtherFolderButton = 101;

struct Dialog {
  TASKDIALOGCONFIG Config{};
  std::wstring Title, Text, Verification;
  std::vector<std::wstring> Labels;
  std::vector<TASKDIALOG_BUTTON> Buttons;
};

Dialog NewDialog(const std::string& title, const std::string& text) {
  Dialog dialog;
  dialog.Title = Widen(title);
  dialog.Text = Widen(text);
  dialog.Config.cbSize = sizeof dialog.Config;
  dialog.Config.hInstance = GetModuleHandleW(nullptr);
  dialog.Config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
  return dialog;
}

// Shows the dialog and gives the button pressed, and whether the verification box was ticked.
std::pair<int, bool> Show(Dialog& dialog) {
  static const auto taskDialog =
      SystemFunction<decltype(&TaskDialogIndirect)>(L"comctl32.dll", "TaskDialogIndirect");
  dialog.Config.pszWindowTitle = dialog.Title.c_str();
  dialog.Config.pszContent = dialog.Text.c_str();
  for (std::size_t at = 0; at < dialog.Buttons.size(); ++at) {
    dialog.Buttons[at].pszButtonText = dialog.Labels[at].c_str();
  }
  dialog.Config.pButtons = dialog.Buttons.data();
  dialog.Config.cButtons = static_cast<UINT>(dialog.Buttons.size());
  if (!dialog.Verification.empty()) dialog.Config.pszVerificationText = dialog.Verification.c_str();
  int pressed = 0;
  BOOL ticked = FALSE;
  const HRESULT result = taskDialog(&dialog.Config, &pressed, nullptr, &ticked);
  if (FAILED(result)) ThrowWin32Error(static_cast<DWORD>(result), "TaskDialogIndirect", "dialog");
  return {pressed, ticked != FALSE};
}

}  // namespace

Answer AskToInstall(const std::string& title, const std::string& folderText,
                    const std::string& installText, const std::string& otherFolderText) {
  Dialog dialog = NewDialog(title, folderText);
  dialog.Config.dwFlags |= TDF_USE_COMMAND_LINKS;
  dialog.Config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
  dialog.Config.pszMainIcon = MAKEINTRESOURCEW(1);  // the program's own icon
  dialog.Labels = {Widen(installText), Widen(otherFolderText)};
  dialog.Buttons = {{InstallButton, nullptr}, {OtherFolderButton, nullptr}};
  const int pressed = Show(dialog).first;
  return pressed == InstallButton       ? Answer::Install
         : pressed == OtherFolderButton ? Answer::OtherFolder
                                        : Answer::Cancel;
}

std::optional<std::string> ChooseFolderDialog(const std::string& title) {
  IFileOpenDialog* opened = nullptr;
  const HRESULT made = QUENWICK_OLE32(CoCreateInstance)(
      CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&opened));
  if (FAILED(made)) ThrowWin32Error(static_cast<DWORD>(made), "CoCreateInstance", "FileOpenDialog");
  const ComPointer<IFileOpenDialog> picker(opened);
  FILEOPENDIALOGOPTIONS options = 0;
  picker->GetOptions(&options);
  picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
  picker->SetTitle(Widen(title).c_str());
  const HRESULT shown = picker->Show(nullptr);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
  if (FAILED(shown)) ThrowWin32Error(static_cast<DWORD>(shown), "IFileOpenDialog::Show", title);
  IShellItem* item = nullptr;
  wchar_t* path = nullptr;
  HRESULT result = picker->GetResult(&item);
  if (SUCCEEDED(result)) {
    result = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
    item->Release();
  }
  if (FAILED(result))
    ThrowWin32Error(static_cast<DWORD>(result), "IShellItem::GetDisplayName", title);
  const std::string folder = Narrow(path);
  QUENWICK_OLE32(CoTaskMemFree)(path);
  return folder;
}

bool ShowFinish(const std::string& title, const std::string& text, const std::string& offer) {
  Dialog dialog = NewDialog(title, text);
  dialog.Config.dwCommonButtons = TDCBF_OK_BUTTON;
  dialog.Config.pszMainIcon = TD_INFORMATION_ICON;
  dialog.Verification = Widen(offer);
  dialog.Config.dwFlags |= TDF_VERIFICATION_FLAG_CHECKED;
  return Show(dialog).second && !offer.empty();
}

Answer ShowSetupMessage(const std::string& title, const std::string& text, MessageKind kind) {
  Dialog dialog = NewDialog(title, text);
  switch (kind) {
    case MessageKind::Refusal:
      dialog.Config.dwCommonButtons = TDCBF_OK_BUTTON;
      dialog.Config.pszMainIcon = TD_ERROR_ICON;
      break;
    case MessageKind::Running:
      dialog.Config.dwCommonButtons = TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON;
      dialog.Config.pszMainIcon = TD_WARNING_ICON;
      break;
    case MessageKind::Confirm:
      dialog.Config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_CANCEL_BUTTON;
      dialog.Config.pszMainIcon = MAKEINTRESOURCEW(1);
      break;
    case MessageKind::Done:
      dialog.Config.dwCommonButtons = TDCBF_OK_BUTTON;
      dialog.Config.pszMainIcon = TD_INFORMATION_ICON;
      break;
  }
  switch (Show(dialog).first) {
    case IDRETRY:
      return Answer::Retry;
    case IDYES:
      return Answer::Yes;
    case IDOK:
      return Answer::Ok;
    default:
      return Answer::Cancel;
  }
}

}  // namespace quenwick
