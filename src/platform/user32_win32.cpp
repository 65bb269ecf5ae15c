// user32.dll on demand, from the system folder only, and never by import: quenwick.exe's import
// table names no DLL that loads the windowing system.
#include "platform/user32_win32.h"

#include "platform/system_dll_win32.h"

namespace quenwick {

MessageBoxWFunction SystemMessageBoxW() {
  // A load that throws is tried again at the next call, as a function-local static is; a process
  // that shows one box may show more.
  static const MessageBoxWFunction messageBoxW =
      SystemFunction<MessageBoxWFunction>(L"user32.dll", "MessageBoxW");
  return messageBoxW;
}

}  // namespace quenwick
