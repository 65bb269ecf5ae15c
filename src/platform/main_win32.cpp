// The native entry point of quenwick.exe, a GUI-subsystem program with no window of its own.
// It reads no command line: the whole run is the program's own entry.
#include <windows.h>

#include "check/program_entry.h"

int WINAPI wWinMain(_In_ HINSTANCE, _In_opt_ HINSTANCE, _In_ PWSTR, _In_ int) {
  // Users run downloaded programs from Downloads, where anyone can drop a DLL with a system name,
  // and Windows would look for DLLs beside the program and in the current directory first. From
  // here on every DLL, and every DLL that one needs, comes from the system folder. The call fails
  // only for flags it does not know; a process that cannot be kept safe this way does not run.
  if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return 1;
  quenwick::ProgramEntry();
}
