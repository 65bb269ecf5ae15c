// The native entry point of quenwick.exe, a GUI-subsystem program with no window of its own.
// It reads no command line: the whole run is the program's own entry.
#include <windows.h>

#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { quenwick::ProgramEntry(); }
