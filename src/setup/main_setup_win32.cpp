// The native entry point of the setup program and its uninstaller, a GUI-subsystem program.
#include <windows.h>
// These headers need windows.h before them.
#include <objbase.h>

#include <exception>

#include "platform/system_dll_win32.h"
#include "setup/exit_codes.h"
#include "setup/setup_entry.h"

int WINAPI wWinMain(_In_ HINSTANCE, _In_opt_ HINSTANCE, _In_ PWSTR, _In_ int) {
  // Downloads, where the setup program runs from, may hold a DLL of a system name: from here on
  // every DLL, and every DLL that one needs, comes from the system folder. The program imports
  // nothing but KERNEL32 (and MinGW's C runtime), both known to Windows, so that nothing is looked
  // for beside it before this.
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return quenwick::ExitFailed;
  // The folder that it was started in may be one that it removes, which Windows does not allow
  // while it is a process's current folder; and nothing depends on it.
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !SetCurrentDirectoryW(system))
    return quenwick::ExitFailed;
  // The shell link and the dialogs are COM objects of this thread's apartment.
  try {
    if (FAILED(QUENWICK_OLE32(CoInitializeEx)(nullptr,
                                              COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
      return quenwick::ExitFailed;
    }
  } catch (const std::exception&) {
    return quenwick::ExitFailed;
  }
  return quenwick::SetupEntry();
}
