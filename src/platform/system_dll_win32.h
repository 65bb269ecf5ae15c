// Functions of system DLLs that are loaded on demand, from the system folder only and never by
// import: a DLL that the program imports is looked for beside it, in Downloads say, before any code
// of the program's own has run to say otherwise.
#pragma once

#include <windows.h>

#include "platform/error_win32.h"
#include "platform/text_win32.h"

namespace quenwick {

// The function name of the DLL dll in the system folder. The DLL stays loaded for the rest of the
// run. Throws when the DLL or the function cannot be had.
template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
  const HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) ThrowLastError("LoadLibraryExW", Narrow(dll));
  const FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) ThrowLastError("GetProcAddress", name);
  // Through void (*)(), the one function pointer type that converts to any other without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace quenwick

// The system function name of dll, its type taken from its declaration, loaded at the first call
// through this expression and kept for the rest of the run.
#define QUENWICK_SYSTEM_FUNCTION(dll, name)                                                 \
  ([] {                                                                                     \
    static const auto function = ::quenwick::SystemFunction<decltype(&::name)>(dll, #name); \
    return function;                                                                        \
  }())
#define QUENWICK_ADVAPI32(name) QUENWICK_SYSTEM_FUNCTION(L"advapi32.dll", name)
#define QUENWICK_OLE32(name) QUENWICK_SYSTEM_FUNCTION(L"ole32.dll", name)
#define QUENWICK_SHELL32(name) QUENWICK_SYSTEM_FUNCTION(L"shell32.dll", name)
