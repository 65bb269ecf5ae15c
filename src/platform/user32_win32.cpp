// user32.dll on demand, from the system folder only, and never by import: quenwick.exe's import
// table names no DLL that loads the windowing system.
#include "platform/user32_win32.h"

#include "platform/error_win32.h"

namespace quenwick {
namespace {

MessageBoxWFunction LoadMessageBoxW() {
  // The DLL stays loaded for the rest of the run; a process that shows one box may show more.
  const HMODULE user32 = LoadLibraryExW(L"user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (user32 == nullptr) ThrowLastError("LoadLibraryExW", "user32.dll");
  const FARPROC address = GetProcAddress(user32, "MessageBoxW");
  if (address == nullptr) ThrowLastError("GetProcAddress", "MessageBoxW");
  // Through void (*)(), the one function pointer type that converts to any other without a warning.
  return reinterpret_cast<MessageBoxWFunction>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

MessageBoxWFunction SystemMessageBoxW() {
  // A load that throws is tried again at the next call, as a function-local static is.
  static const MessageBoxWFunction messageBoxW = LoadMessageBoxW();
  return messageBoxW;
}

}  // namespace quenwick
